// The row drawing of the line, from rises and the verdict judged on them.
#include <gtest/gtest.h>

#include <regex>
#include <tuple>

#include "cli/line_picture.h"
#include "cli/text_format.h"

namespace pelvane::cli {
namespace {

struct Judged {
    CounterRises rises;
    Verdict verdict;
};

// Rises on the given registers between two samples, judged on a bus of count nodes.
Judged Judge(int32_t count, std::initializer_list<std::tuple<int32_t, int, int32_t>> rises) {
    Judged judged;
    ErrorCounterTable table{};
    judged.rises.Take(table, count);
    for (const auto& [node, counter, rise] : rises) table[counter][node] = rise;
    judged.rises.Take(table, count);
    judged.verdict = JudgeRises(judged.rises, count, 0);
    return judged;
}

std::string Draw(const Judged& judged, LineStyle style, size_t maxWidth = 120) {
    return LinePicture(judged.verdict, judged.rises, style, maxWidth);
}

constexpr LineStyle kUtf8{true, false};
constexpr LineStyle kAscii{false, false};
constexpr LineStyle kUtf8Colour{true, true};

TEST(LinePicture, MarksTheSegmentTheVerdictNames) {
    struct Case {
        Judged judged;
        const char* utf8;
        const char* ascii;
    };
    const Case cases[] = {
        {Judge(4, {{2, kRegister301H, 3}}), "PLC ─ Node0 ─ Node1 ═✗═ [Node2] ─ Node3",
         "PLC - Node0 - Node1 =X= [Node2] - Node3"},
        {Judge(4, {{0, kRegister300H, 1}}), "PLC ═✗═ [Node0] ─ Node1 ─ Node2 ─ Node3",
         "PLC =X= [Node0] - Node1 - Node2 - Node3"},
        {Judge(4, {{3, kRegister302H, 2}}), "PLC ─ Node0 ─ Node1 ─ Node2 ─ [Node3] ═✗═ end",
         "PLC - Node0 - Node1 - Node2 - [Node3] =X= end"},
        // Two segments tie; the lesser rise on Node0 is no verdict, yet Node0 rose.
        {Judge(4, {{1, kRegister302H, 2}, {3, kRegister300H, 2}, {0, kRegister303H, 1}}),
         "PLC ─ [Node0] ─ [Node1] ═✗═ Node2 ═✗═ [Node3]",
         "PLC - [Node0] - [Node1] =X= Node2 =X= [Node3]"},
        {Judge(4, {}), "PLC ─ Node0 ─ Node1 ─ Node2 ─ Node3",
         "PLC - Node0 - Node1 - Node2 - Node3"},
        {Judge(0, {}), "PLC", "PLC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Draw(c.judged, kUtf8), c.utf8);
        EXPECT_EQ(Draw(c.judged, kAscii), c.ascii);
    }
}

TEST(LinePicture, ColourTakesThePlaceOfBrackets) {
    const Judged judged = Judge(4, {{2, kRegister301H, 5}, {0, kRegister302H, 1}});
    EXPECT_EQ(Draw(judged, kUtf8Colour),
              "PLC ─ \x1b[1mNode0\x1b[0m ─ Node1 \x1b[1;31m═✗═\x1b[0m \x1b[1mNode2\x1b[0m ─ Node3");
    EXPECT_EQ(Draw(judged, {false, true}),
              "PLC - \x1b[1mNode0\x1b[0m - Node1 \x1b[1;31m=X=\x1b[0m \x1b[1mNode2\x1b[0m - Node3");
    EXPECT_EQ(Draw(Judge(2, {{1, kRegister302H, 1}}), kUtf8Colour),
              "PLC ─ Node0 ─ \x1b[1mNode1\x1b[0m \x1b[1;31m═✗═\x1b[0m end");
}

TEST(LinePicture, ElidesTheQuietNodesOfALongBus) {
    struct Case {
        Judged judged;
        const char* utf8;
        const char* ascii;
    };
    const Case cases[] = {
        {Judge(200, {{100, kRegister300H, 4}}),
         "PLC ─ Node0 ─ … ─ Node99 ═✗═ [Node100] ─ … ─ Node199",
         "PLC - Node0 - ... - Node99 =X= [Node100] - ... - Node199"},
        // A lone hidden node between Node0 and a risen Node2 is shown rather than a gap.
        {Judge(200, {{100, kRegister300H, 4}, {2, kRegister302H, 1}}),
         "PLC ─ Node0 ─ Node1 ─ [Node2] ─ … ─ Node99 ═✗═ [Node100] ─ … ─ Node199",
         "PLC - Node0 - Node1 - [Node2] - ... - Node99 =X= [Node100] - ... - Node199"},
        {Judge(200, {{199, kRegister303H, 4}}), "PLC ─ Node0 ─ … ─ [Node199] ═✗═ end",
         "PLC - Node0 - ... - [Node199] =X= end"},
        {Judge(200, {{0, kRegister300H, 4}}), "PLC ═✗═ [Node0] ─ … ─ Node199",
         "PLC =X= [Node0] - ... - Node199"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Draw(c.judged, kUtf8), c.utf8);
        EXPECT_EQ(Draw(c.judged, kAscii), c.ascii);
    }

    // Colour escapes take no columns: a row exactly as wide as allowed stays whole.
    const auto strip = [](const std::string& row) {
        return std::regex_replace(row, std::regex("\x1b\\[[0-9;]*m"), "");
    };
    const Judged judged = Judge(12, {{6, kRegister300H, 1}});
    const LineStyle colour{false, true};
    const std::string whole = Draw(judged, colour, 1000);
    const size_t width = DisplayWidth(strip(whole));
    EXPECT_EQ(Draw(judged, colour, width), whole);
    EXPECT_EQ(strip(Draw(judged, colour, width - 1)),
              "PLC - Node0 - ... - Node5 =X= Node6 - ... - Node11");
}

}  // namespace
}  // namespace pelvane::cli
