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
    EXPECT_EQ(DluToPixels(Size{554, 387}, units), (Size{970, 726}));
    // A size must not depend on where the item sits: 551 wide is 964 pixels at x 3
    // (5 pixels), although the right edge 554 alone would give 970.
    EXPECT_EQ(DluToPixels(Rect{3, 39, 551, 317}, units), (Rect{5, 73, 964, 594}));
}

TEST(StringList, SortedInsertAndPrefixSearchIgnoreCase) {
    const StringList entries{"alpha", "Beta", "gamma"};
    EXPECT_EQ(SortedInsertPosition(entries, "ALPHA"), 1u);  // after equals
    EXPECT_EQ(SortedInsertPosition(entries, "beta"), 2u);
    EXPECT_EQ(SortedInsertPosition(entries, "a"), 0u);
    EXPECT_EQ(SortedInsertPosition(entries, "Zulu"), 3u);
    // Plain text order, not numeric: 10 sorts before 9.
    EXPECT_EQ(SortedInsertPosition(StringList{"127.0.0.9"}, "127.0.0.10"), 0u);

    const StringList found{"192.168.0.11", "Host-A"};
    EXPECT_EQ(FindStringPrefix(found, "192.168.0.1"), 0);
    EXPECT_EQ(FindStringPrefix(found, "192.168.0.11"), 0);
    EXPECT_EQ(FindStringPrefix(found, "192.168.0.111"), -1);
    EXPECT_EQ(FindStringPrefix(found, "host-a"), 1);
    EXPECT_EQ(FindStringPrefix(found, "68.0"), -1);  // inside, not at the start
    EXPECT_EQ(FindStringPrefix(StringList{}, "1"), -1);
}

}  // namespace
}  // namespace pelvane::ui
