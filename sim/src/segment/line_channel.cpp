#include "kestrum_sim/line_channel.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "sim/src/segment/emulated_line.h"
#include "sim/src/segment/held_replies.h"

namespace kestrum::sim {
namespace {

// Replies a master has not fetched; more are dropped, as a full receive ring drops them.
constexpr std::size_t kMaxQueuedReplies = 64;

}  // namespace

struct LineChannel::Impl {
    Impl(StateSource s, uint32_t seed)
        : source(std::move(s)), line(seed), replies(kMaxQueuedReplies) {}

    StateSource source;
    EmulatedLine line;
    HeldReplies replies;
};

LineChannel::LineChannel(StateSource source, uint32_t seed)
    : impl_(std::make_unique<Impl>(std::move(source), seed)) {}

LineChannel::~LineChannel() = default;

bool LineChannel::Send(std::span<const uint8_t> frame) {
    if (frame.size() > ecat::kMaxFrameBytes) return false;  // as an interface refuses it
    const LineState state = impl_->source();
    auto reply = impl_->line.Answer(frame, state);
    if (reply) {
        const auto due = std::chrono::steady_clock::now() + impl_->line.HeldFor(state);
        impl_->replies.Push(due, std::move(*reply));
    }
    return true;
}

std::optional<std::vector<uint8_t>> LineChannel::Receive(std::chrono::microseconds timeout) {
    const auto next = impl_->replies.NextDue();
    if (!next) return std::nullopt;
    const auto deadline =
        std::chrono::steady_clock::now() + std::max(timeout, std::chrono::microseconds::zero());
    if (*next > deadline) {
        std::this_thread::sleep_until(deadline);
        return std::nullopt;
    }
    std::this_thread::sleep_until(*next);
    return impl_->replies.PopDue(*next);
}

uint64_t LineChannel::framesLost() const {
    return impl_->line.framesLost();
}

uint64_t LineChannel::repliesHeld() const {
    return impl_->line.repliesHeld();
}

}  // namespace kestrum::sim
