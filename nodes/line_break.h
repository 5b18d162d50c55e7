// Where an EtherCAT line ends. A line is a chain: when a cable or a node's power fails,
// every node behind it is gone too, so the node count tells where it broke.
#pragma once

#include <cstdint>
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
    // The cable to blame, as a verdict segment: in front of the first node missing now, or,
    // for a line whole again, in front of the first node that was missing.
    int32_t segment() const { return last < most || last == 0 ? last : least; }
};

// "line broken after Node4: 8 -> 5 nodes (cable between Node4 and Node5, or Node5 lost
// power)", "no node answers (...)", or a line that broke and came back; empty when whole.
std::string LineBreakText(const NodeCounts& counts);

}  // namespace pelvane
