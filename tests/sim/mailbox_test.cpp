// The nodes' CoE mailboxes on the emulated segment, driven with hand-built frames as a
// master drives them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ecat/frame.h"
#include "ecat/sii.h"
#include "kestrum_sim/bus.h"
#include "kestrum_sim/line_channel.h"
#include "tests/sim/unserved.h"

namespace {

namespace ecat = kestrum::ecat;
using namespace std::chrono_literals;
using ecat::Command;
using ecat::Datagram;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kSm0 = 0x1000, kSm1 = 0x1080, kSm1Status = 0x080D;

// Node 0 in PREOP; node 1 in INIT, its stale reply lost with it; node 2 with SM0 moved.
constexpr const char* kBus = R"({"nodes": [
  {"alState": "PREOP", "statusWord": "0x1237", "mailboxDelayMs": 5, "mailboxLastCounter": 1,
   "coe": [{"index": "0x6041", "subindex": 0},
           {"index": "0x6061", "subindex": 0, "bytes": 1, "value": "0x08"},
           {"index": "0x1018", "subindex": 1, "bytes": 4, "value": "0x41B"},
           {"index": "0x1008", "subindex": 0, "text": "KS-100"},
           {"index": "0x100A", "subindex": 0, "text": "%LONG%"}]},
  {"mailboxStale": true, "coe": [{"index": "0x6041", "subindex": 0}]},
  {"alState": "OP", "mailboxStale": true, "mailboxSm0": "0x1800", "mailboxDelayMs": 20,
   "coe": [{"index": "0x6041", "subindex": 0}]}]})";

Datagram Make(Command command, int k, uint16_t ado, Bytes data) {
    return {.command = command, .adp = static_cast<uint16_t>(-k), .ado = ado, .data = data};
}

Datagram Read(int k, uint16_t ado, std::size_t length) {
    return Make(Command::kAprd, k, ado, Bytes(length, 0));
}

// An SDO upload request in a 128-byte SM0 buffer.
Bytes Request(uint16_t index, uint8_t subindex, uint8_t counter, uint8_t type = 3) {
    Bytes request(128, 0);
    request[0] = 10;
    request[5] = static_cast<uint8_t>(type | counter << 4);
    request[7] = 0x20;
    request[8] = 0x40;
    ecat::PutLe16(request, 9, index);
    request[11] = subindex;
    return request;
}

class CoeMailbox : public ::testing::Test {
  protected:
    static kestrum::sim::Bus MakeBus() {
        std::string text = kBus;
        text.replace(text.find("%LONG%"), 6, std::string(130, 'x'));
        return *kestrum::sim::ParseBus(text);
    }

    std::vector<Datagram> Exchange(std::vector<Datagram> datagrams) {
        EXPECT_TRUE(channel_.Send(*ecat::EncodeFrame({.datagrams = std::move(datagrams)})));
        const auto reply = channel_.Receive(0us);
        if (!reply) return {};
        return ecat::DecodeFrame(*reply, nullptr)->datagrams;
    }
    Datagram One(Datagram datagram) { return Exchange({std::move(datagram)}).at(0); }
    uint16_t Send(int k, Bytes request, uint16_t at = kSm0) {
        return One(Make(Command::kApwr, k, at, std::move(request))).wkc;
    }
    bool AwaitFull(int k, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        do {
            if ((One(Read(k, kSm1Status, 1)).data[0] & 0x08) != 0) return true;
            std::this_thread::sleep_for(200us);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    // SM1's whole buffer once its status says full, as a master polls it.
    std::optional<Bytes> Await(int k, std::chrono::milliseconds limit, uint16_t at = kSm1) {
        if (!AwaitFull(k, limit)) return std::nullopt;
        const Datagram reply = One(Read(k, at, 128));
        EXPECT_EQ(reply.wkc, 1);
        return reply.data;
    }
    void Run(const std::string& command) {
        EXPECT_EQ(sim_.Run(command, kestrum::sim::Clock::now()).status, 0) << command;
    }

    kestrum::sim::testing::Unserved sim_{MakeBus()};
    kestrum::sim::LineChannel channel_{[this] { return sim_.Line(kestrum::sim::Clock::now()); }};
};

TEST_F(CoeMailbox, AnUploadIsAnsweredAfterTheDelayThroughOneBufferEachWay) {
    const auto start = std::chrono::steady_clock::now();
    // SM0 stays full until the node takes the request: the second write is refused.
    const auto two = Exchange({Make(Command::kApwr, 0, kSm0, Request(0x6041, 0, 2)),
                               Make(Command::kApwr, 0, kSm0, Request(0x6061, 0, 3))});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].wkc, 1);
    EXPECT_EQ(two[1].wkc, 0);
    EXPECT_EQ(One(Read(0, kSm1, 128)).wkc, 0);  // nothing to read yet
    const auto reply = Await(0, 200ms);
    ASSERT_TRUE(reply);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 5ms);
    EXPECT_EQ(Bytes(reply->begin(), reply->begin() + 5), (Bytes{10, 0, 0, 0, 0}));
    const int counter = (*reply)[5] >> 4;
    EXPECT_EQ((*reply)[5] & 0x0F, 3);
    EXPECT_TRUE(counter >= 1 && counter <= 7 && counter != 2) << counter;
    EXPECT_EQ(Bytes(reply->begin() + 6, reply->begin() + 14),
              (Bytes{0x00, 0x30, 0x4B, 0x41, 0x60, 0x00, 0x37, 0x12}));

    // Only a read of the last byte frees SM1.
    Send(0, Request(0x6041, 0, 3));
    Run("@SIM SET 0 statusWord 0x0637");
    ASSERT_TRUE(AwaitFull(0, 200ms));
    EXPECT_EQ(One(Read(0, kSm1, 16)).data[13], 0x06);
    EXPECT_EQ(One(Read(0, kSm1Status, 1)).data[0], 0x08);
    EXPECT_EQ(One(Read(0, 0x10FF, 1)).wkc, 1);
    EXPECT_EQ(One(Read(0, kSm1Status, 1)).data[0], 0);
}

TEST_F(CoeMailbox, EachObjectGetsItsKindOfAnswer) {
    const std::pair<Bytes, Bytes> cases[] = {
        {Request(0x6061, 0, 0), {10, 0, 0, 0, 0, 3, 0x00, 0x30, 0x4F, 0x61, 0x60, 0, 0x08}},
        {Request(0x1018, 1, 0),
         {10, 0, 0, 0, 0, 3, 0x00, 0x30, 0x43, 0x18, 0x10, 1, 0x1B, 0x04, 0, 0}},
        {Request(0x1008, 0, 0), {16, 0, 0, 0, 0, 3,   0x00, 0x30, 0x41, 0x08, 0x10,
                                 0,  6, 0, 0, 0, 'K', 'S',  '-',  '1',  '0',  '0'}},
        // Too long for SM1: the full size, and only what fits; segments would follow.
        {Request(0x100A, 0, 0),
         {122, 0, 0, 0, 0, 3, 0x00, 0x30, 0x41, 0x0A, 0x10, 0, 130, 0, 0, 0}},
        {Request(0x2000, 0, 0),
         {10, 0, 0, 0, 0, 3, 0x00, 0x20, 0x80, 0x00, 0x20, 0, 0, 0, 0x02, 0x06}},
        {Request(0x6041, 5, 0),
         {10, 0, 0, 0, 0, 3, 0x00, 0x20, 0x80, 0x41, 0x60, 5, 0x11, 0, 0x09, 0x06}},
        {Request(0x6041, 0, 0, 5), {4, 0, 0, 0, 0, 0, 0x01, 0x00, 0x02, 0x00}},  // SoE: unsupported
    };
    for (const auto& [request, expected] : cases) {
        ASSERT_EQ(Send(0, request), 1);
        auto reply = Await(0, 200ms);
        ASSERT_TRUE(reply);
        (*reply)[5] &= 0x0F;
        EXPECT_EQ(Bytes(reply->begin(), reply->begin() + expected.size()), expected);
        if (request[9] == 0x0A) {
            EXPECT_EQ(Bytes(reply->begin() + 16, reply->end()), Bytes(112, 'x'));
        }
    }
}

TEST_F(CoeMailbox, ARepeatedCounterIsDroppedAndARepeatRequestGivesTheLastReplyBack) {
    // The previous master's last request had counter 1.
    EXPECT_EQ(Send(0, Request(0x6041, 0, 1)), 1);
    EXPECT_FALSE(Await(0, 30ms));
    EXPECT_EQ(Send(0, Request(0x6041, 0, 2)), 1);
    const auto reply = Await(0, 200ms);
    ASSERT_TRUE(reply);

    // The read that freed SM1 was lost: toggling the repeat request brings it back.
    EXPECT_EQ(One(Make(Command::kApwr, 0, 0x080D, {0, 0x03})).wkc, 1);
    const Bytes sm1 = One(Read(0, 0x0808, 8)).data;
    EXPECT_EQ(sm1[5], 0x08);  // full again
    EXPECT_EQ(sm1[6], 0x03);
    EXPECT_EQ(sm1[7], 0x02);  // the ack mirrors the request
    EXPECT_EQ(Await(0, 0ms), reply);
}

TEST_F(CoeMailbox, StaleRepliesAndEmergenciesArriveInSm1) {
    // Node 2 runs on the SyncManagers a previous master set, SM0 at 1800H.
    EXPECT_EQ(One(Read(2, 0x0800, 16)).data, (Bytes{0x00, 0x18, 0x80, 0, 0x26, 0, 0x01, 0, 0x80,
                                                    0x18, 0x80, 0, 0x22, 0x08, 0x01, 0}));
    const auto stale = Await(2, 0ms, 0x1880);
    ASSERT_TRUE(stale);
    EXPECT_EQ(Bytes(stale->begin() + 6, stale->begin() + 12),
              (Bytes{0x00, 0x30, 0x43, 0x00, 0x10, 0x00}));

    // An emergency raised while a reply is on its way comes first.
    EXPECT_EQ(Send(2, Request(0x6041, 0, 0), 0x1800), 1);
    Run("@SIM EMERGENCY 2 0x2310");
    const auto emergency = Await(2, 200ms, 0x1880);
    ASSERT_TRUE(emergency);
    EXPECT_EQ(Bytes(emergency->begin() + 6, emergency->begin() + 16),
              (Bytes{0x00, 0x10, 0x10, 0x23, 0x03, 0, 0, 0, 0, 0}));
    const auto reply = Await(2, 200ms, 0x1880);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[8], 0x4B);
    for (const char* bad : {"@SIM EMERGENCY 3 1", "@SIM EMERGENCY 2 0x10000", "@SIM EMERGENCY 2"})
        EXPECT_EQ(sim_.Run(bad, kestrum::sim::Clock::now()).status, 2002) << bad;
}

TEST_F(CoeMailbox, InInitTheMailboxIsOffUntilAlControlFindsItsSyncManagersRight) {
    const auto al = [&] { return One(Read(1, 0x0130, 6)).data; };
    const auto preop = [&] { One(Make(Command::kApwr, 1, 0x0120, {0x12, 0})); };
    // Off: plain memory, the stale reply gone with it, the node's PDI control bit set.
    EXPECT_EQ(One(Read(1, 0x0800, 16)).data,
              (Bytes{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(Send(1, Request(0x6041, 0, 0)), 1);
    EXPECT_EQ(One(Read(1, kSm1, 128)).wkc, 1);
    EXPECT_FALSE(Await(1, 10ms));

    const Bytes sms = {0x00, 0x10, 0x80, 0, 0x26, 0, 0x01, 0,
                       0x80, 0x10, 0x80, 0, 0x22, 0, 0x01, 0};
    Bytes shortSm0 = sms;
    shortSm0[2] = 0x40;
    One(Make(Command::kApwr, 1, 0x0800, shortSm0));
    preop();
    EXPECT_EQ(al(), (Bytes{0x11, 0, 0, 0, 0x16, 0}));
    One(Make(Command::kApwr, 1, 0x0800, sms));
    preop();
    EXPECT_EQ(al(), (Bytes{0x02, 0, 0, 0, 0, 0}));
    // Enabled SyncManagers keep their layout.
    One(Make(Command::kApwr, 1, 0x0800, shortSm0));
    EXPECT_EQ(One(Read(1, 0x0800, 16)).data[2], 0x80);
    EXPECT_EQ(Send(1, Request(0x6041, 0, 0)), 1);
    EXPECT_TRUE(Await(1, 200ms));

    One(Make(Command::kApwr, 1, 0x0120, {0x08, 0}));  // OP: no process data to run
    EXPECT_EQ(al(), (Bytes{0x12, 0, 0, 0, 0x11, 0}));
    One(Make(Command::kApwr, 1, 0x0120, {0x11, 0}));
    EXPECT_EQ(al(), (Bytes{0x01, 0, 0, 0, 0, 0}));
    EXPECT_EQ(One(Read(1, 0x080F, 1)).data[0], 0x01);
    // The simulator's word outweighs the master's request.
    Run("@SIM AL 1 SAFEOP 0");
    EXPECT_EQ(al(), (Bytes{0x04, 0, 0, 0, 0, 0}));
    EXPECT_EQ(One(Read(1, 0x080F, 1)).data[0], 0x00);
}

}  // namespace
