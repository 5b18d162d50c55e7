// The row drawing of the line, from rises and the verdict judged on them.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <tuple>
#include <vector>

#include "cli/line_picture.h"
#include "cli/text_format.h"

namespace pelvane::cli {
namespace {

struct Judged {
    CounterRises rises;
    Verdict verdict;
    std::optional<Topology> topology;
};

// Rises on the given registers between two samples, judged on a bus of count nodes.
Judged Judge(int32_t count, std::initializer_list<std::tuple<int32_t, int, int32_t>> rises) {
    Judged judged;
    ErrorCounterTable table{};
    judged.rises.Take(table, count);
    for (const auto& [node, counter, rise] : rises) table[counter][node] = rise;
    judged.rises.Take(table, count);
    Evidence evidence;
    evidence.nodeCount = count;
    judged.verdict = Judge(judged.rises, evidence);
    return judged;
}

std::string Draw(const Judged& judged, LineStyle style, size_t maxWidth = 120) {
    return LinePicture(judged.verdict, judged.rises, style, maxWidth,
                       judged.topology ? &*judged.topology : nullptr);
}

// A node's DL status with port 0 linked upstream and the given ESC ports open.
std::optional<uint16_t> Dl(std::initializer_list<int> open) {
    unsigned dl = 0x0001 | 0x0010 | 0x0200;
    for (const int p : open) dl |= (1u << (4 + p)) | (1u << (9 + 2 * p));
    return static_cast<uint16_t>(dl);
}

using DlStatus = std::vector<std::optional<uint16_t>>;

// count nodes on a line from ESC port 1, the last one with nothing after it.
void AddLine(DlStatus& dl, int count) {
    for (int i = 1; i < count; ++i) dl.push_back(Dl({1}));
    dl.push_back(Dl({}));
}

// sim/buses/plant.json: a coupler, Node2, with 3-6 on its port 4 and the line going on from
// its port 2 to a junction, Node8, with branches 9-11, 12-14 and 15-19 on ports 4, 2, 3.
DlStatus Plant() {
    DlStatus dl = {Dl({1}), Dl({1}), Dl({3, 1})};
    AddLine(dl, 4);
    dl.push_back(Dl({1}));
    dl.push_back(Dl({3, 1, 2}));
    for (const int branch : {3, 3, 5}) AddLine(dl, branch);
    return dl;
}

// Rises on any register, judged on the tree the DL status gives.
Judged JudgeTree(const DlStatus& dl,
                 std::initializer_list<std::tuple<int32_t, int, int32_t>> rises) {
    Judged judged;
    for (const auto& [node, reg, rise] : rises) {
        judged.rises.Take(node, reg, 0);
        judged.rises.Take(node, reg, rise);
    }
    judged.topology = ComputeTopology(dl);
    Evidence evidence;
    evidence.nodeCount = static_cast<int32_t>(dl.size());
    evidence.topology = &*judged.topology;
    judged.verdict = Judge(judged.rises, evidence);
    return judged;
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

// Node8's port 3 branch, Node15 on, went: the picture shows where, on the tree still there.
Judged PlantBrokeAtNode8Port3() {
    DlStatus dl = Plant();
    dl.resize(15);
    dl[8] = Dl({3, 1});
    Judged judged = JudgeTree(dl, {});
    judged.verdict.nodeCounts.Take(20);
    judged.verdict.nodeCounts.Take(15);
    judged.verdict.breakPlace = LineBreakPlace{8, 2, 15};
    return judged;
}

TEST(LinePicture, DrawsEachBranchBelowItsNode) {
    struct Case {
        Judged judged;
        const char* utf8;
        const char* ascii;
    };
    const Case cases[] = {
        {JudgeTree(Plant(), {}),
         "line: PLC ─ Node0 ─ Node1 ─ Node2 ─ Node7 ─ Node8 ─ Node12 ─ Node13 ─ Node14\n"
         "                            │               ├4─ Node9 ─ Node10 ─ Node11\n"
         "                            │               └3─ Node15 ─ Node16 ─ Node17 ─ Node18 ─ "
         "Node19\n"
         "                            └4─ Node3 ─ Node4 ─ Node5 ─ Node6",
         "line: PLC - Node0 - Node1 - Node2 - Node7 - Node8 - Node12 - Node13 - Node14\n"
         "                            |               +4- Node9 - Node10 - Node11\n"
         "                            |               `3- Node15 - Node16 - Node17 - Node18 - "
         "Node19\n"
         "                            `4- Node3 - Node4 - Node5 - Node6"},
        // The cable from the coupler's port 4 into its first terminal.
        {JudgeTree(Plant(), {{3, InvalidFrameRegister(0), 4}}),
         "line: PLC ─ Node0 ─ Node1 ─ Node2 ─ Node7 ─ Node8 ─ Node12 ─ Node13 ─ Node14\n"
         "                            │               ├4─ Node9 ─ Node10 ─ Node11\n"
         "                            │               └3─ Node15 ─ Node16 ─ Node17 ─ Node18 ─ "
         "Node19\n"
         "                            └4═✗═ [Node3] ─ Node4 ─ Node5 ─ Node6",
         "line: PLC - Node0 - Node1 - Node2 - Node7 - Node8 - Node12 - Node13 - Node14\n"
         "                            |               +4- Node9 - Node10 - Node11\n"
         "                            |               `3- Node15 - Node16 - Node17 - Node18 - "
         "Node19\n"
         "                            `4=X= [Node3] - Node4 - Node5 - Node6"},
        {JudgeTree(Plant(), {{16, RxErrorRegister(0), 4}}),
         "line: PLC ─ Node0 ─ Node1 ─ Node2 ─ Node7 ─ Node8 ─ Node12 ─ Node13 ─ Node14\n"
         "                            │               ├4─ Node9 ─ Node10 ─ Node11\n"
         "                            │               └3─ Node15 ═✗═ [Node16] ─ Node17 ─ Node18 ─ "
         "Node19\n"
         "                            └4─ Node3 ─ Node4 ─ Node5 ─ Node6",
         nullptr},
        // Open ports tie: the end of a junction branch, and a port 3 the DL status calls shut.
        {JudgeTree(Plant(), {{11, InvalidFrameRegister(1), 4}, {5, InvalidFrameRegister(2), 4}}),
         "line: PLC ─ Node0 ─ Node1 ─ Node2 ─ Node7 ─ Node8 ─ Node12 ─ Node13 ─ Node14\n"
         "                            │               ├4─ Node9 ─ Node10 ─ [Node11] ═✗═ end\n"
         "                            │               └3─ Node15 ─ Node16 ─ Node17 ─ Node18 ─ "
         "Node19\n"
         "                            └4─ Node3 ─ Node4 ─ [Node5] ─ Node6\n"
         "                                                └3═✗═ end",
         nullptr},
        {PlantBrokeAtNode8Port3(),
         "line: PLC ─ Node0 ─ Node1 ─ Node2 ─ Node7 ─ Node8 ─ Node12 ─ Node13 ─ Node14\n"
         "                            │               ├4─ Node9 ─ Node10 ─ Node11\n"
         "                            │               └3═✗═ end\n"
         "                            └4─ Node3 ─ Node4 ─ Node5 ─ Node6",
         nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(kLinePictureLabel) + Draw(c.judged, kUtf8), c.utf8);
        if (c.ascii) {
            EXPECT_EQ(std::string(kLinePictureLabel) + Draw(c.judged, kAscii), c.ascii);
        }
    }
}

// 200 nodes: a junction, Node0, with Node1..99 on its port 4 (Node2 alone on Node1's port 4),
// Node100..189 on its port 2 and Node190..199 on its port 3.
TEST(LinePicture, FoldsEachRowOfAWideTree) {
    DlStatus dl = {Dl({3, 1, 2}), Dl({3, 1}), Dl({})};
    for (const int branch : {97, 90, 10}) AddLine(dl, branch);
    const Judged judged =
        JudgeTree(dl, {{50, InvalidFrameRegister(0), 4}, {150, RxErrorRegister(1), 4}});
    EXPECT_EQ(std::string(kLinePictureLabel) + Draw(judged, kUtf8),
              "line: PLC ─ Node0 ─ … ─ [Node150] ═✗═ Node151 ─ … ─ Node189\n"
              "            ├4─ Node1 ─ … ─ Node49 ═✗═ [Node50] ─ … ─ Node99\n"
              "            │   └4─ Node2\n"
              "            └3─ Node190 ─ Node191 ─ Node192 ─ Node193 ─ Node194 ─ Node195 ─ "
              "Node196 ─ Node197 ─ Node198 ─ Node199");
    EXPECT_EQ(std::string(kLinePictureLabel) + Draw(judged, kAscii),
              "line: PLC - Node0 - ... - [Node150] =X= Node151 - ... - Node189\n"
              "            +4- Node1 - ... - Node49 =X= [Node50] - ... - Node99\n"
              "            |   `4- Node2\n"
              "            `3- Node190 - Node191 - Node192 - Node193 - Node194 - Node195 - "
              "Node196 - Node197 - Node198 - Node199");
}

}  // namespace
}  // namespace pelvane::cli
