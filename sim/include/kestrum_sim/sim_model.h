// The simulated controller as a thread beside the links reads it: the model the command
// language asks, and the line its segment plays.
#pragma once

#include "kestrum/server/controller_model.h"
#include "kestrum_sim/line.h"

namespace kestrum::sim {

using server::Clock;

class SimModel : public server::ControllerModel {
  public:
    // The line as a frame sent round it now finds it: a node switched off ends it there,
    // as it ends ?NODE_COUNT.
    virtual LineState Line(Clock::time_point now) const = 0;
};

}  // namespace kestrum::sim
