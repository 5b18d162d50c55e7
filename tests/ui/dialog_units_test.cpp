#include "ui/dialog_units.h"

#include <gtest/gtest.h>

#include <climits>

#include "ui/string_list.h"

namespace pelvane::ui {
namespace {

TEST(MulDiv, RoundsHalfAwayFromZeroWithoutOverflow) {
    // {a, b, c, a * b / c rounded}
    const int cases[][4] = {{2, 7, 4, 4},
                            {3, 7, 4, 5},
                            {1, 3, 4, 1},
                            {-2, 7, 4, -4},
                            {2, 7, -4, -4},
                            {-2, -7, 4, 4},
                            {INT_MAX, 4, 4, INT_MAX},
                            {1 << 30, 6, 8, 805306368},
                            {5, 3, 0, 0}};
    for (const auto& c : cases) EXPECT_EQ(MulDiv(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[2];
}

TEST(DialogUnits, BaseUnitsAndConversions) {
    // 52 letters: the width per letter halved rounds to the nearest whole pixel.
    EXPECT_EQ(BaseUnitsFromMetrics(389, 15), (BaseUnits{7, 15}));  // 7.48
    EXPECT_EQ(BaseUnitsFromMetrics(390, 15), (BaseUnits{8, 15}));  // 7.5
    EXPECT_EQ(BaseUnitsFromMetrics(0, 0), (BaseUnits{0, 0}));

    const BaseUnits units{7, 15};
    EXPECT_EQ(DluToPixelsX(4, units), 7);
    EXPECT_EQ(DluToPixelsY(8, units), 15);
    EXPECT_EQ(DluToPixels(QSize(554, 387), units), QSize(970, 726));
    // A size must not depend on where the item sits: 551 wide is 964 pixels at x 3
    // (5 pixels), although the right edge 554 alone would give 970.
    EXPECT_EQ(DluToPixels(QRect(3, 39, 551, 317), units), QRect(5, 73, 964, 594));
}

TEST(StringList, SortedInsertAndPrefixSearchIgnoreCase) {
    const QStringList entries{"alpha", "Beta", "gamma"};
    EXPECT_EQ(SortedInsertPosition(entries, u"ALPHA"), 1);  // after equals
    EXPECT_EQ(SortedInsertPosition(entries, u"beta"), 2);
    EXPECT_EQ(SortedInsertPosition(entries, u"a"), 0);
    EXPECT_EQ(SortedInsertPosition(entries, u"Zulu"), 3);
    // Plain text order, not numeric: 10 sorts before 9.
    EXPECT_EQ(SortedInsertPosition({"127.0.0.9"}, u"127.0.0.10"), 0);

    const QStringList found{"192.168.0.11", "Host-A"};
    EXPECT_EQ(FindStringPrefix(found, u"192.168.0.1"), 0);
    EXPECT_EQ(FindStringPrefix(found, u"192.168.0.11"), 0);
    EXPECT_EQ(FindStringPrefix(found, u"192.168.0.111"), -1);
    EXPECT_EQ(FindStringPrefix(found, u"host-a"), 1);
    EXPECT_EQ(FindStringPrefix(found, u"68.0"), -1);  // inside, not at the start
    EXPECT_EQ(FindStringPrefix({}, u"1"), -1);
}

}  // namespace
}  // namespace pelvane::ui
