// A channel to an emulated line in the same process whose replies a test may rewrite or
// drop on their way back.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "ecat/frame.h"
#include "ecat/raw_link.h"
#include "kestrum_sim/line_channel.h"

namespace kestrum::ecat {

// Passes frames to the line; a test may rewrite or drop each reply on its way back.
class TamperedChannel : public FrameChannel {
  public:
    explicit TamperedChannel(kestrum::sim::LineState& state) : line_([&state] { return state; }) {}
    bool Send(std::span<const uint8_t> frame) override {
        ++sent;
        largest = std::max(largest, frame.size());
        return line_.Send(frame);
    }
    std::size_t MaxFrameBytes() override { return maxFrame; }
    std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) override {
        auto reply = line_.Receive(timeout);
        if (reply && tamper) return tamper(*reply);
        return reply;
    }
    std::function<std::optional<std::vector<uint8_t>>(std::vector<uint8_t>&)> tamper;
    int sent = 0;
    std::size_t largest = 0;
    std::size_t maxFrame = kMaxFrameBytes;

  private:
    kestrum::sim::LineChannel line_;
};

}  // namespace kestrum::ecat
