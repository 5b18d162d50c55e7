// Which cable, connector or node the rising error counters point at, on the bus's tree.
// A cable between a parent's port and its child shows on the child's port 1 (300H, 301H;
// frames going out) and on the parent's port at the cable's other end (frames coming
// back). Without the tree the bus is judged as a line: node i's port 1 faces node i-1,
// or the controller for node 0, and its port 2 faces node i+1.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/counter_rises.h"
#include "nodes/line_break.h"
#include "nodes/lostcount.h"
#include "nodes/read_failure.h"
#include "nodes/register_poll.h"
#include "nodes/topology.h"

namespace pelvane {

// Rises of one node's port, over the span judged.
struct PortRise {
    int32_t node = 0;
    int escPort = 0;
    std::array<CounterStep, 2> registers;  // the port's invalid-frame and RX-error counters
};

// A cable, or a port with no node on it.
struct CableFinding {
    int32_t cable = 0;                // the node the cable leads into; nodeCount for an open port
    std::optional<int32_t> upstream;  // the node at the other end, or with the open port;
                                      // none: the controller
    int upstreamEscPort = 1;          // that node's port
    CounterStep rise;
    std::vector<PortRise> seenBy;
};

// A connector that lost its link during the span.
struct LostLinkFinding {
    int32_t node = 0;
    int escPort = 0;
    CounterStep rise;
};

// Errors a node made itself: PDI errors, and processing-unit errors beyond those its port 1
// received (a slave controller counts every bad frame arriving there in 30CH too).
struct ElectronicsFinding {
    int32_t node = 0;
    CounterStep pdi;
    CounterStep processingUnit;  // the rise beyond what port 1 explains
};

// Forwarded errors with no invalid frame counted ahead of them: the errors entered ahead of
// this port, where a counter stood still (one stopped at FFH, or one not read).
struct ForwardedFinding {
    int32_t node = 0;
    int escPort = 0;
    CounterStep rise;
};

// What a reading could not read of what a verdict needs: the node count, and the nodes
// whose counters 300H..303H are not all there.
struct Unread {
    bool count = false;
    std::vector<int32_t> nodes;
    std::optional<ReadFailure> why;  // the first failure, when known

    bool any() const { return count || !nodes.empty(); }
};

struct Verdict {
    int32_t nodeCount = 0;
    std::vector<CableFinding> worst;  // the cables and open ports with the most new errors
    std::optional<ForwardedFinding> forwarded;
    std::vector<LostLinkFinding> lostLinks;
    std::vector<ElectronicsFinding> electronics;
    int64_t lostCountRise = 0;
    NodeCounts nodeCounts;                     // a line that broke is named before any counter
    std::optional<LineBreakPlace> breakPlace;  // where on the tree it broke, when known
    // False when the controller reported no DL status: the bus was judged as a line.
    bool topologyReported = true;
    // At the first reading or the latest: a bus is clean only where it was read.
    Unread unread;
    // How the registers came to be read as they were, when not in bulk.
    std::vector<RegisterStep> registerSteps;

    bool faultFound() const {
        return !worst.empty() || forwarded || !lostLinks.empty() || !electronics.empty() ||
               lostCountRise != 0 || nodeCounts.broken();
    }
    bool clean() const { return !faultFound() && !unread.any(); }
};

// What the span judged saw besides the rises of its counters.
struct Evidence {
    int32_t nodeCount = 0;  // the nodes judged, the first of the bus
    int64_t lostCountRise = 0;
    const Topology* topology = nullptr;  // none, or one without every node: judged as a line
    NodeCounts nodeCounts;
    std::optional<LineBreakPlace> breakPlace;
    bool topologyReported = true;
    Unread unread;
    std::vector<RegisterStep> registerSteps;
};

// The whole verdict on the rises since the first sample, for every program that judges.
Verdict Judge(const CounterRises& rises, const Evidence& evidence);

// "+12", or "at least +12" when the register reached saturation.
std::string RiseText(const CounterStep& step);

// "cable between Node3 and Node4, seen by Node4 port 1 (301H +12)", after where the line
// broke, or a clean bus.
std::string VerdictText(const Verdict& verdict);

// Said once, before the verdict: "topology: not reported by the controller, read as a
// line", and each change in how the registers were read.
std::vector<std::string> ReadingNotes(const Verdict& verdict);

}  // namespace pelvane
