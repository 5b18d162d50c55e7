#include "nodes/line_break.h"

#include <algorithm>

#include "nodes/node_cells.h"
#include "nodes/topology.h"

namespace pelvane {

namespace {

// What to look at when the line ends in front of node.
std::string Cause(int32_t node) {
    if (node == 0) return "(the cable to " + FormatNodeLabel(0) + ", or the controller's port)";
    return "(cable between " + FormatNodeLabel(node - 1) + " and " + FormatNodeLabel(node) +
           ", or " + FormatNodeLabel(node) + " lost power)";
}

std::string Nodes(int32_t count) {
    return std::to_string(count) + (count == 1 ? " node" : " nodes");
}

}  // namespace

void NodeCounts::Take(int32_t count) {
    count = std::max(count, 0);
    if (seen && count < last) ++drops;
    most = seen ? std::max(most, count) : count;
    least = seen ? std::min(least, count) : count;
    last = count;
    seen = true;
}

std::string LineBreakText(const NodeCounts& counts, const std::optional<LineBreakPlace>& place) {
    if (!counts.broken()) return "";
    if (place && counts.last > 0 && counts.last < counts.most) {
        const std::string node = FormatNodeLabel(place->node);
        std::string text = "branch lost at " + FormatNodeLabel(place->upstream) + " port " +
                           std::to_string(PortLabel(place->escPort)) + ": " +
                           std::to_string(counts.most) + " -> " + Nodes(counts.last) +
                           " (cable between " + FormatNodeLabel(place->upstream) + " and " + node +
                           ", or " + node + " lost power)";
        if (counts.least < counts.last) text += "; at times only " + Nodes(counts.least);
        return text;
    }
    if (counts.last == 0) {
        const std::string fall =
            counts.most > 0 ? ": " + std::to_string(counts.most) + " -> " + Nodes(0) : "";
        return "no node answers" + fall + " " + Cause(0);
    }
    if (counts.last < counts.most) {
        std::string text = "line broken after " + FormatNodeLabel(counts.last - 1) + ": " +
                           std::to_string(counts.most) + " -> " + Nodes(counts.last) + " " +
                           Cause(counts.last);
        if (counts.least < counts.last) text += "; at times only " + Nodes(counts.least);
        return text;
    }
    const std::string where =
        counts.least == 0 ? "at the controller" : "after " + FormatNodeLabel(counts.least - 1);
    return "line flapped " + where + ": down to " + std::to_string(counts.least) + " of " +
           Nodes(counts.most) + ", back to " + std::to_string(counts.most) + " " +
           Cause(counts.least);
}

}  // namespace pelvane
