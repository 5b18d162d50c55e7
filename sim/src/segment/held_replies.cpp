#include "sim/src/segment/held_replies.h"

#include <algorithm>
#include <utility>

namespace kestrum::sim {

bool HeldReplies::Push(SteadyClock::time_point due, std::vector<uint8_t> reply) {
    if (held_.size() >= capacity_) return false;
    // After every reply due at the same time or before.
    const auto at =
        std::upper_bound(held_.begin(), held_.end(), due,
                         [](SteadyClock::time_point t, const Held& h) { return t < h.due; });
    held_.insert(at, Held{due, std::move(reply)});
    return true;
}

std::optional<HeldReplies::SteadyClock::time_point> HeldReplies::NextDue() const {
    if (held_.empty()) return std::nullopt;
    return held_.front().due;
}

std::optional<std::vector<uint8_t>> HeldReplies::PopDue(SteadyClock::time_point now) {
    if (held_.empty() || held_.front().due > now) return std::nullopt;
    std::vector<uint8_t> reply = std::move(held_.front().reply);
    held_.pop_front();
    return reply;
}

}  // namespace kestrum::sim
