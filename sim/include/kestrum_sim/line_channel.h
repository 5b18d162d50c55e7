// A channel to an emulated line in the same process, for tests and benchmarks: the nodes
// act on a frame the moment it is sent. Receive hands out replies in the order they come
// due and waits, up to its timeout, only while a held one is not yet due; with none held
// it returns at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "ecat/raw_link.h"
#include "kestrum_sim/line.h"

namespace kestrum::sim {

class LineChannel final : public kestrum::ecat::FrameChannel {
  public:
    // Asked once for every frame sent.
    using StateSource = std::function<LineState()>;
    explicit LineChannel(StateSource source, uint32_t seed = 1);
    ~LineChannel() override;

    bool Send(std::span<const uint8_t> frame) override;
    std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) override;

    // Frames the line lost either way, and replies it held back, since it was made.
    uint64_t framesLost() const;
    uint64_t repliesHeld() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::sim
