// The verdict on a tree: each kind of cable, forwarded errors, lost links and a node's own
// errors, on the plant's bus and without its DL status.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "nodes/poll_session.h"
#include "nodes/verdict.h"

namespace pelvane {
namespace {

// The plant: drives 0-1, coupler 2 with terminals 3-6 on ESC port 3 and drive 7 on port 1,
// junction 8 with 9-11 on port 3, 12-14 on port 1 and 15-19 on port 2.
std::vector<std::optional<uint16_t>> PlantDl() {
    std::vector<std::vector<int>> open(20, std::vector<int>{1});
    open[2] = {3, 1};
    open[6] = open[11] = open[14] = open[19] = {};
    open[8] = {3, 1, 2};
    std::vector<std::optional<uint16_t>> dl;
    for (const std::vector<int>& ports : open) {
        unsigned status = 0x0001 | 0x0010 | 0x0200;
        for (const int p : ports) status |= (1u << (4 + p)) | (1u << (9 + 2 * p));
        dl.push_back(static_cast<uint16_t>(status));
    }
    return dl;
}

Topology Plant() {
    return ComputeTopology(PlantDl());
}

using Rises = std::vector<std::tuple<int32_t, int, int32_t>>;  // node, register, rise

Verdict Judge(const Rises& rises, const Topology* tree) {
    CounterRises tracker;
    for (int32_t node = 0; node < 20; ++node)
        for (int r = 0; r < kRegisterCount; ++r) tracker.Take(node, r, 0);
    for (const auto& [node, reg, rise] : rises) tracker.Take(node, reg, rise);
    Evidence evidence;
    evidence.nodeCount = 20;
    evidence.topology = tree;
    return pelvane::Judge(tracker, evidence);
}

// A bad cable into node as the slave controllers count it: the child's port 1 and its
// processing unit, the parent's port at the other end, and every later node as forwarded.
Rises Cable(int32_t node, int parentPort, int32_t parent, int32_t rise) {
    Rises rises = {{node, InvalidFrameRegister(0), rise},
                   {node, RxErrorRegister(0), rise},
                   {node, kProcessingUnitRegister, rise},
                   {parent, InvalidFrameRegister(parentPort), rise}};
    for (int32_t later = node + 1; later < 20; ++later) {
        rises.push_back({later, ForwardedRegister(0), rise});
        rises.push_back({later, kProcessingUnitRegister, rise});
    }
    return rises;
}

TEST(TreeVerdict, NamesTheCableConnectorOrNodeOnEachKindOfEdge) {
    const Topology plant = Plant();
    struct Case {
        Rises rises;
        const char* text;
    };
    const Case cases[] = {
        {Cable(1, 1, 0, 5),
         "cable between Node0 and Node1, seen by Node0 port 2 (302H +5) and Node1 port 1 "
         "(300H +5, 301H +5)"},
        {Cable(3, 3, 2, 12),
         "cable between Node2 and Node3, seen by Node2 port 4 (306H +12) and Node3 port 1 "
         "(300H +12, 301H +12)"},
        // The coupler's port 2 faces the drive after its terminals, not Node3.
        {Cable(7, 1, 2, 4),
         "cable between Node2 and Node7, seen by Node2 port 2 (302H +4) and Node7 port 1 "
         "(300H +4, 301H +4)"},
        {Cable(12, 1, 8, 6),
         "cable between Node8 and Node12, seen by Node8 port 2 (302H +6) and Node12 port 1 "
         "(300H +6, 301H +6)"},
        {Cable(19, 1, 18, 2),
         "cable between Node18 and Node19, seen by Node18 port 2 (302H +2) and Node19 port 1 "
         "(300H +2, 301H +2)"},
        {{{15, InvalidFrameRegister(0), 4}},
         "cable between Node8 port 3 and Node15, seen by Node15 port 1 (300H +4)"},
        {{{11, InvalidFrameRegister(1), 3}},
         "open port after Node11, the end of a branch, seen by Node11 port 2 (302H +3)"},
        {{{10, ForwardedRegister(0), 6}, {11, ForwardedRegister(0), 6}},
         "errors entered ahead of Node10 port 1 uncounted: it counts them as forwarded "
         "(308H +6)"},
        {{{8, LostLinkRegister(3), 4}, {9, LostLinkRegister(0), 1}},
         "Node8 port 4 lost its link 4 times; Node9 port 1 lost its link once"},
        {{{5, kProcessingUnitRegister, 7}, {6, kPdiRegister, 3}},
         "Node5 itself, not a cable (30CH +7 beyond what its port 1 received); Node6 itself, "
         "not a cable (30DH +3 PDI errors)"},
        // Received errors explain the processing unit's count only up to theirs.
        {{{5, kProcessingUnitRegister, 9}, {5, ForwardedRegister(0), 4}},
         "errors entered ahead of Node5 port 1 uncounted: it counts them as forwarded (308H +4); "
         "Node5 itself, not a cable (30CH +5 beyond what its port 1 received)"},
        {{{5, kProcessingUnitRegister, 255}, {5, InvalidFrameRegister(0), 255}},
         "cable between Node4 and Node5, seen by Node5 port 1 (300H at least +255)"},
    };
    for (const Case& c : cases) EXPECT_EQ(VerdictText(Judge(c.rises, &plant)), c.text);
}

TEST(TreeVerdict, WithoutTheTreeTheBusIsJudgedAsALine) {
    const Rises coupler = {{2, InvalidFrameRegister(1), 4}, {7, InvalidFrameRegister(0), 4}};
    EXPECT_EQ(VerdictText(Judge(coupler, nullptr)),
              "cable between Node2 and Node3, seen by Node2 port 2 (302H +4); cable between Node6 "
              "and Node7, seen by Node7 port 1 (300H +4)");
    // A tree of another bus is no tree of this one.
    const Topology small = ComputeTopology({0x0211, 0x0211});
    EXPECT_EQ(VerdictText(Judge(coupler, &small)), VerdictText(Judge(coupler, nullptr)));
}

// The plant without the junction's first branch: the count alone would blame Node16.
TEST(TreeVerdict, ABranchThatWentIsNamedAtItsPort) {
    BusReading whole;
    whole.dlStatus = PlantDl();
    CounterReadings zero;
    zero.fill(0);
    whole.counters.assign(20, zero);
    BusReading cut = whole;
    cut.dlStatus.erase(cut.dlStatus.begin() + 9, cut.dlStatus.begin() + 12);
    cut.dlStatus[8] = *cut.dlStatus[8] & ~0x8000;  // port 4 without communication
    cut.counters.resize(17);
    PollSession session;
    session.Take(whole);
    session.Take(cut);
    EXPECT_EQ(VerdictText(session.Judge()),
              "branch lost at Node8 port 4: 20 -> 17 nodes (cable between Node8 and Node9, or "
              "Node9 lost power)");
}

}  // namespace
}  // namespace pelvane
