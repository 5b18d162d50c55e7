// The faults that follow the bus's tree: a bad cable, a port that loses its link, a node's
// own processing-unit and PDI errors. They move the counters as slave controllers move
// them, so that a verdict can be checked against where the fault was put.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "kestrum/language/error_registers.h"
#include "sim/src/sim_controller.h"

namespace kestrum::sim {
namespace {

using language::ErrorKind;

// The register of that kind and port, as an offset from 300H.
constexpr std::size_t Reg(ErrorKind kind, int escPort = language::kNoEscPort) {
    return static_cast<std::size_t>(language::ErrorRegisterOf(kind, escPort));
}

}  // namespace

void SimController::SetFaultRate(std::size_t node, TreeFault fault, double rate,
                                 Clock::time_point now) {
    const auto kind = static_cast<std::size_t>(fault);
    const double delta = rate - faultRate_[node][kind];
    faultRate_[node][kind] = rate;
    if (fault == TreeFault::kCable)
        CableShare(node, delta, now);
    else
        rises_.AddRate(node,
                       Reg(fault == TreeFault::kProcessingUnit ? ErrorKind::kProcessingUnit
                                                                : ErrorKind::kPdi),
                       delta, now);
}

// The cable into node: frames going out reach it broken at its port 0, frames coming back
// reach its parent broken at the port the cable ends on. Every slave controller counts a
// broken frame it receives in its processing-unit counter too; the nodes after it see the
// frame marked, as a forwarded error on their receiving port.
void SimController::CableShare(std::size_t node, double delta, Clock::time_point now) {
    for (const std::size_t reg : {Reg(ErrorKind::kInvalidFrame, 0), Reg(ErrorKind::kRxError, 0),
                                  Reg(ErrorKind::kProcessingUnit)})
        rises_.AddRate(node, reg, delta, now);
    if (node > 0) {
        const Upstream up = UpstreamOf(bus_.nodes, node);
        const auto parent = static_cast<std::size_t>(up.node);
        rises_.AddRate(parent, Reg(ErrorKind::kInvalidFrame, up.escPort), delta, now);
        rises_.AddRate(parent, Reg(ErrorKind::kRxError, up.escPort), delta, now);
    }
    for (std::size_t after = node + 1; after < bus_.nodes.size(); ++after) {
        rises_.AddRate(after, Reg(ErrorKind::kForwarded, 0), delta, now);
        rises_.AddRate(after, Reg(ErrorKind::kProcessingUnit), delta, now);
    }
}

// Both ends of the cable on that port lose their link; the frames on the line meanwhile
// are lost, one a flap.
void SimController::FlapLink(std::size_t node, std::size_t escPort, int32_t count) {
    auto lose = [count](int32_t& lost) { lost = std::min(0xFF, lost + count); };
    lose(bus_.nodes[node].counters[Reg(ErrorKind::kLostLink, static_cast<int>(escPort))]);
    if (escPort == 0 && node > 0) {
        const Upstream up = UpstreamOf(bus_.nodes, node);
        lose(bus_.nodes[static_cast<std::size_t>(up.node)]
                 .counters[Reg(ErrorKind::kLostLink, up.escPort)]);
    } else if (escPort > 0) {
        const int32_t child = childOn_[node][escPort];
        if (child >= 0)
            lose(
                bus_.nodes[static_cast<std::size_t>(child)].counters[Reg(ErrorKind::kLostLink, 0)]);
    }
    bus_.lostCount = static_cast<int32_t>(
        std::min<int64_t>(int64_t{bus_.lostCount} + count, std::numeric_limits<int32_t>::max()));
}

}  // namespace kestrum::sim
