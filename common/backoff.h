// The wait between tries at something that keeps failing: it doubles after each failure
// up to a limit, and starts over after a success, so that a long outage costs little and
// a short one is over soon.
#pragma once

#include <algorithm>
#include <chrono>

namespace common {

class Backoff {
  public:
    using Millis = std::chrono::milliseconds;

    constexpr Backoff(Millis first, Millis last) : first_(first), last_(last), next_(first) {}

    // The wait before the next try; the one after it is twice as long.
    Millis Next() {
        const Millis wait = next_;
        next_ = std::min(next_ * 2, last_);
        return wait;
    }
    void Reset() { next_ = first_; }

  private:
    Millis first_, last_, next_;
};

}  // namespace common
