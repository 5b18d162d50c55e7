// The faults that follow the bus's tree: a bad cable, a port that loses its link, a node's
// own processing-unit and PDI errors. They move the counters as slave controllers move
// them, so that a verdict can be checked against where the fault was put.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "sim/src/sim_controller.h"

namespace kestrum::sim {
namespace {

// Registers as offsets from 300H.
constexpr std::size_t kInvalidFrames = 0x00;  // + 2 x port
constexpr std::size_t kRxErrors = 0x01;       // + 2 x port
constexpr std::size_t kForwarded = 0x08;      // + port
constexpr std::size_t kProcessingUnit = 0x0C;
constexpr std::size_t kPdi = 0x0D;
constexpr std::size_t kLostLinks = 0x10;  // + port

}  // namespace

void SimController::SetFaultRate(std::size_t node, TreeFault fault, double rate,
                                 Clock::time_point now) {
    const auto kind = static_cast<std::size_t>(fault);
    const double delta = rate - faultRate_[node][kind];
    faultRate_[node][kind] = rate;
    if (fault == TreeFault::kCable)
        CableShare(node, delta, now);
    else
        rises_.AddRate(node, fault == TreeFault::kProcessingUnit ? kProcessingUnit : kPdi, delta,
                       now);
}

// The cable into node: frames going out reach it broken at its port 0, frames coming back
// reach its parent broken at the port the cable ends on. Every slave controller counts a
// broken frame it receives in its processing-unit counter too; the nodes after it see the
// frame marked, as a forwarded error on their receiving port.
void SimController::CableShare(std::size_t node, double delta, Clock::time_point now) {
    for (const std::size_t reg : {kInvalidFrames, kRxErrors, kProcessingUnit})
        rises_.AddRate(node, reg, delta, now);
    if (node > 0) {
        const Upstream up = UpstreamOf(bus_.nodes, node);
        const auto parent = static_cast<std::size_t>(up.node);
        const auto port = static_cast<std::size_t>(up.escPort);
        rises_.AddRate(parent, kInvalidFrames + 2 * port, delta, now);
        rises_.AddRate(parent, kRxErrors + 2 * port, delta, now);
    }
    for (std::size_t after = node + 1; after < bus_.nodes.size(); ++after) {
        rises_.AddRate(after, kForwarded, delta, now);
        rises_.AddRate(after, kProcessingUnit, delta, now);
    }
}

// Both ends of the cable on that port lose their link; the frames on the line meanwhile
// are lost, one a flap.
void SimController::FlapLink(std::size_t node, std::size_t escPort, int32_t count) {
    auto lose = [count](int32_t& lost) { lost = std::min(0xFF, lost + count); };
    lose(bus_.nodes[node].counters304H[kLostLinks + escPort - 4]);
    if (escPort == 0 && node > 0) {
        const Upstream up = UpstreamOf(bus_.nodes, node);
        lose(bus_.nodes[static_cast<std::size_t>(up.node)]
                 .counters304H[kLostLinks + static_cast<std::size_t>(up.escPort) - 4]);
    } else if (escPort > 0) {
        const int32_t child = childOn_[node][escPort];
        if (child >= 0)
            lose(bus_.nodes[static_cast<std::size_t>(child)].counters304H[kLostLinks - 4]);
    }
    bus_.lostCount = static_cast<int32_t>(
        std::min<int64_t>(int64_t{bus_.lostCount} + count, std::numeric_limits<int32_t>::max()));
}

}  // namespace kestrum::sim
