#include "nodes/lostcount.h"

#include <gtest/gtest.h>

#include <climits>

namespace pelvane {
namespace {

TEST(Lostcount, CutEndsAtTheReportsSecondFullStop) {
    const struct {
        std::string report;
        std::string text;
    } cases[] = {
        {"State:OP.\r\nLostcount:3.\r\n", "Lostcount:3"},
        {"Lostcount:3.5.\r\n", "Lostcount:3.5"},
        {"Lostcount:3.\r\n", ""},          // one full stop only
        {"a.b.Lostcount:3.\r\n", ""},      // both before "Lostcount:"
        {"State:OP.\r\nLost:3.\r\n", ""},  // no "Lostcount:"
        {"", ""},
        {"a.Lostcount:3.\r\nLostcount:4.", "Lostcount:3"},  // the first one counts
        {"lostcount:3.\r\n.", ""},                          // case matters
    };
    for (const auto& c : cases) EXPECT_EQ(CutLostcountText(c.report), c.text) << c.report;
}

TEST(Lostcount, NumberAndRise) {
    EXPECT_EQ(LostCountValue("Lostcount:3"), 3);
    EXPECT_EQ(LostCountValue("Lostcount: 99999999999"), INT32_MAX);
    EXPECT_EQ(LostCountValue("Lostcount:"), std::nullopt);
    EXPECT_EQ(LostCountValue(""), std::nullopt);
    EXPECT_EQ(LostCountRise(3, 5), 2);
    EXPECT_EQ(LostCountRise(9, 2), 2);  // reset
    EXPECT_EQ(LostCountRise(INT32_MIN, INT32_MAX), int64_t{INT32_MAX} - INT32_MIN);
}

}  // namespace
}  // namespace pelvane
