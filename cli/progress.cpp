#include "cli/progress.h"

namespace pelvane::cli {

Progress::~Progress() {
    if (drawn_) io_.err << "\r\x1b[K" << std::flush;
}

void Progress::Show(int64_t done, int64_t total, const char* unit) {
    if (!io_.errIsTerminal) return;
    io_.err << "\r\x1b[K" << what_ << ": " << done << " of " << total << " " << unit << std::flush;
    drawn_ = true;
}

}  // namespace pelvane::cli
