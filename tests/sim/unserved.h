// A simulator that never serves, on a clock the test moves: commands run as the server's
// Control runs them, and the line read as the segment reads it.
#pragma once

#include <string>
#include <utility>

#include "kestrum_sim/simulator.h"

namespace kestrum::sim::testing {

class Unserved {
  public:
    using Clock = kestrum::server::Clock;

    explicit Unserved(kestrum::sim::Bus bus, Clock::time_point start = Clock::now())
        : sim_(std::move(bus), {}, {}, start) {}

    kestrum::server::Outcome Run(const std::string& command, Clock::time_point now) {
        return sim_.responder().Answer(kestrum::server::kNoLink, command, now).outcome;
    }
    kestrum::sim::LineState Line(Clock::time_point now) {
        return sim_.WithModel([now](kestrum::sim::SimModel& model) { return model.Line(now); });
    }

  private:
    kestrum::sim::Simulator sim_;
};

}  // namespace kestrum::sim::testing
