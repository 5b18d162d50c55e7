// What the @SIM commands change in the simulated controller: rates that take over from
// what has counted so far, nodes off the line, fields set, AL states and emergencies.
#include <algorithm>
#include <array>

#include "kestrum/server/command_text.h"
#include "sim/src/sim_controller.h"

namespace kestrum::sim {

using server::ToInt;

void SimController::Reset(Clock::time_point now) {
    for (std::size_t n = 0; n < bus_.nodes.size(); ++n) {
        for (int port = 0; port < 2; ++port) {
            RebaseCounters(n, port, now);
            bus_.nodes[n].counterRate[port] = 0.0;
        }
    }
    RebaseLost(now);
    bus_.lostRate = 0.0;
    rises_.Stop(now);
    std::fill(faultRate_.begin(), faultRate_.end(), std::array<double, 3>{});
    nodeOff_.clear();
    line_ = {};
}

void SimController::SetCounterRate(std::size_t node, int port, double rate, Clock::time_point now) {
    RebaseCounters(node, port, now);
    bus_.nodes[node].counterRate[port] = rate;
}

void SimController::SetLostRate(double rate, Clock::time_point now) {
    RebaseLost(now);
    bus_.lostRate = rate;
}

void SimController::SwitchOff(int32_t node, Clock::time_point until) {
    // One entry per node, so repeating the command cannot grow the list.
    auto same = std::find_if(nodeOff_.begin(), nodeOff_.end(),
                             [&](const NodeOff& off) { return off.node == node; });
    if (same == nodeOff_.end()) {
        nodeOff_.push_back({node, until});
    } else {
        same->until = std::max(same->until, until);
    }
}

bool SimController::SetField(std::size_t node, std::string_view name, std::string_view text,
                             Clock::time_point now) {
    if (IsSegmentField(name)) return SetSegmentField(bus_.nodes[node], name, text, nullptr);
    auto value = ToInt<int32_t>(text);
    if (!value) return false;
    Node& n = bus_.nodes[node];
    if (const auto reg = NodeCounter(name)) {
        if (!CounterTakes(*reg, *value)) return false;
        const auto r = static_cast<std::size_t>(*reg);
        // A counter set while its port's rate runs rises from the new value.
        if (*reg < language::kWindowRegisterCount)
            RebaseCounters(node, language::kErrorRegisters[r].escPort, now);
        n.counters[r] = *value;
        rises_.Restart(node, r, now);
        return true;
    }
    int32_t* field = NodeField(n, name);
    if (!field) return false;
    *field = *value;
    n.revisionGiven |= field == &n.revision;
    return true;
}

void SimController::SetAl(std::size_t node, int32_t state, int32_t code, bool error,
                          bool deviceId) {
    Node& n = bus_.nodes[node];
    n.alState = state;
    n.alStatusCode = code;
    n.alError = error;
    n.alDeviceId = deviceId;
}

bool SimController::RaiseEmergency(std::size_t node, uint16_t code) {
    if (!bus_.nodes[node].coe) return false;
    auto& [count, codes] = emergencies_[node];
    codes[count % codes.size()] = code;
    ++count;
    return true;
}

}  // namespace kestrum::sim
