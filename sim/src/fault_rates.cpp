#include "sim/src/fault_rates.h"

#include <algorithm>
#include <chrono>

namespace kestrum::sim {
namespace {

double Risen(double perSecond, double risen, FaultRates::Clock::time_point since,
             FaultRates::Clock::time_point now) {
    if (now <= since) return risen;
    return risen + perSecond * std::chrono::duration<double>(now - since).count();
}

}  // namespace

double FaultRates::Added(std::size_t node, std::size_t reg, Clock::time_point now) const {
    const Rise& r = rises_[node][reg];
    return Risen(r.perSecond, r.risen, r.since, now);
}

void FaultRates::AddRate(std::size_t node, std::size_t reg, double delta, Clock::time_point now) {
    Rise& r = rises_[node][reg];
    r.risen = Risen(r.perSecond, r.risen, r.since, now);
    r.since = now;
    // Shares taken back to 0 may leave a rounding crumb below it.
    r.perSecond = std::max(0.0, r.perSecond + delta);
}

void FaultRates::Restart(std::size_t node, std::size_t reg, Clock::time_point now) {
    Rise& r = rises_[node][reg];
    r.risen = 0.0;
    r.since = now;
}

void FaultRates::Stop(Clock::time_point now) {
    for (auto& node : rises_) {
        for (Rise& r : node) {
            r.risen = Risen(r.perSecond, r.risen, r.since, now);
            r.since = now;
            r.perSecond = 0.0;
        }
    }
}

}  // namespace kestrum::sim
