// The simulated bus as its EtherCAT segment plays it at one moment: the nodes a frame
// sent round the line reaches, and how the line loses, holds and marks frames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

// A node as the line holds it at one moment, for what answers frames on the segment.
struct SegmentNode {
    Node device;                       // as the bus file and @SIM commands made it
    ErrorRegisters counters{};         // 300H..313H now, as ?NODE_INFO prints them
    std::optional<uint16_t> dlStatus;  // unset: as on a plain line
    // CoE emergencies raised on the node so far, and the latest codes by that count
    // modulo their number: a node that sees the count rise queues the new ones.
    uint32_t emergencies = 0;
    std::array<uint16_t, 4> emergencyCodes{};
};

// Which way a frame the segment loses goes missing.
enum class LossWay { kBoth, kOut, kBack };

// What the simulator holds for the segment at one moment.
struct LineState {
    std::vector<SegmentNode> nodes;  // in line order, ended at the first node off
    double lossPercent = 0.0;        // of frames the line loses (0..100)
    bool circulating = false;        // replies come back with the circulating bit
    bool secondMaster = false;       // another master sends frames onto the line
    // kOut: no node sees a lost frame; kBack: every node acts on it, the reply is lost;
    // kBoth: either, at random.
    LossWay lossWay = LossWay::kBoth;
    int32_t delayMs = 0;               // how late a held reply comes back
    double delayPercent = 100.0;       // of replies held back, when delayMs is not 0
    bool secondMasterUnicast = false;  // its frames go to a unicast address
};

}  // namespace kestrum::sim
