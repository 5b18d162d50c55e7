// What faults on the tree add to a node's counters over time: each fault gives some of the
// registers 300H..313H a rate, and a fault set again replaces its share.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "kestrum/language/error_registers.h"
#include "kestrum/server/controller_model.h"

namespace kestrum::sim {

class FaultRates {
  public:
    using Clock = server::Clock;

    explicit FaultRates(std::size_t nodes) : rises_(nodes) {}

    // What the rates have added to register 300H + reg of node by now.
    double Added(std::size_t node, std::size_t reg, Clock::time_point now) const;
    // From now on the register rises delta per second faster, keeping what it has risen.
    void AddRate(std::size_t node, std::size_t reg, double delta, Clock::time_point now);
    // The register was set: it rises from its new value.
    void Restart(std::size_t node, std::size_t reg, Clock::time_point now);
    // Every rate 0, what has risen kept.
    void Stop(Clock::time_point now);

  private:
    struct Rise {
        double perSecond = 0.0;
        double risen = 0.0;  // up to since
        Clock::time_point since{};
    };
    std::vector<std::array<Rise, language::kErrorRegisterCount>> rises_;
};

}  // namespace kestrum::sim
