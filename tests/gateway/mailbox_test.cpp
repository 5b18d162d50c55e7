// Uploads through the emulated nodes' mailboxes, with the faults real nodes and lines put
// in their way.
#include "ecat/mailbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "ecat/registers.h"
#include "tests/gateway/tampered_channel.h"

namespace kestrum::ecat {
namespace {

using kestrum::sim::CoeMailbox;
using kestrum::sim::CoeObject;
using kestrum::sim::LineState;
using kestrum::sim::SegmentNode;
using Kind = SdoOutcome::Kind;
using Clock = std::chrono::steady_clock;

constexpr Mac kOurs = {0x02, 0x10, 0x10, 0x10, 0x10, 0x11};
constexpr SdoAddress kStatusWord{0x6041, 0};
constexpr SdoAddress kOpMode{0x6061, 0};

SegmentNode Drive(int32_t statusWord, CoeMailbox box = {}, int32_t alState = kAlStatePreop) {
    SegmentNode node;
    node.device.vendorId = 0x41B;
    node.device.deviceId = 0x10305070;
    node.device.axisCount = 1;
    node.device.statusWord = statusWord;
    node.device.alState = alState;
    CoeObject live;
    live.index = 0x6041;
    live.liveStatusWord = true;
    CoeObject mode;
    mode.index = 0x6061;
    mode.bytes = 1;
    mode.value = 8;
    CoeObject name;
    name.index = 0x1008;
    name.text = std::string(300, 'x');
    box.objects = {live, mode, name};
    node.device.coe = std::make_shared<const CoeMailbox>(box);
    return node;
}

// What the scan would have found: SIIs read, CoE announced unless told otherwise.
BusScan ScanOf(const LineState& state, uint16_t protocols = kMailboxCoe) {
    BusScan scan;
    scan.nodes.resize(state.nodes.size());
    for (NodeScan& node : scan.nodes) {
        node.typeBlock[0] = 0x11;
        node.registersRead = node.siiRead = true;
        node.sii.mailbox.protocols = protocols;
    }
    return scan;
}

class MailboxTest : public ::testing::Test {
  protected:
    SdoOutcome Upload(uint16_t position, SdoAddress object) {
        EXPECT_TRUE(boxes.Start(position, object, Clock::now()));
        const auto until = Clock::now() + std::chrono::seconds(1);
        while (Clock::now() < until) {
            for (SdoOutcome& outcome : boxes.Step(Clock::now() + std::chrono::milliseconds(5)))
                if (outcome.position == position) return outcome;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ADD_FAILURE() << "the transfer never ended";
        return {};
    }
    bool Noted(const std::string& part) {
        for (const std::string& note : boxes.TakeNotes())
            if (note.find(part) != std::string::npos) return true;
        return false;
    }

    LineState state;
    TamperedChannel line{state};
    Master master{line, kOurs};
    Mailboxes boxes{master};
};

TEST_F(MailboxTest, ReadsPastAStaleReplyAnEmergencyAndADroppedFirstCounter) {
    CoeMailbox stale;
    stale.stale = true;
    CoeMailbox repeats;
    repeats.lastCounter = 1;
    state.nodes = {Drive(0x1237, stale), Drive(0x0637, repeats), Drive(0x0218)};
    boxes.Follow(ScanOf(state));

    SdoOutcome outcome = Upload(0, kStatusWord);
    EXPECT_EQ(outcome.kind, Kind::kValue) << outcome.why;
    EXPECT_EQ(outcome.value, 0x1237u);
    EXPECT_TRUE(Noted("Node0: set aside"));
    outcome = Upload(1, kStatusWord);
    EXPECT_EQ(outcome.value, 0x0637u) << outcome.why;
    EXPECT_TRUE(Noted("Node1: no answer to counter 1, asked again with the next"));
    EXPECT_EQ(Upload(2, kOpMode).value, 8u);

    state.nodes[2].emergencies = 1;
    state.nodes[2].emergencyCodes[0] = 0x8611;
    EXPECT_EQ(Upload(2, kStatusWord).value, 0x0218u);
    const auto kept = boxes.emergencies();
    ASSERT_EQ(kept.count(2), 1u);
    EXPECT_EQ(kept.at(2).back().emergency.code, 0x8611);
}

TEST_F(MailboxTest, ALostReadIsRepeatedAndALostWriteSentAgainUnderItsCounter) {
    state.nodes = {Drive(0x1237)};
    boxes.Follow(ScanOf(state));
    int dropWrites = 1, dropReads = 1, toggles = 0;
    line.tamper = [&](std::vector<uint8_t>& bytes) -> std::optional<std::vector<uint8_t>> {
        const auto frame = DecodeFrame(bytes, nullptr);
        for (const Datagram& d : frame->datagrams) {
            if (d.command == Command::kApwr && d.ado == kRegSm1Activate) ++toggles;
            const bool memory = d.ado >= kFirstMemoryAddress && d.wkc != 0;
            if (memory && d.command == Command::kApwr && dropWrites-- > 0) return std::nullopt;
            if (memory && d.command == Command::kAprd && dropReads-- > 0) return std::nullopt;
        }
        return bytes;
    };
    const SdoOutcome outcome = Upload(0, kStatusWord);
    EXPECT_EQ(outcome.kind, Kind::kValue) << outcome.why;
    EXPECT_EQ(outcome.value, 0x1237u);
    EXPECT_EQ(toggles, 1);
}

TEST_F(MailboxTest, WhatCannotBeReadGivesItsReason) {
    CoeMailbox slow;
    slow.delayMs = 500;
    state.nodes = {Drive(0x1237), Drive(0x1237, {}, kAlStateInit), Drive(0x1237, slow)};
    boxes.Follow(ScanOf(state));
    EXPECT_EQ(Upload(0, {0x6099, 0}).why, "SDO abort 06020000H (object does not exist)");
    EXPECT_EQ(Upload(0, {0x1008, 0}).why,
              "1008H:00 holds 300 bytes: a segmented transfer, which the gateway does not make");
    const int sent = line.sent;
    const SdoOutcome init = Upload(1, kStatusWord);
    EXPECT_EQ(init.kind, Kind::kNotAsked);
    EXPECT_EQ(init.why,
              "Node1 is in INIT: its mailbox is off (the node was restarted; only a master taking "
              "it to PREOP opens it)");
    EXPECT_EQ(line.sent, sent + 1);  // its state read, nothing written
    const SdoOutcome late = Upload(2, kStatusWord);
    EXPECT_EQ(late.kind, Kind::kNoAnswer);
    EXPECT_EQ(late.why, "no mailbox answer within 100 ms");

    boxes.Follow(ScanOf(state, 0));
    EXPECT_EQ(Upload(0, kStatusWord).why,
              "Node0 announces no CoE in its SII (mailbox protocols 0000H)");
}

// A line that loses a tenth of the frames and holds some replies past their wait: every
// upload still ends with its value.
TEST_F(MailboxTest, EveryUploadEndsWithItsValueOnALossyLateLine) {
    state.nodes = {Drive(0x1237), Drive(0x1238), Drive(0x1239)};
    state.delayMs = 7;
    state.delayPercent = 15;
    boxes.Follow(ScanOf(state));
    std::minstd_rand random(3);
    line.tamper = [&](std::vector<uint8_t>& bytes) -> std::optional<std::vector<uint8_t>> {
        if (random() % 10 == 0) return std::nullopt;
        return bytes;
    };
    for (int i = 0; i < 90; ++i) {
        const auto position = static_cast<uint16_t>(i % 3);
        const SdoOutcome outcome = Upload(position, i % 2 != 0 ? kStatusWord : kOpMode);
        EXPECT_EQ(outcome.kind, Kind::kValue) << i << ": " << outcome.why;
        EXPECT_EQ(outcome.value, i % 2 != 0 ? 0x1237u + position : 8u) << i;
    }
}

}  // namespace
}  // namespace kestrum::ecat
