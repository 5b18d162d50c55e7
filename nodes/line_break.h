// Where an EtherCAT line ends. A line is a chain: when a cable or a node's power fails,
// every node behind it is gone too, so the node count tells where it broke.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pelvane {

// The node counts of a run, one reading after another.
struct NodeCounts {
    int32_t most = 0;
    int32_t least = 0;
    int32_t last = 0;
    int64_t drops = 0;  // readings whose count fell below the reading before
    bool seen = false;

    void Take(int32_t count);
    // The line broke during the run (and may have come back), or no node answers at all.
    bool broken() const { return seen && (last == 0 || least < most); }
    // The cable to blame, as a cable finding names it: in front of the first node missing now, or,
    // for a line whole again, in front of the first node that was missing.
    int32_t cable() const { return last < most || last == 0 ? last : least; }
};

// Where a tree lost nodes: the port of a node still there whose branch is gone, and the
// first node of that branch as the whole bus numbered it.
struct LineBreakPlace {
    int32_t upstream = 0;
    int escPort = 1;
    int32_t node = 0;
};

// "line broken after Node4: 8 -> 5 nodes (cable between Node4 and Node5, or Node5 lost
// power)", "no node answers (...)", or a line that broke and came back; empty when whole.
// On a tree the place, when known, names the branch that went.
std::string LineBreakText(const NodeCounts& counts,
                          const std::optional<LineBreakPlace>& place = std::nullopt);

}  // namespace pelvane
