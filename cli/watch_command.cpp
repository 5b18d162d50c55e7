// watch: the diagnosis polled live, until a count or Ctrl-C, with the verdict.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <string>

#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/line_picture.h"
#include "cli/link.h"
#include "cli/platform.h"
#include "cli/poll_pacing.h"
#include "cli/watch_session.h"
#include "cli/watch_view.h"

namespace pelvane::cli {

namespace {

void Show(const WatchSession& session, int intervalMs, ChangeLines& lines, const CliIo& io) {
    if (io.outIsTerminal)
        io.out << TerminalFrame(session, intervalMs) << std::flush;
    else
        io.out << lines.Next(session, std::chrono::system_clock::now()) << std::flush;
}

class WatchCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub =
            AddAddressedSubcommand(app, "watch", "the diagnosis live, with a verdict", address_);
        AddIntervalOption(*sub, intervalMs_);
        sub->add_option("--count", count_, "polls before it ends (default: until Ctrl-C)")
            ->check(CLI::PositiveNumber);
        return sub;
    }

    ExitCode Run(const CliIo& io) const override {
        ControllerLink link;
        if (const ExitCode code = link.Open(address_, io); code != kExitOk) return code;
        InterruptGuard guard;
        WatchSession session(address_);
        ChangeLines lines;
        if (io.outIsTerminal) io.out << "\x1b[2J";
        const auto interval = std::chrono::milliseconds(intervalMs_);
        auto next = PollClock::now();
        for (int64_t n = 0; count_ == 0 || n < count_; ++n) {
            if (n > 0 && !SleepUntil(next)) break;
            if (!session.PollOnce(io)) return kExitLinkFailed;
            Show(session, intervalMs_, lines, io);
            // A poll slower than the interval is followed at once, never by a burst.
            next = std::max(next + interval, PollClock::now());
            if (Interrupted()) break;
        }
        io.out << WatchSummary(session, LineStyle{OutputIsUtf8(), io.outIsTerminal});
        // Rising counters are what a watch shows; a line that broke under it is a fault.
        return session.Judge().nodeCounts.broken() ? kExitErrorsFound : kExitOk;
    }

  private:
    std::string address_;
    int intervalMs_ = kDefaultIntervalMs;
    int64_t count_ = 0;  // 0: until Ctrl-C
};

}  // namespace

std::unique_ptr<Command> MakeWatchCommand() {
    return std::make_unique<WatchCommand>();
}

}  // namespace pelvane::cli
