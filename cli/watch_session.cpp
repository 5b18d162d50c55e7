#include "watch_session.h"

#include "link.h"
#include "queries.h"

namespace pelvane::cli {

bool WatchSession::PollOnce(const CliIo& io) {
    const auto now = std::chrono::steady_clock::now();
    if (polls_ == 0) first_ = now;
    last_ = now;
    lostcountText_ = poll_.Poll(table_);
    if (lostcountText_.empty()) {
        // The poll keeps going through failed queries; only a dead link ends the watch.
        int32_t count = 0;
        const int32_t status = GetNodeCount(&count);
        if (LinkBroken(status)) {
            io.err << "pelvane-cli: " << address_ << ": " << StatusText(status) << "\n";
            return false;
        }
    }
    rises_.Take(poll_, table_);
    if (const std::optional<int32_t> lost = LostCountValue(lostcountText_)) {
        if (lostCount_) lostRise_ += LostCountRise(*lostCount_, *lost);
        lostCount_ = lost;
    }
    ++polls_;
    return true;
}

}  // namespace pelvane::cli
