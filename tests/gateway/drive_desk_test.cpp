// What the desk serves without asking a drive, and what it hands the loop to read.
#include "gateway/drive_desk.h"

#include <gtest/gtest.h>

namespace kestrum::gateway {
namespace {

using Kind = ecat::SdoOutcome::Kind;
using Clock = DriveDesk::Clock;

ecat::SdoOutcome Value(uint16_t position, uint32_t value, Clock::time_point at) {
    ecat::SdoOutcome outcome;
    outcome.position = position;
    outcome.object = DriveDesk::kStatusWord;
    outcome.kind = Kind::kValue;
    outcome.value = value;
    outcome.at = at;
    return outcome;
}

TEST(DriveDesk, AStatusWordIsServedOnlyWhileFreshAndAskedOnesArePolled) {
    DriveDesk desk;
    const auto now = Clock::now();
    const auto none = [](uint16_t) { return false; };
    desk.Post({Value(0, 0x1237, now), Value(1, 0x0637, now - std::chrono::milliseconds(400))});
    EXPECT_EQ(desk.Ask(0, DriveDesk::kStatusWord, now).value, 0x1237u);
    // Older than 300 ms: never served as current, asked of the drive again.
    const ecat::SdoOutcome stale = desk.Ask(1, DriveDesk::kStatusWord, now);
    EXPECT_EQ(stale.kind, Kind::kNoAnswer);
    EXPECT_EQ(stale.why, "6041H:00 not read within 250 ms");

    const auto due = desk.Due(now + std::chrono::milliseconds(150), none);
    ASSERT_EQ(due.size(), 2u);  // both asked, both older than the poll's 100 ms
    EXPECT_TRUE(desk.Due(now, [](uint16_t p) { return p == 1; }).empty());
    EXPECT_TRUE(desk.Due(now + DriveDesk::kPollFor + std::chrono::seconds(1), none).empty());
}

}  // namespace
}  // namespace kestrum::gateway
