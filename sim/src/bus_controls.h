// What the @SIM commands may change in the simulated controller, and all they read of it:
// the commands check their words, the controller keeps its state whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kestrum/server/controller_model.h"
#include "kestrum_sim/line.h"

namespace kestrum::sim {

using server::Clock;

// How the segment's line loses, holds and marks frames; see LineState.
struct LineFaults {
    double lossPercent = 0.0;
    LossWay lossWay = LossWay::kBoth;
    int32_t delayMs = 0;
    double delayPercent = 100.0;
    bool circulating = false;
    bool secondMaster = false;
    bool secondMasterUnicast = false;
};

// Faults on the bus's tree whose rates move the counters around them.
enum class TreeFault { kCable, kProcessingUnit, kPdi };

class BusControls {
  public:
    virtual ~BusControls() = default;

    // The nodes the bus holds, on the line or switched off; the others take node numbers
    // below it only.
    virtual std::size_t NodesOnBus() const = 0;
    // Every fault off; what the counters and the lost count counted so far stays.
    virtual void Reset(Clock::time_point now) = 0;
    // From now on registers 300H + 2 x port and the next rise rate per second (port 0, 1).
    virtual void SetCounterRate(std::size_t node, int port, double rate, Clock::time_point now) = 0;
    virtual void SetLostRate(double rate, Clock::time_point now) = 0;
    // The node, and every node behind it on the line, off until then.
    virtual void SwitchOff(int32_t node, Clock::time_point until) = 0;
    // A node field by the name a bus file gives it, from its text; false when the name is
    // unknown or the value does not fit, and then nothing changes.
    virtual bool SetField(std::size_t node, std::string_view name, std::string_view text,
                          Clock::time_point now) = 0;
    // The fault's rate per second on node from now on, replacing the one before.
    virtual void SetFaultRate(std::size_t node, TreeFault fault, double rate,
                              Clock::time_point now) = 0;
    // The link on the node's slave-controller port (0..3) lost count times.
    virtual void FlapLink(std::size_t node, std::size_t escPort, int32_t count) = 0;
    virtual void SetAl(std::size_t node, int32_t state, int32_t code, bool error,
                       bool deviceId) = 0;
    // False for a node without a mailbox to send it through.
    virtual bool RaiseEmergency(std::size_t node, uint16_t code) = 0;
    virtual LineFaults& lineFaults() = 0;
    // index must be one the table holds.
    virtual void SetTableValue(int32_t index, float value) = 0;
};

}  // namespace kestrum::sim
