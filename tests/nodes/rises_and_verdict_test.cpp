// The rise counting and the cable verdict, without a controller.
#include <gtest/gtest.h>

#include <climits>

#include "nodes/counter_rises.h"
#include "nodes/verdict.h"

namespace pelvane {
namespace {

TEST(CounterRises, StepsSaturateAndRestartAfterAClear) {
    struct Case {
        int32_t before, after;
        int64_t rise;
        bool atLeast;
    };
    const Case cases[] = {
        {3, 5, 2, false},     {250, 255, 5, true},
        {250, 400, 5, true},                                      // stops at 255
        {255, 255, 0, false}, {255, 900, 0, false},               // stuck: no rise seen
        {10, 3, 3, false},    {10, 0, 0, false},                  // cleared, counted anew
        {-5, 2, 2, false},    {INT32_MIN, INT32_MAX, 255, true},  // misreported values
    };
    for (const Case& c : cases) {
        const CounterStep step = StepBetween(c.before, c.after);
        EXPECT_EQ(step.rise, c.rise) << c.before << " -> " << c.after;
        EXPECT_EQ(step.atLeast, c.atLeast) << c.before << " -> " << c.after;
    }

    CounterRises rises;
    ErrorCounterTable table{};
    int64_t totals[] = {0, 5, 7, 260, 260, 260, 264};
    int32_t values[] = {0, 5, 2, 300, 255, 0, 4};
    for (size_t i = 0; i < std::size(values); ++i) {
        table[kRegister302H][1] = values[i];
        rises.Take(table, 2);
        EXPECT_EQ(rises.at(1, kRegister302H).total, totals[i]) << "sample " << i;
    }
    EXPECT_TRUE(rises.at(1, kRegister302H).totalAtLeast);
    EXPECT_EQ(rises.at(1, kRegister302H).last.rise, 4);
    EXPECT_EQ(rises.at(0, kRegister300H).total, 0);
}

// Rises on the given registers between two samples, judged on a bus of count nodes, after
// a run whose node counts were counts (ending at count).
Verdict Judge(int32_t count, std::initializer_list<std::tuple<int32_t, int, int32_t>> rises,
              int64_t lostRise = 0, std::initializer_list<int32_t> counts = {}) {
    CounterRises tracker;
    ErrorCounterTable table{};
    tracker.Take(table, count);
    for (const auto& [node, counter, rise] : rises) table[counter][node] = rise;
    tracker.Take(table, count);
    Evidence evidence;
    evidence.nodeCount = count;
    evidence.lostCountRise = lostRise;
    for (const int32_t c : counts) evidence.nodeCounts.Take(c);
    return pelvane::Judge(tracker, evidence);
}

TEST(Verdict, NamesTheSegmentWithTheMostNewErrors) {
    struct Case {
        Verdict verdict;
        const char* text;
    };
    const Case cases[] = {
        {Judge(8, {{4, kRegister301H, 12}, {6, kRegister300H, 2}}),
         "cable between Node3 and Node4, seen by Node4 port 1 (301H +12)"},
        {Judge(8, {{0, kRegister300H, 1}}),
         "cable between the controller and Node0, seen by Node0 port 1 (300H +1)"},
        {Judge(8, {{7, kRegister302H, 2}, {7, kRegister303H, 1}}),
         "open port after Node7, the end of the line, seen by Node7 port 2 (302H +2, 303H +1)"},
        // Both ends of one cable add up and outweigh a single larger count elsewhere.
        {Judge(8, {{3, kRegister303H, 2}, {4, kRegister300H, 2}, {6, kRegister300H, 3}}),
         "cable between Node3 and Node4, seen by Node3 port 2 (303H +2) and Node4 port 1 "
         "(300H +2)"},
        {Judge(3, {{0, kRegister302H, 4}, {2, kRegister301H, 4}}),
         "cable between Node0 and Node1, seen by Node0 port 2 (302H +4); cable between Node1 "
         "and Node2, seen by Node2 port 1 (301H +4)"},
        {Judge(2, {{1, kRegister300H, 300}}),
         "cable between Node0 and Node1, seen by Node1 port 1 (300H at least +255)"},
        {Judge(8, {}), "bus clean: no error counter rose"},
        {Judge(8, {}, 2), "no error counter rose; lost count rose by 2"},
        // The break comes first; the counters are judged on the nodes still on the line.
        {Judge(6, {{2, kRegister300H, 3}}, 0, {8, 3, 6}),
         "line broken after Node5: 8 -> 6 nodes (cable between Node5 and Node6, or Node6 lost "
         "power); at times only 3 nodes; cable between Node1 and Node2, seen by Node2 port 1 "
         "(300H +3)"},
        {Judge(0, {}, 1, {8, 0}),
         "no node answers: 8 -> 0 nodes (the cable to Node0, or the controller's port); lost "
         "count rose by 1"},
        {Judge(2, {}, 0, {2, 0, 2}),
         "line flapped at the controller: down to 0 of 2 nodes, back to 2 (the cable to Node0, "
         "or the controller's port)"},
    };
    for (const Case& c : cases) EXPECT_EQ(VerdictText(c.verdict), c.text);
    EXPECT_TRUE(Judge(8, {}).clean());
    EXPECT_FALSE(Judge(8, {}, 1).clean());
    // Nodes beyond the bus judged are not blamed.
    EXPECT_TRUE(Judge(2, {{5, kRegister300H, 9}}).clean());
}

}  // namespace
}  // namespace pelvane
