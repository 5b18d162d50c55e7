// A line of emulated EtherCAT slave controllers answering frames the way a real segment
// does: each frame enters node 0 at port 0, passes every node's processing unit and
// comes back from the last one. Frames are untrusted: any bytes at all get a reply or
// none, never more work than the frame's own length.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "ecat/frame.h"
#include "kestrum_sim/line.h"
#include "sim/src/segment/esc.h"

namespace kestrum::sim {

class EmulatedLine {
  public:
    explicit EmulatedLine(uint32_t seed = 1);

    // The frame as it comes back, or none: lost, undecodable, or no node to return it.
    // A node that is new or another device at its place starts from power-up state;
    // the others keep what was written to them.
    std::optional<std::vector<uint8_t>> Answer(std::span<const uint8_t> request,
                                               const LineState& state);
    // How long the reply Answer just gave is held back: delayMs for delayPercent of them.
    std::chrono::milliseconds HeldFor(const LineState& state);

    // Frames lost either way, and replies held back, since the line was made.
    uint64_t framesLost() const { return framesLost_; }
    uint64_t repliesHeld() const { return repliesHeld_; }

  private:
    bool Chance(double percent);
    std::optional<LossWay> LostWay(const LineState& state);
    void Refresh(const std::vector<SegmentNode>& nodes);
    void Pass(EmulatedEsc& esc, ecat::Datagram& datagram);

    std::vector<EmulatedEsc> escs_;
    std::minstd_rand random_;
    std::vector<uint8_t> scratch_;
    uint64_t framesLost_ = 0;
    uint64_t repliesHeld_ = 0;
};

}  // namespace kestrum::sim
