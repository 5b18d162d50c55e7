#include "cli/watch_session.h"

#include "cli/link.h"

namespace pelvane::cli {

bool WatchSession::PollOnce(const CliIo& io) {
    const auto now = std::chrono::steady_clock::now();
    if (polls() == 0) first_ = now;
    last_ = now;
    if (session_.PollOnce()) return true;
    io.err << "pelvane-cli: " << address_ << ": " << StatusText(session_.lastStatus()) << "\n";
    return false;
}

}  // namespace pelvane::cli
