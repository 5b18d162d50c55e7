#include "nodes/verdict.h"

#include <algorithm>

#include "controller/queries.h"
#include "nodes/node_cells.h"

namespace pelvane {

namespace {

CounterStep Sum(CounterStep a, CounterStep b) {
    return {a.rise + b.rise, a.atLeast || b.atLeast};
}

// Port 1 of node i faces segment i, port 2 segment i + 1.
void AddPort(std::vector<SegmentFinding>& segments, const CounterRises& rises, int32_t node,
             int port) {
    PortRise seen{node, port, {}};
    CounterStep portRise;
    for (int r = 0; r < 2; ++r) {
        const RegisterRise& reg = rises.at(node, (port - 1) * 2 + r);
        seen.registers[static_cast<size_t>(r)] = {reg.total, reg.totalAtLeast};
        portRise = Sum(portRise, seen.registers[static_cast<size_t>(r)]);
    }
    if (portRise.rise == 0) return;
    SegmentFinding& segment = segments[static_cast<size_t>(node + port - 1)];
    segment.rise = Sum(segment.rise, portRise);
    segment.seenBy.push_back(seen);
}

std::string SegmentName(int32_t segment, int32_t nodeCount) {
    if (segment == 0) return "cable between the controller and " + FormatNodeLabel(0);
    if (segment >= nodeCount)
        return "open port after " + FormatNodeLabel(segment - 1) + ", the end of the line";
    return "cable between " + FormatNodeLabel(segment - 1) + " and " + FormatNodeLabel(segment);
}

std::string PortText(const PortRise& port) {
    std::string text = FormatNodeLabel(port.node) + " port " + std::to_string(port.port) + " (";
    bool first = true;
    for (int r = 0; r < 2; ++r) {
        const CounterStep& step = port.registers[static_cast<size_t>(r)];
        if (step.rise == 0) continue;
        if (!first) text += ", ";
        text += FormatHex(kestrum::language::kItemRegister300H + (port.port - 1) * 2 + r) + " " +
                RiseText(step);
        first = false;
    }
    return text + ")";
}

std::string FindingText(const SegmentFinding& finding, int32_t nodeCount) {
    std::string text = SegmentName(finding.segment, nodeCount) + ", seen by ";
    for (size_t i = 0; i < finding.seenBy.size(); ++i)
        text += (i > 0 ? " and " : "") + PortText(finding.seenBy[i]);
    return text;
}

}  // namespace

std::string RiseText(const CounterStep& step) {
    return (step.atLeast ? "at least +" : "+") + std::to_string(step.rise);
}

Verdict JudgeRises(const CounterRises& rises, int32_t nodeCount, int64_t lostCountRise) {
    Verdict verdict;
    verdict.nodeCount = std::clamp(nodeCount, 0, kNodeTableSize);
    verdict.lostCountRise = lostCountRise;
    std::vector<SegmentFinding> segments(static_cast<size_t>(verdict.nodeCount) + 1);
    for (int32_t node = 0; node < verdict.nodeCount; ++node) {
        AddPort(segments, rises, node, 1);
        AddPort(segments, rises, node, 2);
    }
    int64_t most = 0;
    for (const SegmentFinding& segment : segments) most = std::max(most, segment.rise.rise);
    if (most == 0) return verdict;
    for (size_t s = 0; s < segments.size(); ++s) {
        if (segments[s].rise.rise != most) continue;
        segments[s].segment = static_cast<int32_t>(s);
        verdict.worst.push_back(std::move(segments[s]));
    }
    return verdict;
}

std::string VerdictText(const Verdict& verdict) {
    std::string text = LineBreakText(verdict.line);
    for (const SegmentFinding& finding : verdict.worst)
        text += (text.empty() ? "" : "; ") + FindingText(finding, verdict.nodeCount);
    // A lost count that rose is no clean bus, even without a counter to blame.
    if (text.empty())
        text = verdict.lostCountRise > 0 ? "no error counter rose"
                                         : "bus clean: no error counter rose";
    if (verdict.lostCountRise > 0)
        text += "; lost count rose by " + std::to_string(verdict.lostCountRise);
    return text;
}

}  // namespace pelvane
