// The gateway's scan loop on a line that loses frames, and while a slow, large SII is
// read: what it serves, sampled every millisecond.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "kestrum_sim/segment_server.h"
#include "kestrum_sim/simulator.h"

namespace pelvane::bench {

struct LossSettings {
    std::string masterInterface;
    std::size_t busNodes = 0;
    std::chrono::milliseconds runFor{5000};  // at each share of frames lost
    std::chrono::milliseconds cycle{10};
};

// How often what is served is sampled.
inline constexpr std::chrono::milliseconds kServedSamplePeriod{1};

// Runs an @SIM command; false, saying why, unless it answered OK.
bool SimCommand(kestrum::sim::Simulator& simulator, const std::string& command);

// At 0, 5, 10 and 20 % of frames lost: how much of the time the bus is served whole, the
// oldest counters served, and the Lostcount against the frames the segment dropped.
// False when it could not run.
bool TimeLossyLine(kestrum::sim::Simulator& simulator, const kestrum::sim::SegmentServer& segment,
                   const LossSettings& settings);

// The served scan's age while a node's emulated EEPROM (3 ms a read) with about 400 words
// of PDOs is read by a loop that starts afresh. False when it could not run.
bool TimeLargeSiiRead(kestrum::sim::Simulator& simulator, const LossSettings& settings);

}  // namespace pelvane::bench
