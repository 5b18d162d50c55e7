#include "nodes/drive_faults.h"

#include <gtest/gtest.h>

#include <climits>

#include "nodes/error_poll.h"

namespace pelvane {
namespace {

// Unread (-1), a saturated table value and one past 16 bits carry bit 3; no drive gave them.
TEST(DriveFaults, OnlyAReadSixteenBitWordWithTheFaultBit) {
    const std::vector<int32_t> words = {0x1237, 0x0218, kStatusWordUnread, 0x10218, INT_MAX, 0,
                                        0x0008, 0x021F};
    const std::vector<DriveFault> faults = DriveFaults(words);
    ASSERT_EQ(faults.size(), 3u);
    EXPECT_EQ(faults[0].node, 1);
    EXPECT_EQ(faults[1].node, 6);
    EXPECT_EQ(faults[2].node, 7);
    EXPECT_EQ(DriveFaultsText(faults),
              "drives: Node1 fault (status word 0218H), Node6 fault (status word 0008H), Node7 "
              "fault (status word 021fH)");
    EXPECT_EQ(DriveFaultsText({}), "drives: no fault");
}

}  // namespace
}  // namespace pelvane
