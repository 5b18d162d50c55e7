// check: the diagnosis polled for a while, after the bus is compared with a reference.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/bus_report.h"
#include "cli/command_options.h"
#include "cli/commands.h"
#include "cli/line_picture.h"
#include "cli/link.h"
#include "cli/platform.h"
#include "cli/poll_pacing.h"
#include "cli/progress.h"
#include "cli/snapshot.h"
#include "cli/text_format.h"
#include "cli/watch_session.h"
#include "cli/watch_view.h"

namespace pelvane::cli {

namespace {

// Reads the live bus as a snapshot and says how it differs from reference's, places on the
// tree included; none when the link failed (said on io.err).
std::optional<bool> CompareWithReference(const Snapshot& reference, const std::string& path,
                                         const std::string& address, const CliIo& io) {
    if (reference.address != address)
        io.err << "pelvane-cli: warning: " << path << " was taken of "
               << Printable(reference.address) << ", not of " << address << "\n";
    Snapshot live;
    if (ReadSnapshot(address, io, &live) != kExitOk) return std::nullopt;
    const std::vector<BusChange> changes = SnapshotChanges(reference, live);
    io.out << BusReport(changes, reference.nodes.size(), live.nodes.size()) << std::flush;
    return BusDiffers(changes);
}

// Polls until the deadline; false once the link failed.
bool PollUntil(WatchSession& session, double durationS, int intervalMs, Progress& progress,
               const CliIo& io) {
    const auto start = PollClock::now();
    const auto deadline = start + std::chrono::duration_cast<PollClock::duration>(
                                      std::chrono::duration<double>(durationS));
    auto next = start;
    for (;;) {
        SleepUntil(next);
        if (!session.PollOnce(io)) return false;
        const auto now = PollClock::now();
        progress.Show(std::chrono::duration_cast<std::chrono::seconds>(now - start).count(),
                      static_cast<int64_t>(durationS), "s");
        if (now >= deadline) return true;
        next = std::min(std::max(next + std::chrono::milliseconds(intervalMs), now), deadline);
    }
}

class CheckCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub = AddAddressedSubcommand(
            app, "check", "watch for a while; exit 3 if errors rose, 4 if the bus differs",
            address_);
        sub->add_option("--duration", durationS_, "seconds to watch")
            ->required()
            ->check(CLI::Range(0.0, 1e6));
        AddIntervalOption(*sub, intervalMs_);
        sub->add_option("--reference", referencePath_,
                        "a snapshot of the bus as it should be, compared before watching");
        sub->add_flag("-v,--verbose", verbose_,
                      "also name where the nodes' DL status does not fit one tree");
        return sub;
    }

    ExitCode Run(const CliIo& io) const override {
        std::optional<Snapshot> reference;
        if (!referencePath_.empty() && !(reference = LoadSnapshot(referencePath_, io)))
            return kExitUsage;
        ControllerLink link;
        if (const ExitCode code = link.Open(address_, io); code != kExitOk) return code;
        bool busDiffers = false;
        if (reference) {
            const std::optional<bool> differs =
                CompareWithReference(*reference, referencePath_, address_, io);
            if (!differs) return kExitLinkFailed;
            busDiffers = *differs;
        }
        WatchSession session(address_);
        // A failure is said once the progress line is gone, not written onto it.
        std::ostringstream failure;
        bool polled = false;
        {
            Progress progress(io, "checking " + address_);
            polled = PollUntil(session, durationS_, intervalMs_, progress,
                               CliIo{io.out, failure, io.outIsTerminal, io.errIsTerminal});
        }
        io.err << failure.str();
        if (!polled) return kExitLinkFailed;
        io.out << WatchSummary(session, LineStyle{OutputIsUtf8(), io.outIsTerminal}, verbose_);
        if (busDiffers) return kExitBusDiffers;
        return VerdictExit(session.Judge());
    }

  private:
    std::string address_;
    std::string referencePath_;  // empty: nothing to compare with
    double durationS_ = 0;
    int intervalMs_ = kDefaultIntervalMs;
    bool verbose_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeCheckCommand() {
    return std::make_unique<CheckCommand>();
}

}  // namespace pelvane::cli
