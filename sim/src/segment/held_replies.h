// Replies on their way back to the master, each due at its own time: a reply held back
// by a stalled host or a slow line arrives after those sent later but on time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kestrum::sim {

class HeldReplies {
  public:
    using SteadyClock = std::chrono::steady_clock;

    // More than capacity are dropped, as a full receive ring drops them.
    explicit HeldReplies(std::size_t capacity) : capacity_(capacity) {}

    // False when dropped.
    bool Push(SteadyClock::time_point due, std::vector<uint8_t> reply);
    // When the first reply comes due; none when none is held.
    std::optional<SteadyClock::time_point> NextDue() const;
    // The first reply due by now: in the order they come due, and those due together in
    // the order they were pushed.
    std::optional<std::vector<uint8_t>> PopDue(SteadyClock::time_point now);

  private:
    struct Held {
        SteadyClock::time_point due;
        std::vector<uint8_t> reply;
    };

    std::size_t capacity_;
    std::deque<Held> held_;  // by due time
};

}  // namespace kestrum::sim
