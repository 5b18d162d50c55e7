#include "cli/poll_pacing.h"

#include <algorithm>
#include <thread>

#include "cli/platform.h"

namespace pelvane::cli {

bool SleepUntil(PollClock::time_point when) {
    constexpr auto kNap = std::chrono::milliseconds(50);
    while (!Interrupted()) {
        const auto now = PollClock::now();
        if (now >= when) return true;
        std::this_thread::sleep_for(std::min<PollClock::duration>(when - now, kNap));
    }
    return false;
}

}  // namespace pelvane::cli
