// The read-only scan against an emulated line in the same process, and against replies
// a broken or hostile segment could send.
#include "ecat/scan.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <functional>
#include <thread>

#include "kestrum_sim/line_channel.h"
#include "tests/gateway/tampered_channel.h"

namespace kestrum::ecat {
namespace {

using kestrum::sim::LineState;
using kestrum::sim::SegmentNode;

constexpr Mac kOurs = {0x02, 0x10, 0x10, 0x10, 0x10, 0x10};

SegmentNode Node(int32_t vendor, int32_t device, int32_t switchNo, int32_t axes, int32_t inputs) {
    SegmentNode node;
    node.device.vendorId = vendor;
    node.device.deviceId = device;
    node.device.switchNo = switchNo;
    node.device.axisCount = axes;
    node.device.inputCount = inputs;
    node.device.outputCount = inputs / 2;
    return node;
}

class ScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state.nodes = {Node(0x41B, 0x10305070, 1, 1, 0), Node(0x66F, 0x60380005, 2, 2, 0),
                       Node(0x41B, 0x20010, 4, 0, 16)};
        state.nodes[1].counters = {0, 7, 300, 0};
    }
    LineState state;
    TamperedChannel channel{state};
    // Scans and reads the identities it lacks, then scans again to see them.
    std::optional<BusScan> ScanWithIdentities(std::string* error) {
        if (!scanner.Scan(error)) return std::nullopt;
        scanner.ReadIdentities(Scanner::Clock::now() + std::chrono::seconds(5));
        return scanner.Scan(error);
    }
    // The line answers inside Send, on this thread: the time-out has only to outlast that
    // answer on a loaded machine.
    Master master{channel, kOurs, std::chrono::milliseconds(50)};
    Scanner scanner{master, std::chrono::milliseconds(1)};
};

TEST_F(ScanTest, ReadsEveryNodeByPositionWithItsSii) {
    std::string error;
    auto scan = scanner.Scan(&error);
    ASSERT_TRUE(scan) << error;
    ASSERT_EQ(scan->nodes.size(), 3u);
    // Registers are served at once, identities only once read.
    EXPECT_FALSE(scan->nodes[1].siiRead);
    EXPECT_EQ(scan->nodes[1].siiFault, SiiFault::kNone);
    scan = ScanWithIdentities(&error);
    ASSERT_TRUE(scan) << error;
    const NodeScan& drive = scan->nodes[1];
    EXPECT_EQ(drive.alias, 2);
    EXPECT_EQ(drive.counters[1], 7);
    EXPECT_EQ(drive.counters[2], 0xFF);  // the register stops there
    EXPECT_TRUE(drive.siiRead);
    EXPECT_EQ(drive.sii.vendorId, 0x66Fu);
    EXPECT_EQ(drive.sii.productCode, 0x60380005u);
    EXPECT_EQ(drive.io.axes, 2);
    EXPECT_EQ(scan->nodes[2].io.inputs, 16);
    EXPECT_EQ(scan->nodes[2].io.outputs, 8);
    EXPECT_EQ(scan->nodes[0].alStatus & 0x0F, kAlStateInit);
    EXPECT_EQ(scan->framesLost, 0u);

    // A later scan keeps the SII of nodes that look the same: registers only, and one
    // node's identity words now and then.
    const int before = channel.sent;
    const uint64_t commands = scanner.eepromCommands();
    ASSERT_TRUE(scanner.Scan(&error));
    EXPECT_EQ(channel.sent - before, 2);
    scanner.ReadIdentities(Scanner::Clock::now() + std::chrono::seconds(5));
    EXPECT_EQ(scanner.eepromCommands(), commands + 2);  // 16 bytes: vendor to serial
}

TEST_F(ScanTest, RegisterFramesFitThePort) {
    state.nodes.assign(40, state.nodes[0]);
    channel.maxFrame = 590;  // MTU 576
    std::string error;
    const auto scan = scanner.Scan(&error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(scan->nodes.size(), 40u);
    EXPECT_LE(channel.largest, 590u);
    EXPECT_GT(scan->frames, 4u);
}

TEST_F(ScanTest, RepliesThatDoNotMatchAreNeverTaken) {
    std::string error;
    ASSERT_TRUE(scanner.Scan(&error));
    // Every frame tried once: the line here answers at once, so a retry would not wait.
    Scanner once(master, Scanner::kRecheckEvery, std::chrono::milliseconds(0));
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
    };
    const Case cases[] = {
        {"another index", [](std::vector<uint8_t>& f) { ++f[17]; }},
        {"our own frame",
         [](std::vector<uint8_t>& f) {
             std::copy(kOurs.begin(), kOurs.end(), f.begin() + 6);
             f[6] = 0x00;
         }},
        {"cut short", [](std::vector<uint8_t>& f) { f.resize(20); }},
    };
    for (const Case& c : cases) {
        channel.tamper = [&](std::vector<uint8_t>& frame) -> std::optional<std::vector<uint8_t>> {
            c.change(frame);
            return frame;
        };
        const uint64_t lost = master.framesLost();
        EXPECT_FALSE(once.Scan(&error)) << c.what;
        master.Settle(Master::Clock::now() + kLostAfter);
        EXPECT_EQ(master.framesLost(), lost + 1) << c.what;
    }
    channel.tamper = nullptr;
    EXPECT_TRUE(once.Scan(&error));
}

TEST_F(ScanTest, CirculatingFramesAreNotLostAndAnotherMasterHoldsUsBack) {
    std::string error;
    channel.tamper = [](std::vector<uint8_t>& f) -> std::optional<std::vector<uint8_t>> {
        f[23] |= 0x40;
        return f;
    };
    EXPECT_FALSE(scanner.Scan(&error));
    EXPECT_EQ(master.lastFailure(), ExchangeFailure::kCirculating);
    EXPECT_EQ(master.framesCirculating(), 1u);
    EXPECT_EQ(master.framesLost(), 0u);

    // A frame from anyone else, coming or going, is another master's: until the line has
    // been quiet for a while nothing more is sent.
    Master held(channel, kOurs, std::chrono::milliseconds(5), std::chrono::milliseconds(30));
    channel.tamper = [](std::vector<uint8_t>& f) -> std::optional<std::vector<uint8_t>> {
        std::fill(f.begin() + 6, f.begin() + 12, 0x0E);
        return f;
    };
    const Datagram count = ReadAt(0, kRegType, 1);
    EXPECT_FALSE(held.Exchange({count}));
    EXPECT_EQ(held.framesForeign(), 1u);
    const int sent = channel.sent;
    EXPECT_FALSE(held.Exchange({count}, &error));
    EXPECT_EQ(held.lastFailure(), ExchangeFailure::kAnotherMaster);
    EXPECT_EQ(channel.sent, sent);
    channel.tamper = nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    held.Listen(std::chrono::microseconds(100));
    EXPECT_TRUE(held.Exchange({count}, &error)) << error;
}

TEST_F(ScanTest, ANodeThatStopsAnsweringEndsTheLineAndAnUnreadSiiIsTriedAgain) {
    // The first scan gets no EEPROM answer from anyone: vendor and product stay 0.
    channel.tamper = [](std::vector<uint8_t>& frame) -> std::optional<std::vector<uint8_t>> {
        if (Le16(frame, 20) == kRegEepromControl) return std::nullopt;
        return frame;
    };
    std::string error;
    auto scan = ScanWithIdentities(&error);
    ASSERT_TRUE(scan) << error;
    EXPECT_FALSE(scan->nodes[0].siiRead);
    EXPECT_EQ(scan->nodes[0].siiFault, SiiFault::kTimeout);
    // Not asked again before its time, unless the line changes.
    channel.tamper = nullptr;
    const uint64_t commands = scanner.eepromCommands();
    scan = ScanWithIdentities(&error);
    EXPECT_EQ(scanner.eepromCommands(), commands);
    scanner.Forget();
    scan = ScanWithIdentities(&error);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->nodes[0].sii.vendorId, 0x41Bu);

    // The count said 3, but node 2 no longer answers its reads.
    channel.tamper = [](std::vector<uint8_t>& frame) -> std::optional<std::vector<uint8_t>> {
        std::string ignored;
        auto decoded = DecodeFrame(frame, &ignored);
        if (!decoded || decoded->datagrams.front().command != Command::kAprd) return frame;
        for (Datagram& d : decoded->datagrams)
            if (d.adp == 1) d.wkc = 0;  // position 2 (FFFEH), back after passing 3 nodes
        return EncodeFrame(*decoded);
    };
    scan = scanner.Scan(&error);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->nodes.size(), 2u);
}

TEST_F(ScanTest, ANodeSwappedForOneOfItsKindShowsItsNewIdentity) {
    // Same ESC, same switch, same I/O: only one identity word tells.
    struct Case {
        const char* what;
        std::function<void(SegmentNode&)> swap;
        std::function<uint32_t(const SiiInfo&)> seen;
        uint32_t expected;
    };
    const Case cases[] = {
        {"product", [](SegmentNode& n) { n.device.deviceId = 0x30004; },
         [](const SiiInfo& sii) { return sii.productCode; }, 0x30004u},
        {"revision", [](SegmentNode& n) { n.device.revision = 7; },
         [](const SiiInfo& sii) { return sii.revision; }, 7u},
        {"serial", [](SegmentNode& n) { n.device.serial = 1234; },
         [](const SiiInfo& sii) { return sii.serial; }, 1234u},
    };
    for (const Case& c : cases) {
        std::string error;
        ASSERT_TRUE(ScanWithIdentities(&error)) << c.what;
        c.swap(state.nodes[2]);
        std::optional<BusScan> scan;
        for (int i = 0; i < 6; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            scan = ScanWithIdentities(&error);
        }
        ASSERT_TRUE(scan) << c.what;
        EXPECT_EQ(c.seen(scan->nodes[2].sii), c.expected) << c.what;
    }
}

TEST_F(ScanTest, LostFramesAreSentAgainAndANodeKeepsItsValuesAndIdentity) {
    std::string error;
    ASSERT_TRUE(ScanWithIdentities(&error)) << error;
    // Every other reply lost: each frame is sent again until it is answered.
    int replies = 0, dropped = 0;
    channel.tamper = [&](std::vector<uint8_t>& frame) -> std::optional<std::vector<uint8_t>> {
        if (++replies % 2 == 0) return frame;
        ++dropped;
        return std::nullopt;
    };
    const uint64_t lost = master.framesLost();
    auto scan = scanner.Scan(&error);
    ASSERT_TRUE(scan) << error;
    ASSERT_EQ(scan->nodes.size(), 3u);
    for (const NodeScan& node : scan->nodes) EXPECT_TRUE(node.registersRead && node.siiRead);
    master.Settle(Master::Clock::now() + kLostAfter);
    EXPECT_EQ(master.framesLost(), lost + static_cast<uint64_t>(dropped));

    // The nodes' reads all lost, the count answered: the last values stand, with their age.
    const auto readAt = scan->nodes[1].readAt;
    channel.tamper = [](std::vector<uint8_t>& frame) -> std::optional<std::vector<uint8_t>> {
        if (Le16(frame, 20) == kRegType && frame[16] == static_cast<uint8_t>(Command::kBrd))
            return frame;
        return std::nullopt;
    };
    Scanner quick(master, Scanner::kRecheckEvery, std::chrono::milliseconds(1));
    ASSERT_TRUE(quick.Scan(&error));
    scan = quick.Scan(&error);
    ASSERT_TRUE(scan) << error;
    ASSERT_EQ(scan->nodes.size(), 3u);
    EXPECT_FALSE(scan->nodes[1].registersRead);  // never answered this scanner
    scan = scanner.Scan(&error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(scan->nodes[1].readAt, readAt);
    EXPECT_EQ(scan->nodes[1].counters[1], 7);
    EXPECT_TRUE(scan->nodes[1].siiRead);
    // Without the count there is no scan.
    channel.tamper = [](std::vector<uint8_t>&) -> std::optional<std::vector<uint8_t>> {
        return std::nullopt;
    };
    EXPECT_FALSE(quick.Scan(&error));
}

TEST_F(ScanTest, AnUnansweredOwnershipReadIsNotATimeOutAndALongLineIsCut) {
    channel.tamper = [](std::vector<uint8_t>& frame) -> std::optional<std::vector<uint8_t>> {
        if (Le16(frame, 20) == kRegEepromConfig) return std::nullopt;
        return frame;
    };
    std::string error;
    auto scan = ScanWithIdentities(&error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(scan->nodes[0].siiFault, SiiFault::kNotAnswered);
    EXPECT_EQ(SiiFaultText(SiiFault::kNotAnswered), "not answered");

    channel.tamper = nullptr;
    state.nodes.assign(kMaxScannedNodes + 44, state.nodes[0]);
    scan = scanner.Scan(&error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(scan->counted, kMaxScannedNodes + 44u);
    EXPECT_EQ(scan->nodes.size(), kMaxScannedNodes);
}

TEST_F(ScanTest, ASlowSiiIsReadALittleEachCycleWhileScansGoOn) {
    // An EEPROM emulated by the node's processor, 3 ms a read, with about 400 words of PDOs:
    // far more than one cycle's EEPROM time.
    state.nodes[1].device.esc.eepromEmulated = true;
    state.nodes[1].device.esc.siiPdoWords = 400;
    std::string error;
    auto scan = scanner.Scan(&error);
    int cycles = 0;
    for (; cycles < 5000 && scan && !scan->nodes[1].siiRead; ++cycles) {
        scanner.ReadIdentities(Scanner::Clock::now() + std::chrono::milliseconds(2));
        scan = scanner.Scan(&error);
    }
    ASSERT_TRUE(scan) << error;
    EXPECT_TRUE(scan->nodes[1].siiRead);
    EXPECT_EQ(scan->nodes[1].io.axes, 2);
    EXPECT_GT(cycles, 20);
}

TEST_F(ScanTest, ACategoryPastTheEepromIsMalformedAndNotWalkedAgainUntilTheNodeChanges) {
    state.nodes[2].device.esc.eepromKbit = 16;  // 1,024 words
    state.nodes[2].device.esc.siiCategorySize = 0x7000;
    std::string error;
    // Without rechecks: the walk is not made again of itself.
    Scanner still(master, std::chrono::hours(1));
    ASSERT_TRUE(still.Scan(&error)) << error;
    // Every walk to its end, a budget of EEPROM work at a time: the malformed one is not
    // walked again, so the commands come to rest.
    uint64_t commands = UINT64_MAX;
    for (int i = 0; i < 200 && still.eepromCommands() != commands; ++i) {
        commands = still.eepromCommands();
        still.ReadIdentities(Scanner::Clock::now() + std::chrono::seconds(5));
    }
    EXPECT_EQ(still.eepromCommands(), commands);
    auto scan = still.Scan(&error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(scan->nodes[2].siiFault, SiiFault::kMalformed);
    const auto notes = still.TakeNotes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0],
              "node 2: SII contents malformed: the category at word 0x0040 runs past the "
              "EEPROM's 1024 words");

    // Its identity words checked in turn: another revision is another node, walked at once.
    ASSERT_TRUE(ScanWithIdentities(&error)) << error;
    scanner.TakeNotes();
    state.nodes[2].device.revision = 9;
    std::vector<std::string> again;
    for (int i = 0; i < 6 && again.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(ScanWithIdentities(&error)) << error;
        again = scanner.TakeNotes();
    }
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].rfind("node 2: SII contents malformed", 0), 0u);
}

TEST(Master, RefusesEveryWriteButTheEepromInterfaces) {
    LineState state;
    state.nodes = {Node(0x41B, 1, 0, 0, 0)};
    kestrum::sim::LineChannel line([&] { return state; });
    Master master(line, kOurs);
    Datagram clear;
    clear.command = Command::kBwr;
    clear.ado = kRegErrorCounters;
    clear.data.assign(kErrorCounterBytes, 0);
    std::string error;
    EXPECT_FALSE(master.Exchange({clear}, &error));
    EXPECT_EQ(error, "a write the gateway may not make");
    EXPECT_EQ(master.framesSent(), 0u);
    Datagram eeprom = ReadAt(0, kRegEepromControl, 6);
    eeprom.command = Command::kApwr;
    EXPECT_TRUE(master.Exchange({eeprom}, &error)) << error;
    // Only APWR may write there, and only reads of the read-only kind go out at all.
    for (const int code :
         {0x00, 0x03, 0x05, 0x06, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x20, 0xFF}) {
        Datagram other = eeprom;
        other.command = static_cast<Command>(code);
        EXPECT_FALSE(master.Exchange({other}, &error)) << code;
    }
    eeprom.data.resize(7);  // would reach 0508H
    EXPECT_FALSE(master.Exchange({eeprom}, &error));
    EXPECT_EQ(master.framesSent(), 1u);
}

// An open mailbox adds its whole SM0 area, its SM1 area and the repeat toggle, for its
// node alone; state changes only when permitted.
TEST(Master, OpensOnlyTheMailboxItWasGiven) {
    LineState state;
    state.nodes = {Node(0x41B, 1, 0, 0, 0), Node(0x41B, 1, 0, 0, 0)};
    kestrum::sim::LineChannel line([&] { return state; });
    Master master(line, kOurs);
    const auto sent = [&](const Datagram& datagram) {
        const uint64_t before = master.framesSent();
        master.Exchange({datagram});
        return master.framesSent() > before;
    };
    const Datagram request = WriteAt(1, 0x1000, std::vector<uint8_t>(128, 0));
    EXPECT_FALSE(sent(request));
    EXPECT_FALSE(sent(ReadAt(1, 0x1080, 128)));
    master.OpenMailbox(1, {0x1000, 128, 0x1080, 128, 0x01});
    EXPECT_TRUE(sent(request));
    EXPECT_TRUE(sent(ReadAt(1, 0x1080, 128)));
    EXPECT_TRUE(sent(WriteAt(1, kRegSm1Activate, {0x03})));
    EXPECT_FALSE(sent(WriteAt(1, kRegSm1Activate, {0x00})));
    EXPECT_FALSE(sent(WriteAt(1, 0x1000, std::vector<uint8_t>(64, 0))));
    EXPECT_FALSE(sent(WriteAt(0, 0x1000, std::vector<uint8_t>(128, 0))));
    EXPECT_FALSE(sent(ReadAt(1, 0x1100, 2)));
    const Datagram preop = WriteAt(1, kRegAlControl, {0x02, 0x00});
    EXPECT_FALSE(sent(preop));
    master.PermitStateChanges();
    EXPECT_TRUE(sent(preop));
    master.CloseMailbox(1);
    EXPECT_FALSE(sent(request));
}

}  // namespace
}  // namespace kestrum::ecat
