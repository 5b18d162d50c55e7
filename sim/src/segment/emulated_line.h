// A line of emulated EtherCAT slave controllers answering frames the way a real segment
// does: each frame enters node 0 at port 0, passes every node's processing unit and
// comes back from the last one. Frames are untrusted: any bytes at all get a reply or
// none, never more work than the frame's own length.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "ecat/frame.h"
#include "ecat/raw_link.h"
#include "sim/src/machine.h"
#include "sim/src/segment/esc.h"

namespace kestrum::sim {

// What the simulator holds for the segment at one moment.
struct LineState {
    std::vector<SegmentNode> nodes;  // in line order, ended at the first node off
    double lossPercent = 0.0;        // of frames the line loses (0..100)
    bool circulating = false;        // replies come back with the circulating bit
    bool secondMaster = false;       // another master sends frames onto the line
};

class EmulatedLine {
  public:
    explicit EmulatedLine(uint32_t seed = 1);

    // The frame as it comes back, or none: lost, undecodable, or no node to return it.
    // A node that is new or another device at its place starts from power-up state;
    // the others keep what was written to them.
    std::optional<std::vector<uint8_t>> Answer(std::span<const uint8_t> request,
                                               const LineState& state);

  private:
    bool Lost(double percent);
    void Refresh(const std::vector<SegmentNode>& nodes);
    void Pass(EmulatedEsc& esc, pelvane::ecat::Datagram& datagram);

    std::vector<EmulatedEsc> escs_;
    std::minstd_rand random_;
    std::vector<uint8_t> scratch_;
};

// A channel to an emulated line in the same process, for tests and benchmarks: a reply
// is queued the moment its frame is sent, so Receive never waits.
class LineChannel final : public pelvane::ecat::FrameChannel {
  public:
    using StateSource = std::function<LineState()>;
    explicit LineChannel(StateSource source, uint32_t seed = 1);

    bool Send(std::span<const uint8_t> frame) override;
    std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) override;

  private:
    StateSource source_;
    EmulatedLine line_;
    std::deque<std::vector<uint8_t>> replies_;
};

}  // namespace kestrum::sim
