// watch and check: the diagnosis polled over time, with the verdict.
#include <chrono>
#include <sstream>
#include <thread>

#include "bus_check.h"
#include "commands.h"
#include "line_picture.h"
#include "link.h"
#include "platform.h"
#include "progress.h"
#include "text_format.h"
#include "watch_session.h"
#include "watch_view.h"

namespace pelvane::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Short naps, so Ctrl-C is seen at once; false when it came.
bool SleepUntil(Clock::time_point when) {
    constexpr auto kNap = std::chrono::milliseconds(50);
    while (!Interrupted()) {
        const auto now = Clock::now();
        if (now >= when) return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(when - now, kNap));
    }
    return false;
}

void Show(const WatchSession& session, int intervalMs, ChangeLines& lines, const CliIo& io) {
    if (io.outIsTerminal)
        io.out << TerminalFrame(session, intervalMs) << std::flush;
    else
        io.out << lines.Next(session, std::chrono::system_clock::now()) << std::flush;
}

// Reads the live bus's identities and says how they differ from reference's; none when
// the link failed (said on io.err).
std::optional<bool> CompareWithReference(const Snapshot& reference, const std::string& path,
                                         const std::string& address, const CliIo& io) {
    if (reference.address != address)
        io.err << "pelvane-cli: warning: " << path << " was taken of "
               << Printable(reference.address) << ", not of " << address << "\n";
    std::vector<NodeSlotsRead> slotsRead;
    if (!ReadNodeTableOnLiveLink(address, io, &slotsRead)) return std::nullopt;
    std::vector<NodeIdentity> live;
    for (size_t i = 0; i < slotsRead.size(); ++i)
        live.push_back(IdentityOf(g_nodeTable[i], slotsRead[i]));
    const std::vector<BusChange> changes = CompareBuses(IdentitiesOf(reference), live);
    io.out << BusReport(changes, reference.nodes.size(), live.size()) << std::flush;
    return BusDiffers(changes);
}

// Polls until the deadline; false once the link failed.
bool PollUntil(WatchSession& session, double durationS, int intervalMs, Progress& progress,
               const CliIo& io) {
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(durationS));
    auto next = start;
    for (;;) {
        SleepUntil(next);
        if (!session.PollOnce(io)) return false;
        const auto now = Clock::now();
        progress.Show(std::chrono::duration_cast<std::chrono::seconds>(now - start).count(),
                      static_cast<int64_t>(durationS), "s");
        if (now >= deadline) return true;
        next = std::min(std::max(next + std::chrono::milliseconds(intervalMs), now), deadline);
    }
}

}  // namespace

ExitCode RunWatch(const std::string& address, int intervalMs, std::optional<int64_t> count,
                  const CliIo& io) {
    ControllerLink link;
    if (const ExitCode code = link.Open(address, io); code != kExitOk) return code;
    InterruptGuard guard;
    WatchSession session(address);
    ChangeLines lines;
    if (io.outIsTerminal) io.out << "\x1b[2J";
    const auto interval = std::chrono::milliseconds(intervalMs);
    auto next = Clock::now();
    for (int64_t n = 0; !count || n < *count; ++n) {
        if (n > 0 && !SleepUntil(next)) break;
        if (!session.PollOnce(io)) return kExitLinkFailed;
        Show(session, intervalMs, lines, io);
        // A poll slower than the interval is followed at once, never by a burst.
        next = std::max(next + interval, Clock::now());
        if (Interrupted()) break;
    }
    io.out << WatchSummary(session, LineStyle{OutputIsUtf8(), io.outIsTerminal});
    // Rising counters are what a watch shows; a line that broke under it is a fault.
    return session.Judge().line.broken() ? kExitErrorsFound : kExitOk;
}

ExitCode RunCheck(const std::string& address, double durationS, int intervalMs,
                  const std::string& referencePath, const CliIo& io) {
    std::optional<Snapshot> reference;
    if (!referencePath.empty() && !(reference = LoadSnapshot(referencePath, io))) return kExitUsage;
    ControllerLink link;
    if (const ExitCode code = link.Open(address, io); code != kExitOk) return code;
    bool busDiffers = false;
    if (reference) {
        const std::optional<bool> differs =
            CompareWithReference(*reference, referencePath, address, io);
        if (!differs) return kExitLinkFailed;
        busDiffers = *differs;
    }
    WatchSession session(address);
    // A failure is said once the progress line is gone, not written onto it.
    std::ostringstream failure;
    bool polled = false;
    {
        Progress progress(io, "checking " + address);
        polled = PollUntil(session, durationS, intervalMs, progress,
                           CliIo{io.out, failure, io.outIsTerminal, io.errIsTerminal});
    }
    io.err << failure.str();
    if (!polled) return kExitLinkFailed;
    io.out << WatchSummary(session, LineStyle{OutputIsUtf8(), io.outIsTerminal});
    if (busDiffers) return kExitBusDiffers;
    return session.Judge().clean() ? kExitOk : kExitErrorsFound;
}

}  // namespace pelvane::cli
