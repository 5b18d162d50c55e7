// Which cable segment the rising receive-error counters point at. On a line, node i's
// first port (300H, 301H) faces node i-1, or the controller for node 0; its second port
// (302H, 303H) faces node i+1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "nodes/counter_rises.h"
#include "nodes/line_break.h"
#include "nodes/lostcount.h"

namespace pelvane {

// Rises of one node's port, over the span judged.
struct PortRise {
    int32_t node = 0;
    int port = 1;                          // 1 or 2, as the node's ports are named
    std::array<CounterStep, 2> registers;  // 300H, 301H for port 1; 302H, 303H for port 2
};

// Segment s is the cable in front of node s: 0 joins the controller and Node0, and the
// segment after the last node is that node's open second port.
struct SegmentFinding {
    int32_t segment = 0;
    CounterStep rise;
    std::vector<PortRise> seenBy;
};

struct Verdict {
    int32_t nodeCount = 0;
    std::vector<SegmentFinding> worst;  // the segments with the most new errors
    int64_t lostCountRise = 0;
    NodeCounts line;  // a line that broke is named before any counter

    bool clean() const { return worst.empty() && lostCountRise == 0 && !line.broken(); }
};

// Judges the rises since the first sample of the first nodeCount nodes.
Verdict JudgeRises(const CounterRises& rises, int32_t nodeCount, int64_t lostCountRise);

// "+12", or "at least +12" when the register reached saturation.
std::string RiseText(const CounterStep& step);

// "cable between Node3 and Node4, seen by Node4 port 1 (301H +12)", after where the line
// broke, or a clean bus.
std::string VerdictText(const Verdict& verdict);

}  // namespace pelvane
