#include "nodes/node_cells.h"

#include <gtest/gtest.h>

#include <climits>

namespace pelvane {
namespace {

TEST(NodeCells, VendorsIdsAndCountsReadAsTheListShowsThem) {
    EXPECT_EQ(FormatVendor(0x41B), "Kestrum(41bH)");
    EXPECT_EQ(FormatVendor(2), "\xC6\xE4\xCB\xFB(2H)");       // 其他(2H)
    EXPECT_EQ(FormatVendor(1647), "\xCB\xC9\xCF\xC2(66fH)");  // 松下(66fH)
    EXPECT_EQ(FormatHex(0xA5), "a5H");
    EXPECT_EQ(FormatHex(0), "0H");
    EXPECT_EQ(FormatHex(-1), "ffffffffH");
    EXPECT_EQ(FormatNodeLabel(0), "Node0");
    EXPECT_EQ(FormatCount(INT_MIN), "-2147483648");
}

TEST(NodeCells, RangesShowCountFirstAndLastOrTheBareZero) {
    EXPECT_EQ(FormatRange(16, 0), "16(0-15)");
    EXPECT_EQ(FormatRange(0, 16), "0");
    EXPECT_EQ(FormatRange(2, 4), "2(4-5)");
    EXPECT_EQ(FormatRange(8, 16), "8(16-23)");
    // Controller values at the limits: the last number is right, not wrapped around.
    EXPECT_EQ(FormatRange(INT_MAX, INT_MAX), "2147483647(2147483647-4294967293)");
    EXPECT_EQ(FormatRange(INT_MIN, INT_MIN), "-2147483648(-2147483648--4294967297)");
}

TEST(NodeCells, ARecordGivesItsNineCellsInColumnOrder) {
    NodeRecord record{};
    record.nodeNo = 3;
    record.vendorId = 0x41B;
    record.deviceId = 0xA5;
    record.switchNo = 7;
    record.axisCount = 2;
    record.ioBase = 16;
    record.inputCount = 8;
    record.aioBase = 4;
    record.daCount = 2;
    const auto cells = NodeInfoCells(record);
    const std::array<std::string, kNodeInfoColumnCount> expected = {
        "Node3", "Kestrum(41bH)", "a5H", "7", "2", "8(16-23)", "0", "0", "2(4-5)"};
    EXPECT_EQ(cells, expected);
}

}  // namespace
}  // namespace pelvane
