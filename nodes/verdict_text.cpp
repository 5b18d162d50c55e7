// The verdict as one line of text: where the line broke, the cable or port to look at,
// connectors that lost their link and nodes that made errors of their own.
#include "nodes/node_cells.h"
#include "nodes/verdict.h"

namespace pelvane {

namespace {

std::string PortName(int32_t node, int escPort) {
    return FormatNodeLabel(node) + " port " + std::to_string(PortLabel(escPort));
}

bool SeenAt(const CableFinding& finding, int32_t node) {
    for (const PortRise& port : finding.seenBy)
        if (port.node == node) return true;
    return false;
}

std::string CableName(const CableFinding& finding, int32_t nodeCount) {
    if (!finding.upstream) return "cable between the controller and " + FormatNodeLabel(0);
    const int32_t upstream = *finding.upstream;
    if (finding.cable >= nodeCount) {
        if (finding.upstreamEscPort != 1)
            return "open port " + std::to_string(PortLabel(finding.upstreamEscPort)) + " of " +
                   FormatNodeLabel(upstream) + ", no node on it";
        // The last node of the bus is the end of the line; any other end closes a branch.
        return "open port after " + FormatNodeLabel(upstream) +
               (upstream == nodeCount - 1 ? ", the end of the line" : ", the end of a branch");
    }
    // Off the line's own port the parent's port says where to look, unless it counted.
    const std::string from = finding.upstreamEscPort == 1 || SeenAt(finding, upstream)
                                 ? FormatNodeLabel(upstream)
                                 : PortName(upstream, finding.upstreamEscPort);
    return "cable between " + from + " and " + FormatNodeLabel(finding.cable);
}

std::string PortText(const PortRise& port) {
    std::string text = PortName(port.node, port.escPort) + " (";
    const int registers[] = {InvalidFrameRegister(port.escPort), RxErrorRegister(port.escPort)};
    bool first = true;
    for (size_t r = 0; r < 2; ++r) {
        const CounterStep& step = port.registers[r];
        if (step.rise == 0) continue;
        text += (first ? "" : ", ") + RegisterName(registers[r]) + " " + RiseText(step);
        first = false;
    }
    return text + ")";
}

std::string FindingText(const CableFinding& finding, int32_t nodeCount) {
    std::string text = CableName(finding, nodeCount) + ", seen by ";
    for (size_t i = 0; i < finding.seenBy.size(); ++i)
        text += (i > 0 ? " and " : "") + PortText(finding.seenBy[i]);
    return text;
}

std::string ForwardedText(const ForwardedFinding& found) {
    return "errors entered ahead of " + PortName(found.node, found.escPort) +
           " uncounted: it counts them as forwarded (" +
           RegisterName(ForwardedRegister(found.escPort)) + " " + RiseText(found.rise) + ")";
}

std::string LostLinkText(const LostLinkFinding& found) {
    const std::string times =
        found.rise.rise == 1 && !found.rise.atLeast
            ? "once"
            : (found.rise.atLeast ? "at least " : "") + std::to_string(found.rise.rise) + " times";
    return PortName(found.node, found.escPort) + " lost its link " + times;
}

std::string ElectronicsText(const ElectronicsFinding& found) {
    std::string text = FormatNodeLabel(found.node) + " itself, not a cable (";
    if (found.processingUnit.rise > 0)
        text += RegisterName(kProcessingUnitRegister) + " " + RiseText(found.processingUnit) +
                " beyond what its port 1 received";
    if (found.pdi.rise > 0)
        text += std::string(found.processingUnit.rise > 0 ? ", " : "") +
                RegisterName(kPdiRegister) + " " + RiseText(found.pdi) + " PDI errors";
    return text + ")";
}

// "Node0..Node5, Node8".
std::string NodeRanges(const std::vector<int32_t>& nodes) {
    std::string text;
    for (size_t i = 0; i < nodes.size();) {
        size_t end = i;
        while (end + 1 < nodes.size() && nodes[end + 1] == nodes[end] + 1) ++end;
        text += (text.empty() ? "" : ", ") + FormatNodeLabel(nodes[i]);
        if (end > i) text += ".." + FormatNodeLabel(nodes[end]);
        i = end + 1;
    }
    return text;
}

std::string UnreadText(const Unread& unread) {
    std::string text = "not judged: ";
    if (unread.count) text += "node count unread";
    if (!unread.nodes.empty())
        text += (unread.count ? ", " : "") + std::string("counters unread on ") +
                NodeRanges(unread.nodes);
    if (unread.why) text += " (" + ReadFailureText(*unread.why) + ")";
    return text;
}

}  // namespace

std::string VerdictText(const Verdict& verdict) {
    std::string text = LineBreakText(verdict.nodeCounts, verdict.breakPlace);
    const auto add = [&text](const std::string& part) {
        text += (text.empty() ? "" : "; ") + part;
    };
    for (const CableFinding& finding : verdict.worst) add(FindingText(finding, verdict.nodeCount));
    if (verdict.forwarded) add(ForwardedText(*verdict.forwarded));
    for (const LostLinkFinding& found : verdict.lostLinks) add(LostLinkText(found));
    for (const ElectronicsFinding& found : verdict.electronics) add(ElectronicsText(found));
    // Unread counters are named after what was found, and instead of a clean bus.
    if (verdict.unread.any()) add(UnreadText(verdict.unread));
    // A lost count that rose is no clean bus, even without a counter to blame.
    if (text.empty())
        text = verdict.lostCountRise > 0 ? "no error counter rose"
                                         : "bus clean: no error counter rose";
    if (verdict.lostCountRise > 0)
        text += "; lost count rose by " + std::to_string(verdict.lostCountRise);
    return text;
}

std::vector<std::string> ReadingNotes(const Verdict& verdict) {
    std::vector<std::string> notes;
    if (!verdict.topologyReported)
        notes.emplace_back("topology: not reported by the controller, read as a line");
    for (const RegisterStep& step : verdict.registerSteps) notes.push_back(RegisterStepText(step));
    return notes;
}

}  // namespace pelvane
