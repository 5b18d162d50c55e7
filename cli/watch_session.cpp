#include "watch_session.h"

#include "link.h"

namespace pelvane::cli {

bool WatchSession::PollOnce(const CliIo& io) {
    const auto now = std::chrono::steady_clock::now();
    if (polls_ == 0) first_ = now;
    last_ = now;
    lostcountText_ = poll_.Poll(table_);
    // The poll keeps going through failed queries, even through a controller that stopped
    // answering; one more question after it tells whether the poll's answers were real.
    if (!LinkHolds(address_, io)) return false;
    rises_.Take(poll_, table_);
    if (const std::optional<int32_t> lost = LostCountValue(lostcountText_)) {
        if (lostCount_) lostRise_ += LostCountRise(*lostCount_, *lost);
        lostCount_ = lost;
    }
    ++polls_;
    return true;
}

}  // namespace pelvane::cli
