#include "nodes/verdict.h"

#include <algorithm>

namespace pelvane {

namespace {

CounterStep Sum(CounterStep a, CounterStep b) {
    return {a.rise + b.rise, a.atLeast || b.atLeast};
}

// The invalid-frame and RX-error rises of one ESC port; none when neither rose.
std::optional<PortRise> PortRiseOf(const CounterRises& rises, int32_t node, int escPort) {
    PortRise seen{node,
                  escPort,
                  {rises.total(node, InvalidFrameRegister(escPort)),
                   rises.total(node, RxErrorRegister(escPort))}};
    if (seen.registers[0].rise == 0 && seen.registers[1].rise == 0) return std::nullopt;
    return seen;
}

void See(CableFinding& finding, const std::optional<PortRise>& seen) {
    if (!seen) return;
    finding.rise = Sum(finding.rise, Sum(seen->registers[0], seen->registers[1]));
    finding.seenBy.push_back(*seen);
}

// Every cable by the node it leads into, then every port with no node on it that counted.
std::vector<CableFinding> Cables(const CounterRises& rises, const Topology& topology,
                                 int32_t nodeCount) {
    std::vector<CableFinding> cables(static_cast<size_t>(nodeCount));
    for (int32_t node = 0; node < nodeCount; ++node) {
        const TopologyNode& placed = topology.nodes[static_cast<size_t>(node)];
        CableFinding& finding = cables[static_cast<size_t>(node)];
        finding.cable = node;
        finding.upstream = placed.parent;
        finding.upstreamEscPort = placed.parent ? placed.parentPort : 1;
        if (placed.parent) See(finding, PortRiseOf(rises, *placed.parent, placed.parentPort));
        See(finding, PortRiseOf(rises, node, 0));
    }
    for (int32_t node = 0; node < nodeCount; ++node) {
        const TopologyNode& placed = topology.nodes[static_cast<size_t>(node)];
        for (int escPort = 1; escPort < 4; ++escPort) {
            if (placed.children[static_cast<size_t>(escPort)]) continue;
            CableFinding open{nodeCount, node, escPort, {}, {}};
            See(open, PortRiseOf(rises, node, escPort));
            if (open.rise.rise > 0) cables.push_back(std::move(open));
        }
    }
    return cables;
}

std::vector<CableFinding> Worst(std::vector<CableFinding> cables) {
    int64_t most = 0;
    for (const CableFinding& cable : cables) most = std::max(most, cable.rise.rise);
    std::vector<CableFinding> worst;
    if (most == 0) return worst;
    for (CableFinding& cable : cables)
        if (cable.rise.rise == most) worst.push_back(std::move(cable));
    return worst;
}

// The first port, in the order the frame arrives at them, that counted forwarded errors.
std::optional<ForwardedFinding> FirstForwarded(const CounterRises& rises, const Topology& topology,
                                               int32_t nodeCount) {
    for (const PortVisit& visit : ProcessingOrder(topology)) {
        if (visit.node >= nodeCount) continue;
        const CounterStep rise = rises.total(visit.node, ForwardedRegister(visit.escPort));
        if (rise.rise > 0) return ForwardedFinding{visit.node, visit.escPort, rise};
    }
    return std::nullopt;
}

std::vector<LostLinkFinding> LostLinks(const CounterRises& rises, int32_t nodeCount) {
    std::vector<LostLinkFinding> found;
    for (int32_t node = 0; node < nodeCount; ++node)
        for (int escPort = 0; escPort < 4; ++escPort)
            if (const CounterStep rise = rises.total(node, LostLinkRegister(escPort));
                rise.rise > 0)
                found.push_back({node, escPort, rise});
    return found;
}

// What port 1 received explains as many processing-unit errors; a counter stopped at FFH
// explains an unknown number, so nothing is laid on the node then.
std::optional<CounterStep> ProcessingUnitBeyond(const CounterRises& rises, int32_t node) {
    const int registers[] = {kProcessingUnitRegister, InvalidFrameRegister(0),
                             ForwardedRegister(0)};
    for (const int reg : registers)
        if (CounterSaturated(rises.at(node, reg).value)) return std::nullopt;
    const CounterStep unit = rises.total(node, kProcessingUnitRegister);
    const int64_t explained = rises.total(node, InvalidFrameRegister(0)).rise +
                              rises.total(node, ForwardedRegister(0)).rise;
    if (unit.rise <= explained) return std::nullopt;
    return CounterStep{unit.rise - explained, unit.atLeast};
}

std::vector<ElectronicsFinding> Electronics(const CounterRises& rises, int32_t nodeCount) {
    std::vector<ElectronicsFinding> found;
    for (int32_t node = 0; node < nodeCount; ++node) {
        ElectronicsFinding finding{node, rises.total(node, kPdiRegister), {}};
        if (const auto beyond = ProcessingUnitBeyond(rises, node)) finding.processingUnit = *beyond;
        if (finding.pdi.rise > 0 || finding.processingUnit.rise > 0) found.push_back(finding);
    }
    return found;
}

}  // namespace

std::string RiseText(const CounterStep& step) {
    return (step.atLeast ? "at least +" : "+") + std::to_string(step.rise);
}

Verdict Judge(const CounterRises& rises, const Evidence& evidence) {
    Verdict verdict;
    verdict.nodeCount = std::clamp(evidence.nodeCount, 0, kNodeTableSize);
    verdict.lostCountRise = evidence.lostCountRise;
    verdict.nodeCounts = evidence.nodeCounts;
    if (evidence.nodeCounts.broken()) verdict.breakPlace = evidence.breakPlace;
    verdict.topologyReported = evidence.topologyReported;
    verdict.unread = evidence.unread;
    verdict.registerSteps = evidence.registerSteps;
    const Topology* topology = evidence.topology;
    // A tree that does not hold every node judged is no tree of this bus.
    const bool fits =
        topology != nullptr && topology->nodes.size() >= static_cast<size_t>(verdict.nodeCount);
    const Topology line = fits ? Topology{}
                               : ComputeTopology(std::vector<std::optional<uint16_t>>(
                                     static_cast<size_t>(verdict.nodeCount)));
    const Topology& tree = fits ? *topology : line;
    verdict.worst = Worst(Cables(rises, tree, verdict.nodeCount));
    if (verdict.worst.empty()) verdict.forwarded = FirstForwarded(rises, tree, verdict.nodeCount);
    verdict.lostLinks = LostLinks(rises, verdict.nodeCount);
    verdict.electronics = Electronics(rises, verdict.nodeCount);
    return verdict;
}

}  // namespace pelvane
