// The clock watch and check poll by, and a wait on it that Ctrl-C cuts short.
#pragma once

#include <chrono>

namespace pelvane::cli {

using PollClock = std::chrono::steady_clock;

// Waits in short naps, so an InterruptGuard's Ctrl-C is seen at once; false when it came.
bool SleepUntil(PollClock::time_point when);

}  // namespace pelvane::cli
