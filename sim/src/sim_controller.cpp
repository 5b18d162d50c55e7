#include "sim/src/sim_controller.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "kestrum/language/node_items.h"
#include "sim/src/node_dl_status.h"

namespace kestrum::sim {
namespace {

using namespace language;

int32_t SaturatedAdd(int32_t base, double rise) {
    double v = static_cast<double>(base) + std::floor(rise);
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return to <= from ? 0.0 : std::chrono::duration<double>(to - from).count();
}

}  // namespace

SimController::SimController(Bus bus, Clock::time_point now)
    : bus_(std::move(bus)),
      childOn_(bus_.nodes.size(), {-1, -1, -1, -1}),
      rises_(bus_.nodes.size()),
      faultRate_(bus_.nodes.size()),
      rateStart_(bus_.nodes.size(), {now, now}),
      lostStart_(now),
      emergencies_(bus_.nodes.size()) {
    // Bus files are checked to hang every node on an earlier one, each on a port of its own.
    for (std::size_t i = 1; i < bus_.nodes.size(); ++i) {
        const Upstream up = UpstreamOf(bus_.nodes, i);
        childOn_[static_cast<std::size_t>(up.node)][static_cast<std::size_t>(up.escPort)] =
            static_cast<int32_t>(i);
    }
}

uint16_t SimController::NodeDlStatus(std::size_t node, int32_t end) const {
    std::array<bool, 4> linked{true, false, false, false};
    for (std::size_t port = 1; port < 4; ++port) {
        const int32_t child = childOn_[node][port];
        linked[port] = child >= 0 && child < end;
    }
    return DlStatus(bus_.nodes[node], linked);
}

int32_t SimController::VisibleNodes(Clock::time_point now) {
    // Nodes back on the bus leave the list, so that switching nodes off cannot grow it.
    std::erase_if(nodeOff_, [now](const NodeOff& off) { return off.until <= now; });
    return LineEnd(now);
}

int32_t SimController::LineEnd(Clock::time_point now) const {
    auto end = static_cast<int32_t>(bus_.nodes.size());
    for (const auto& off : nodeOff_) {
        if (off.until > now) end = std::min(end, off.node);
    }
    return end;
}

LineState SimController::Line(Clock::time_point now) const {
    return LineState{.nodes = SegmentNodes(now),
                     .lossPercent = line_.lossPercent,
                     .circulating = line_.circulating,
                     .secondMaster = line_.secondMaster,
                     .lossWay = line_.lossWay,
                     .delayMs = line_.delayMs,
                     .delayPercent = line_.delayPercent,
                     .secondMasterUnicast = line_.secondMasterUnicast};
}

std::vector<SegmentNode> SimController::SegmentNodes(Clock::time_point now) const {
    std::vector<SegmentNode> line;
    auto end = static_cast<std::size_t>(LineEnd(now));
    line.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        SegmentNode& s = line.emplace_back();
        s.device = bus_.nodes[i];
        s.dlStatus = NodeDlStatus(i, static_cast<int32_t>(end));
        s.emergencies = emergencies_[i].first;
        s.emergencyCodes = emergencies_[i].second;
        for (std::size_t reg = 0; reg < s.counters.size(); ++reg)
            s.counters[reg] = Counter(i, static_cast<int>(reg), now);
    }
    return line;
}

int32_t SimController::Counter(std::size_t node, int reg, Clock::time_point now) const {
    const Node& n = bus_.nodes[node];
    const auto r = static_cast<std::size_t>(reg);
    const double added = rises_.Added(node, r, now);
    // The 8-bit registers stop at FFH.
    if (reg >= kWindowRegisterCount)
        return static_cast<int32_t>(std::min(255.0, n.counters[r] + std::floor(added)));
    const auto port = static_cast<std::size_t>(kErrorRegisters[r].escPort);
    return SaturatedAdd(n.counters[r],
                        n.counterRate[port] * Seconds(rateStart_[node][port], now) + added);
}

int32_t SimController::LostCount(Clock::time_point now) const {
    return SaturatedAdd(bus_.lostCount, bus_.lostRate * Seconds(lostStart_, now));
}

void SimController::RebaseCounters(std::size_t node, int port, Clock::time_point now) {
    for (int reg = 0; reg < kWindowRegisterCount; ++reg)
        if (kErrorRegisters[static_cast<std::size_t>(reg)].escPort == port)
            bus_.nodes[node].counters[static_cast<std::size_t>(reg)] = Counter(node, reg, now);
    rateStart_[node][port] = now;
}

void SimController::RebaseLost(Clock::time_point now) {
    bus_.lostCount = LostCount(now);
    lostStart_ = now;
}

NodeValue SimController::NodeItem(int32_t node, int32_t item, Clock::time_point now) {
    const Node& n = At(node);
    switch (item) {
        case kItemVendorId:
            return n.vendorId;
        case kItemDeviceId:
            return n.deviceId;
        case kItemRevision:
            // Bus files without one keep the refusal they always had.
            if (!n.revisionGiven) return server::Refusal{kBadArgument, "no such item"};
            return n.revision;
        case kItemSwitchNo:
            return n.switchNo;
        case kItemInputCount:
            return n.inputCount;
        case kItemOutputCount:
            return n.outputCount;
        case kItemAdCount:
            return n.adCount;
        case kItemDaCount:
            return n.daCount;
        default:
            break;
    }
    if (IsErrorRegisterItem(item))
        return Counter(static_cast<std::size_t>(node), item - kItemRegister300H, now);
    // The language asks no other item: the DL status bytes are all that is left.
    const uint16_t dl = NodeDlStatus(static_cast<std::size_t>(node), LineEnd(now));
    return item == kItemDlStatus ? dl & 0xFF : dl >> 8;
}

std::string SimController::Report(Clock::time_point now) {
    const int32_t visible = VisibleNodes(now);
    std::string report = "EtherCAT master 0: state ";
    report += visible == static_cast<int32_t>(bus_.nodes.size()) ? "OP" : "SAFEOP";
    report += ".\r\nNodes:" + std::to_string(visible) + " of " + std::to_string(bus_.nodes.size()) +
              "\r\nCycle:1000us\r\nLostcount:" + std::to_string(LostCount(now)) + ".\r\n";
    return report;
}

NodeValue SimController::SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t) {
    const Node& n = At(node);
    if (n.axisCount == 0) return server::Refusal{kSdoFailed, "SDO read failed, node has no drive"};
    if (index != kStatusWordObject || subindex != 0)
        return server::Refusal{kSdoFailed, "SDO read failed, no object"};
    return n.statusWord;
}

}  // namespace kestrum::sim
