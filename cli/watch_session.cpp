#include "watch_session.h"

#include "link.h"

namespace pelvane::cli {

bool WatchSession::PollOnce(const CliIo& io) {
    const auto now = std::chrono::steady_clock::now();
    if (polls_ == 0) first_ = now;
    last_ = now;
    lostcountText_ = poll_.Poll(table_);
    if (!poll_.linkAnswered()) {
        io.err << "pelvane-cli: " << address_ << ": " << StatusText(poll_.lastStatus()) << "\n";
        return false;
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
