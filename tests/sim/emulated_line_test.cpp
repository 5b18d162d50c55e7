// The emulated segment through the in-process channel: frames built and read with the
// gateway's own codec, no sockets.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ecat/frame.h"
#include "ecat/registers.h"
#include "ecat/sii.h"
#include "kestrum_sim/bus.h"
#include "kestrum_sim/line_channel.h"
#include "tests/sim/unserved.h"

namespace {

namespace ecat = kestrum::ecat;
using namespace std::chrono_literals;
using ecat::Command;
using ecat::Datagram;
using kestrum::sim::LineChannel;
using kestrum::sim::LineState;
using kestrum::sim::SegmentNode;
using Bytes = std::vector<uint8_t>;

constexpr ecat::Mac kMaster = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10};

SegmentNode Node(int32_t vendor, int32_t device, int32_t switchNo) {
    SegmentNode node;
    node.device.vendorId = vendor;
    node.device.deviceId = device;
    node.device.switchNo = switchNo;
    return node;
}

uint16_t Position(int k) {
    return static_cast<uint16_t>(-k);
}

Datagram Make(Command command, uint16_t adp, uint16_t ado, Bytes data) {
    Datagram datagram;
    datagram.command = command;
    datagram.adp = adp;
    datagram.ado = ado;
    datagram.data = std::move(data);
    return datagram;
}

Datagram Read(Command command, uint16_t adp, uint16_t ado, std::size_t length) {
    return Make(command, adp, ado, Bytes(length, 0));
}

std::optional<Bytes> Raw(ecat::FrameChannel& channel, const Bytes& request) {
    EXPECT_TRUE(channel.Send(request));
    return channel.Receive(std::chrono::microseconds{0});
}

std::optional<std::vector<Datagram>> Exchange(ecat::FrameChannel& channel,
                                              std::vector<Datagram> datagrams) {
    const auto request = ecat::EncodeFrame({.source = kMaster, .datagrams = std::move(datagrams)});
    if (!request) return std::nullopt;
    const auto reply = Raw(channel, *request);
    if (!reply) return std::nullopt;
    EXPECT_EQ(reply->size(), request->size());
    std::string error;
    auto decoded = ecat::DecodeFrame(*reply, &error);
    if (!decoded) {
        ADD_FAILURE() << error;
        return std::nullopt;
    }
    EXPECT_EQ(decoded->source[0], kMaster[0] | 0x02);
    for (const Datagram& datagram : decoded->datagrams) EXPECT_FALSE(datagram.circulating);
    return decoded->datagrams;
}

Datagram One(ecat::FrameChannel& channel, Datagram datagram) {
    auto reply = Exchange(channel, {std::move(datagram)});
    if (!reply) {
        ADD_FAILURE() << "no reply";
        return {};
    }
    return reply->front();
}

class SegmentLine : public ::testing::Test {
  protected:
    void SetUp() override {
        state_.nodes = {Node(0x41B, 0x10305070, 1), Node(0x66F, 0x60380005, 2),
                        Node(0x2, 0x044C2C52, 7)};
        state_.nodes[1].device.axisCount = 1;
        state_.nodes[2].device.inputCount = 8;
        state_.nodes[2].device.outputCount = 4;
        // Every kind of EEPROM interface the master reads through.
        state_.nodes[1].device.esc.eepromReadBytes = 4;
        state_.nodes[2].device.esc.eepromEmulated = true;
    }

    std::optional<Bytes> Raw(const Bytes& request) { return ::Raw(channel_, request); }
    std::optional<std::vector<Datagram>> Exchange(std::vector<Datagram> datagrams) {
        return ::Exchange(channel_, std::move(datagrams));
    }
    Datagram One(Datagram datagram) { return ::One(channel_, std::move(datagram)); }

    uint16_t Register16(int k, uint16_t ado) {
        return ecat::Le16(One(Read(Command::kAprd, Position(k), ado, 2)).data, 0);
    }
    // 0500H-050FH in one read, as a master polls it.
    Bytes EepromWindow(int k) { return One(Read(Command::kAprd, Position(k), 0x0500, 16)).data; }
    void EepromCommand(int k, uint16_t command, uint32_t word) {
        Bytes bytes = {0x00, static_cast<uint8_t>(command >> 8), 0, 0, 0, 0};
        ecat::PutLe32(bytes, 2, word);
        EXPECT_EQ(One(Make(Command::kApwr, Position(k), 0x0502, bytes)).wkc, 1);
    }
    // The window once busy has cleared, or nullopt after the limit.
    std::optional<Bytes> AwaitIdle(int k, std::chrono::milliseconds limit = 100ms) {
        const auto end = std::chrono::steady_clock::now() + limit;
        do {
            Bytes window = EepromWindow(k);
            if ((window[3] & 0x80) == 0) return window;
        } while (std::chrono::steady_clock::now() < end);
        return std::nullopt;
    }

    // The node's EEPROM read as a master reads it: command and address, then the data
    // once busy clears, 4 or 8 bytes as 0502H bit 6 says.
    bool ReadEeprom(int k, uint32_t word, uint32_t count, Bytes& out) {
        for (uint32_t done = 0; done < count;) {
            EepromCommand(k, 0x0100, word + done);
            const auto window = AwaitIdle(k);
            if (!window || (ecat::Le16(*window, 2) & 0x7800) != 0) return false;
            const uint32_t perRead = ((*window)[2] & 0x40) != 0 ? 4 : 2;
            const uint32_t words = std::min(perRead, count - done);
            out.insert(out.end(), window->begin() + 8, window->begin() + 8 + 2 * words);
            done += words;
        }
        return true;
    }

    LineState state_;
    LineChannel channel_{[this] { return state_; }};
};

TEST_F(SegmentLine, BroadcastCountsTheNodesAndEachPositionReadsItsOwnRegisters) {
    state_.nodes[0].counters = {1, 2, 3, 4};
    state_.nodes[2].counters = {0, 255, 256, 100000};

    const Datagram count = One(Read(Command::kBrd, 0, ecat::kRegType, 2));
    EXPECT_EQ(count.wkc, 3);
    EXPECT_EQ(count.adp, 3);
    EXPECT_EQ(count.data[0], 0x11);
    // Every node ORs in: port 1 open on the first two, its loop closed on the last.
    EXPECT_EQ(ecat::Le16(One(Read(Command::kBrd, 0, ecat::kRegDlStatus, 2)).data, 0), 0x5E31);

    const std::vector<Bytes> counters = {{1, 2, 3, 4}, {0, 0, 0, 0}, {0, 255, 255, 255}};
    for (int k = 0; k < 3; ++k) {
        const auto reply = Exchange({Read(Command::kAprd, Position(k), ecat::kRegAlias, 2),
                                     Read(Command::kAprd, Position(k), ecat::kRegDlStatus, 2),
                                     Read(Command::kAprd, Position(k), ecat::kRegAlStatus, 2),
                                     Read(Command::kAprd, Position(k), 0x0300, 20)});
        ASSERT_TRUE(reply);
        for (const Datagram& datagram : *reply) {
            EXPECT_EQ(datagram.wkc, 1) << k;
            EXPECT_EQ(datagram.adp, Position(k - 3)) << k;
        }
        EXPECT_EQ(ecat::Le16((*reply)[0].data, 0), state_.nodes[k].device.switchNo);
        // Port 1 open with communication on all but the last, whose loop closes it.
        EXPECT_EQ(ecat::Le16((*reply)[1].data, 0), k < 2 ? 0x5A31 : 0x5611) << k;
        EXPECT_EQ(ecat::Le16((*reply)[2].data, 0), ecat::kAlStateInit);
        const Bytes& block = (*reply)[3].data;
        EXPECT_EQ(Bytes(block.begin(), block.begin() + 4), counters[k]) << k;
        EXPECT_EQ(Bytes(block.begin() + 4, block.end()), Bytes(16, 0)) << k;
    }
    EXPECT_EQ(One(Read(Command::kAprd, Position(3), ecat::kRegType, 1)).wkc, 0);
}

TEST_F(SegmentLine, OnlyANodeWithCoeNamesTheStandardMailboxInItsSii) {
    state_.nodes[0].device.coe = std::make_shared<const kestrum::sim::CoeMailbox>();
    const auto mailbox = [&](int k) {
        const auto info = ecat::ReadSii([&](uint32_t word, uint32_t count,
                                            Bytes& out) { return ReadEeprom(k, word, count, out); },
                                        nullptr);
        EXPECT_TRUE(info) << k;
        return info ? info->mailbox : ecat::MailboxWords{};
    };
    EXPECT_EQ(mailbox(0), (ecat::MailboxWords{0x1000, 128, 0x1080, 128, 0x0004}));
    EXPECT_EQ(mailbox(1), ecat::MailboxWords{});
}

TEST_F(SegmentLine, TheEepromInterfaceServesEachNodesSiiImage) {
    for (int k = 0; k < 3; ++k) {
        const SegmentNode& node = state_.nodes[k];
        const auto info = ecat::ReadSii([&](uint32_t word, uint32_t count,
                                            Bytes& out) { return ReadEeprom(k, word, count, out); },
                                        nullptr);
        ASSERT_TRUE(info) << k;
        EXPECT_EQ(info->vendorId, static_cast<uint32_t>(node.device.vendorId));
        EXPECT_EQ(info->productCode, static_cast<uint32_t>(node.device.deviceId));
        const ecat::IoCounts io = ecat::CountIo(*info);
        EXPECT_EQ(io.axes, node.device.axisCount);
        EXPECT_EQ(io.inputs, node.device.inputCount);
        EXPECT_EQ(io.outputs, node.device.outputCount);
        Bytes alias;
        ASSERT_TRUE(ReadEeprom(k, ecat::kSiiAliasWord, 1, alias));
        EXPECT_EQ(ecat::Le16(alias, 0), node.device.switchNo);
    }
    // Past the image the EEPROM reads as erased, and past its size (16 Kbit, 1024
    // words) it wraps to word 0, whatever the upper address bits say.
    Bytes erased, wrapped, start;
    ASSERT_TRUE(ReadEeprom(0, 0x3FE, 2, erased));
    EXPECT_EQ(erased, Bytes(4, 0xFF));
    ASSERT_TRUE(ReadEeprom(0, 0xFFFFFC00, 4, wrapped));
    ASSERT_TRUE(ReadEeprom(0, 0, 4, start));
    EXPECT_EQ(wrapped, start);
}

TEST_F(SegmentLine, AnEepromReadIsBusyForItsTimeAndACommandMeanwhileIsLost) {
    using kestrum::sim::EscTraits;
    struct Case {
        int node;
        EscTraits esc;
        std::chrono::microseconds busy;
        uint16_t kindBits;  // of 0502H
    };
    const Case cases[] = {{0, {.eepromBusyMs = 5.0}, 5000us, 0x0040},
                          {1, {.eepromBusyMs = {}, .eepromEmulated = true}, 3000us, 0x0060},
                          {2, {.eepromBusyMs = {}}, 300us, 0x0040}};
    for (const Case& c : cases) state_.nodes[c.node].device.esc = c.esc;
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        EepromCommand(c.node, 0x0100, ecat::kSiiVendorWord);
        const Bytes during = EepromWindow(c.node);
        EXPECT_EQ(ecat::Le16(during, 2), 0x8100 | c.kindBits) << c.node;
        EXPECT_EQ(Bytes(during.begin() + 8, during.end()), Bytes(8, 0)) << c.node;
        // A command meanwhile is lost; only a busy time of milliseconds leaves room to send
        // one surely before it ends on a loaded host.
        if (c.busy >= 3ms) EepromCommand(c.node, 0x0100, ecat::kSiiProductWord);
        const auto done = AwaitIdle(c.node);
        const auto took = std::chrono::steady_clock::now() - start;
        ASSERT_TRUE(done) << c.node;
        EXPECT_GE(took, c.busy) << c.node;
        EXPECT_LT(took, c.busy + 50ms) << c.node;
        EXPECT_EQ(ecat::Le16(*done, 2) & 0xFF00, 0) << c.node;
        EXPECT_EQ(ecat::Le32(*done, 4), ecat::kSiiVendorWord) << c.node;
        EXPECT_EQ(ecat::Le32(*done, 8),
                  static_cast<uint32_t>(state_.nodes[c.node].device.vendorId));
    }
}

TEST_F(SegmentLine, EepromErrorBitsStayThroughReadsUntilCommandZero) {
    state_.nodes[0].device.esc.eepromBusyMs = 0.0;
    const auto status = [&] { return Register16(0, 0x0502); };
    EepromCommand(0, 0x0400, 0);  // reload, not offered
    EXPECT_EQ(status(), 0x2040);
    EXPECT_EQ(Register16(2, 0x0502), 0x0060);  // another node's stays clear
    EepromCommand(0, 0x0200, 0);               // a write without write enable
    EXPECT_EQ(status(), 0x6040);
    EepromCommand(0, 0x0100, ecat::kSiiVendorWord);
    EXPECT_EQ(status(), 0x6040);
    EXPECT_EQ(ecat::Le16(EepromWindow(0), 8), 0x41B);
    EepromCommand(0, 0x0000, 0);
    EXPECT_EQ(status(), 0x0040);
}

TEST_F(SegmentLine, EachKindOfEepromShowsInItsBitsAndReadsAsItsKindDoes) {
    using kestrum::sim::EscTraits;
    const Bytes untouched(8, 0);
    const Bytes vendorAndProduct = {0x1B, 0x04, 0, 0, 0x70, 0x50, 0x30, 0x10};
    struct Case {
        const char* kind;
        EscTraits esc;
        uint8_t config, pdiAccess;  // 0500H, 0501H
        uint16_t status;            // 0502H after a read command
        Bytes data;                 // 0508H-050FH after it
        bool configLoaded;          // DL status bit 0 and the alias
    };
    const Case cases[] = {
        {"8 bytes", {.eepromBusyMs = 0.0}, 0, 0, 0x0040, vendorAndProduct, true},
        {"4 bytes",
         {.eepromBusyMs = 0.0, .eepromReadBytes = 4},
         0,
         0,
         0x0000,
         {0x1B, 0x04, 0, 0, 0, 0, 0, 0},
         true},
        {"assigned to PDI",
         {.eepromBusyMs = 0.0, .eepromAssignedToPdi = true},
         1,
         0,
         0x0040,
         untouched,
         true},
        {"PDI access",
         {.eepromBusyMs = 0.0, .pdiAccessActive = true},
         0,
         1,
         0x0040,
         untouched,
         true},
        {"checksum error",
         {.eepromBusyMs = 0.0, .eepromChecksumError = true},
         0,
         0,
         0x0840,
         vendorAndProduct,
         false},
        {"not loaded",
         {.eepromBusyMs = 0.0, .eepromNotLoaded = true},
         0,
         0,
         0x3040,
         untouched,
         false},
    };
    int32_t switchNo = 10;  // a new one each time: a fresh device
    for (const Case& c : cases) {
        state_.nodes[0] = Node(0x41B, 0x10305070, ++switchNo);
        state_.nodes[0].device.esc = c.esc;
        EepromCommand(0, 0x0100, ecat::kSiiVendorWord);
        const Bytes window = EepromWindow(0);
        EXPECT_EQ(window[0], c.config) << c.kind;
        EXPECT_EQ(window[1], c.pdiAccess) << c.kind;
        EXPECT_EQ(ecat::Le16(window, 2), c.status) << c.kind;
        const bool held = c.config != 0 || c.pdiAccess != 0;
        EXPECT_EQ(ecat::Le32(window, 4), held ? 0 : ecat::kSiiVendorWord) << c.kind;
        EXPECT_EQ(Bytes(window.begin() + 8, window.end()), c.data) << c.kind;
        EXPECT_EQ(Register16(0, ecat::kRegDlStatus) & 1, c.configLoaded ? 1 : 0) << c.kind;
        EXPECT_EQ(Register16(0, ecat::kRegAlias), c.configLoaded ? switchNo : 0) << c.kind;
    }
}

TEST_F(SegmentLine, AWriteToTheCounterBlockClearsItAndCountingGoesOnFromThere) {
    state_.nodes[1].counters = {10, 20, 30, 40};
    const Datagram clear = One(Make(Command::kApwr, Position(1), 0x0305, {0xAA}));
    EXPECT_EQ(clear.wkc, 1);
    EXPECT_EQ(One(Read(Command::kAprd, Position(1), 0x0300, 4)).data, Bytes(4, 0));
    state_.nodes[1].counters = {13, 20, 30, 300};
    EXPECT_EQ(One(Read(Command::kAprd, Position(1), 0x0300, 4)).data, (Bytes{3, 0, 0, 255}));
    // Another device in its place starts afresh.
    state_.nodes[1].device.deviceId += 1;
    EXPECT_EQ(One(Read(Command::kAprd, Position(1), 0x0300, 4)).data, (Bytes{13, 20, 30, 255}));

    // Forwarded errors clear with the block; the processing-unit and lost-link counters
    // each by a write of their own.
    state_.nodes[1].counters[0x08] = 4;
    state_.nodes[1].counters[0x0C] = 6;
    state_.nodes[1].counters[0x10] = 5;
    state_.nodes[1].counters[0x11] = 7;
    One(Make(Command::kApwr, Position(1), 0x0300, {0}));
    One(Make(Command::kApwr, Position(1), 0x0310, {0}));
    const Bytes after = One(Read(Command::kAprd, Position(1), 0x0300, 20)).data;
    EXPECT_EQ(after[0x08], 0);
    EXPECT_EQ(after[0x0C], 6);
    EXPECT_EQ(after[0x10], 0);
    EXPECT_EQ(after[0x11], 7);
}

TEST_F(SegmentLine, WorkingCountersFollowTheCommand) {
    // Station addresses are written by position and then address the same node, within
    // one frame too, since a node handles the whole frame before passing it on.
    const auto named = Exchange({Make(Command::kApwr, Position(2), 0x0010, {0x03, 0x10}),
                                 Read(Command::kFprd, 0x1003, ecat::kRegAlias, 2)});
    ASSERT_TRUE(named);
    EXPECT_EQ((*named)[0].wkc, 1);
    EXPECT_EQ((*named)[1].wkc, 1);
    EXPECT_EQ(ecat::Le16((*named)[1].data, 0), 7);
    EXPECT_EQ(One(Read(Command::kFprd, 0x1004, ecat::kRegAlias, 2)).wkc, 0);
    // Nodes not yet named still answer station address 0.
    EXPECT_EQ(One(Read(Command::kFprd, 0, ecat::kRegAlias, 2)).wkc, 2);

    const Datagram swap = One(Make(Command::kAprw, Position(1), 0x0010, {0x02, 0x10}));
    EXPECT_EQ(swap.wkc, 3);
    EXPECT_EQ(swap.data, (Bytes{0, 0}));
    EXPECT_EQ(One(Read(Command::kFprd, 0x1002, ecat::kRegAlias, 2)).data, (Bytes{2, 0}));

    // Nodes whose SII names no mailbox go to PREOP without a check.
    EXPECT_EQ(One(Make(Command::kBwr, 0, ecat::kRegAlControl, {0x02, 0})).wkc, 3);
    EXPECT_EQ(One(Read(Command::kBrd, 0, ecat::kRegAlStatus, 2)).data, (Bytes{2, 0}));
    const Datagram brw = One(Make(Command::kBrw, 0, 0x0010, {0x00, 0x20}));
    EXPECT_EQ(brw.wkc, 9);
    EXPECT_EQ(brw.data, (Bytes{0x03, 0x30}));  // 0, 1002H, 1003H and the written 2000H ORed
    const Datagram armw = One(Make(Command::kArmw, Position(1), ecat::kRegAlias, {0, 0}));
    EXPECT_EQ(armw.wkc, 3);
    EXPECT_EQ(armw.data, (Bytes{2, 0}));
    EXPECT_EQ(One(Make(Command::kFrmw, 0x2000, ecat::kRegAlias, {0, 0})).wkc, 3);
    for (Command passed : {Command::kNop, Command::kLrd, Command::kLwr, Command::kLrw}) {
        const Datagram logical = One(Make(passed, 0, 0, {0x5A}));
        EXPECT_EQ(logical.wkc, 0);
        EXPECT_EQ(logical.adp, 0);
        EXPECT_EQ(logical.data, Bytes{0x5A});
    }
    const Datagram beyond = One(Read(Command::kBrd, 0, 0xFFFF, 2));
    EXPECT_EQ(beyond.wkc, 0);
    EXPECT_EQ(beyond.adp, 0);
}

TEST_F(SegmentLine, NoReplyWhenLostUndecodableOrNoNodeReturnsIt) {
    const Bytes request =
        *ecat::EncodeFrame({.source = kMaster, .datagrams = {Read(Command::kBrd, 0, 0, 2)}});
    state_.lossPercent = 100;
    EXPECT_FALSE(Raw(request));
    state_.lossPercent = 0;
    EXPECT_TRUE(Raw(request));
    state_.nodes.clear();
    EXPECT_FALSE(Raw(request));
    state_.nodes = {Node(1, 2, 3)};

    Bytes garbage = request;
    garbage[14] = 0xFF;  // the length runs past the frame
    EXPECT_FALSE(Raw(garbage));
    EXPECT_FALSE(Raw(Bytes(request.begin(), request.begin() + 20)));
    EXPECT_FALSE(Raw({}));
    // Mangled frames get a reply of their own length or none, whatever the bytes.
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        Bytes bytes = request;
        for (int flips = 0; flips < 4; ++flips)
            bytes[16 + random() % (bytes.size() - 16)] = static_cast<uint8_t>(random());
        const auto reply = Raw(bytes);
        if (reply) {
            EXPECT_EQ(reply->size(), bytes.size());
        }
    }
}

TEST_F(SegmentLine, AFrameLostOnItsWayOutReachesNoNodeAndOnItsWayBackEveryNode) {
    using kestrum::sim::LossWay;
    state_.nodes[0].device.esc.eepromBusyMs = 0.0;
    const auto name = [&](uint16_t station) {
        return Exchange(
            {Make(Command::kApwr, Position(0), ecat::kRegStationAddress,
                  {static_cast<uint8_t>(station), static_cast<uint8_t>(station >> 8)})});
    };
    const auto station = [&] { return Register16(0, ecat::kRegStationAddress); };
    state_.lossPercent = 100;
    state_.lossWay = LossWay::kOut;
    EXPECT_FALSE(name(0x1001));
    state_.lossWay = LossWay::kBack;
    EXPECT_FALSE(name(0x1002));
    const Bytes readCommand = *ecat::EncodeFrame(
        {.source = kMaster,
         .datagrams = {Make(Command::kApwr, Position(0), 0x0502, {0, 0x01, 0x08, 0, 0, 0})}});
    EXPECT_FALSE(Raw(readCommand));  // the EEPROM read still happens
    state_.lossPercent = 0;
    EXPECT_EQ(station(), 0x1002);
    EXPECT_EQ(ecat::Le32(EepromWindow(0), 8),
              static_cast<uint32_t>(state_.nodes[0].device.vendorId));
    EXPECT_EQ(channel_.framesLost(), 3u);

    // Either way by default: every frame lost, some of them after the nodes acted.
    state_.lossPercent = 100;
    state_.lossWay = LossWay::kBoth;
    for (uint16_t i = 1; i <= 64; ++i) EXPECT_FALSE(name(i));
    state_.lossPercent = 0;
    EXPECT_NE(station(), 0x1002);
    EXPECT_EQ(channel_.framesLost(), 67u);
}

TEST_F(SegmentLine, HeldRepliesComeBackLateInTheOrderTheyComeDue) {
    const auto send = [&](uint8_t index) {
        Datagram read = Read(Command::kBrd, 0, ecat::kRegType, 1);
        read.index = index;
        EXPECT_TRUE(channel_.Send(*ecat::EncodeFrame({.source = kMaster, .datagrams = {read}})));
    };
    const auto indexOf = [](const std::optional<Bytes>& reply) {
        return reply ? ecat::DecodeFrame(*reply, nullptr)->datagrams.front().index : -1;
    };
    state_.delayMs = 300;
    send(1);
    EXPECT_FALSE(channel_.Receive(0us));  // not due yet
    state_.delayMs = 0;
    send(2);
    EXPECT_EQ(indexOf(channel_.Receive(0us)), 2);  // on time, past the held one
    EXPECT_EQ(indexOf(channel_.Receive(5s)), 1);   // Receive waits for it
    EXPECT_FALSE(channel_.Receive(5s));            // none held: no wait

    // A share held back: every reply comes once, the held ones after the others.
    state_.delayMs = 1;
    state_.delayPercent = 50;
    for (uint8_t i = 0; i < 40; ++i) send(i);
    std::vector<int> seen;
    while (auto reply = channel_.Receive(5s)) seen.push_back(indexOf(reply));
    ASSERT_EQ(seen.size(), 40u);
    const uint64_t held = channel_.repliesHeld();
    EXPECT_GT(held, 5u);
    EXPECT_LT(held, 35u);
    std::vector<int> sorted = seen;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(sorted[static_cast<std::size_t>(i)], i);
    EXPECT_NE(seen, sorted);
}

TEST_F(SegmentLine, TheEepromWrapsAtItsSizeAndItsSiiMayBeLargeOrBroken) {
    for (SegmentNode& node : state_.nodes) node.device.esc.eepromBusyMs = 0.0;
    auto& large = state_.nodes[1].device;
    large.esc.eepromKbit = 32;
    large.esc.siiPdoWords = 400;
    int reads = 0;
    const auto info = ecat::ReadSii(
        [&](uint32_t word, uint32_t count, Bytes& out) {
            reads += static_cast<int>(count + 1) / 2;
            return ReadEeprom(1, word, count, out);
        },
        nullptr);
    ASSERT_TRUE(info);
    EXPECT_GT(reads, 200);  // 2 words a read on this node
    const ecat::IoCounts io = ecat::CountIo(*info);
    EXPECT_EQ(io.axes, 1);
    EXPECT_EQ(io.inputs + io.outputs + io.ad + io.da, 0);
    const auto word = [&](int k, uint32_t at) {
        Bytes out;
        EXPECT_TRUE(ReadEeprom(k, at, 1, out));
        return out.size() == 2 ? ecat::Le16(out, 0) : -1;
    };
    EXPECT_EQ(word(1, 0x3E), 31);
    EXPECT_EQ(word(1, 2048 + ecat::kSiiVendorWord), 0x66F);
    EXPECT_EQ(word(1, 1024 + ecat::kSiiVendorWord), 0xFFFF);

    // A size word that runs past the EEPROM; a part too small for its image keeps its start.
    state_.nodes[2].device.esc.siiCategorySize = 0x7000;
    state_.nodes[0].device.esc.eepromKbit = 1;
    EXPECT_EQ(word(2, ecat::kSiiFirstCategoryWord), ecat::kCategoryTxPdo);
    EXPECT_EQ(word(2, ecat::kSiiFirstCategoryWord + 1), 0x7000);
    EXPECT_EQ(word(0, 0x3E), 0);
    EXPECT_EQ(word(0, 64 + ecat::kSiiVendorWord), 0x41B);
}

TEST_F(SegmentLine, IdentityIsFourWordsAndANewRevisionStartsFromPowerUp) {
    auto& device = state_.nodes[0].device;
    device.esc.eepromBusyMs = 0.0;
    device.revision = 7;
    device.serial = static_cast<int32_t>(0x80001234u);
    Bytes identity;
    ASSERT_TRUE(ReadEeprom(0, ecat::kSiiVendorWord, 8, identity));
    EXPECT_EQ(ecat::Le32(identity, 0), 0x41Bu);
    EXPECT_EQ(ecat::Le32(identity, 4), 0x10305070u);
    EXPECT_EQ(ecat::Le32(identity, 8), 7u);
    EXPECT_EQ(ecat::Le32(identity, 12), 0x80001234u);

    One(Make(Command::kApwr, Position(0), ecat::kRegStationAddress, {0x01, 0x10}));
    device.serial = 5;  // another unit of the same revision is another device too
    EXPECT_EQ(Register16(0, ecat::kRegStationAddress), 0);
    One(Make(Command::kApwr, Position(0), ecat::kRegStationAddress, {0x01, 0x10}));
    device.revision = 8;
    EXPECT_EQ(Register16(0, ecat::kRegStationAddress), 0);
    Bytes revision;
    ASSERT_TRUE(ReadEeprom(0, ecat::kSiiRevisionWord, 2, revision));
    EXPECT_EQ(ecat::Le32(revision, 0), 8u);
}

// The simulator's faults as a master on the segment sees them.
TEST(SegmentOfTheSimulator, FollowsTheSimulatorsFaults) {
    auto bus = kestrum::sim::LoadBusFile(std::string(KESTRUM_SIM_BUS_DIR) + "/demo.json");
    ASSERT_TRUE(bus);
    auto now = kestrum::sim::Clock::now();
    kestrum::sim::testing::Unserved sim(*bus, now);
    LineChannel channel([&] { return sim.Line(now); });
    const auto run = [&](const char* command) {
        EXPECT_EQ(sim.Run(command, now).status, 0) << command;
    };
    const auto count = [&] { return One(channel, Read(Command::kBrd, 0, 0, 1)).wkc; };
    EXPECT_EQ(count(), 8);

    run("@SIM NODE_OFF 5 1000");
    EXPECT_EQ(count(), 5);
    const Datagram dl = One(channel, Read(Command::kAprd, Position(4), ecat::kRegDlStatus, 2));
    EXPECT_EQ(ecat::Le16(dl.data, 0) & 0x0C20, 0x0400);  // port 1: no link, loop closed
    // Registers read on the segment are the bytes the command language prints.
    run("@SIM SET 3 lostLinks[1] 9");
    run("@SIM SET 3 303H 4");
    for (int k = 0; k < 5; ++k) {
        const auto bytes = [&](uint16_t address, std::size_t n) {
            std::string text;
            for (uint8_t b : One(channel, Read(Command::kAprd, Position(k), address, n)).data)
                text += (text.empty() ? "" : " ") + std::to_string(b);
            return text + "\r\n";
        };
        const std::string node = std::to_string(k);
        EXPECT_EQ(sim.Run("?NODE_REGS(0," + node + ",272,2)", now).text,
                  bytes(ecat::kRegDlStatus, 2))
            << k;
        const std::string block =
            "?NODE_REGS(0," + node + ",768," + std::to_string(ecat::kErrorCounterBytes) + ")";
        EXPECT_EQ(sim.Run(block, now).text,
                  bytes(ecat::kRegErrorCounters, ecat::kErrorCounterBytes))
            << k;
    }
    run("@SIM NODE_OFF 0 1000");
    EXPECT_FALSE(Raw(channel, *ecat::EncodeFrame({.datagrams = {Read(Command::kBrd, 0, 0, 1)}})));
    now += std::chrono::seconds(2);
    EXPECT_EQ(count(), 8);

    run("@SIM COUNTERS 2 0 10");
    now += std::chrono::seconds(3);
    const Datagram risen = One(channel, Read(Command::kAprd, Position(2), 0x0300, 2));
    EXPECT_EQ(risen.data, (Bytes{30, 30}));

    run("@SIM SEGMENT_CIRCULATING 1");
    const auto marked =
        Raw(channel, *ecat::EncodeFrame({.datagrams = {Read(Command::kBrd, 0, 0, 1)}}));
    ASSERT_TRUE(marked);
    EXPECT_TRUE(ecat::DecodeFrame(*marked, nullptr)->datagrams.front().circulating);
    run("@SIM RESET");
    EXPECT_EQ(count(), 8);  // and unmarked again

    // AL status 0130H and 0134H: a code left after an acknowledged error, one with the
    // error bit, and a device ID (the node's switch) after an ID request.
    const auto al = [&](int k) {
        return One(channel, Read(Command::kAprd, Position(k), ecat::kRegAlStatus, 6)).data;
    };
    run("@SIM AL 1 OP 0x001B");
    EXPECT_EQ(al(1), (Bytes{0x08, 0, 0, 0, 0x1B, 0}));
    run("@SIM AL 1 SAFEOP 0x001B err");
    EXPECT_EQ(al(1), (Bytes{0x14, 0, 0, 0, 0x1B, 0}));
    run("@SIM AL 2 PREOP 0x001B id");
    const auto switchNo = static_cast<uint8_t>(sim.Line(now).nodes[2].device.switchNo);
    EXPECT_EQ(al(2), (Bytes{0x22, 0, 0, 0, switchNo, 0}));

    run("@SIM SEGMENT_LOSS 100");
    EXPECT_FALSE(Raw(channel, *ecat::EncodeFrame({.datagrams = {Read(Command::kBrd, 0, 0, 1)}})));
}

// field.json holds one node of each kind, in the order its comment names them.
TEST(SegmentOfTheFieldBus, ShowsEachKindOfNode) {
    auto bus = kestrum::sim::LoadBusFile(std::string(KESTRUM_SIM_BUS_DIR) + "/field.json");
    ASSERT_TRUE(bus);
    kestrum::sim::testing::Unserved sim(*bus);
    LineChannel channel([&] { return LineState{sim.Line(kestrum::sim::Clock::now()).nodes}; });
    // 0500H-0503H, then AL status and code.
    const std::vector<std::pair<Bytes, Bytes>> expected = {
        {{0, 0, 0x40, 0}, {2, 0, 0, 0, 0, 0}},    {{0, 0, 0, 0}, {8, 0, 0, 0, 0, 0}},
        {{0, 0, 0x60, 0}, {1, 0, 0, 0, 0, 0}},    {{1, 0, 0x40, 0}, {2, 0, 0, 0, 0, 0}},
        {{0, 1, 0x40, 0}, {2, 0, 0, 0, 0, 0}},    {{0, 0, 0x40, 0x08}, {1, 0, 0, 0, 0, 0}},
        {{0, 0, 0x40, 0x10}, {1, 0, 0, 0, 0, 0}}, {{0, 0, 0x40, 0}, {0x14, 0, 0, 0, 0x1B, 0}},
        {{0, 0, 0x40, 0}, {1, 0, 0, 0, 0, 0}},    {{0, 0, 0x40, 0}, {2, 0, 0, 0, 0, 0}}};
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const auto position = Position(static_cast<int>(k));
        EXPECT_EQ(One(channel, Read(Command::kAprd, position, 0x0500, 4)).data, expected[k].first)
            << k;
        EXPECT_EQ(One(channel, Read(Command::kAprd, position, 0x0130, 6)).data, expected[k].second)
            << k;
    }
    // An ESC does not look at the source address, the processed bit included.
    const auto marked =
        Raw(channel, *ecat::EncodeFrame({.source = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC},
                                         .datagrams = {Read(Command::kBrd, 0, 0, 1)}}));
    ASSERT_TRUE(marked);
    EXPECT_EQ(ecat::DecodeFrame(*marked, nullptr)->datagrams.front().wkc, expected.size());
}

}  // namespace
