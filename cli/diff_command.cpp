// diff: two snapshots compared: the bus itself, then the counters, with the verdict.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "cli/bus_report.h"
#include "cli/commands.h"
#include "cli/snapshot.h"
#include "cli/text_format.h"
#include "cli/watch_view.h"
#include "nodes/node_cells.h"
#include "nodes/registers.h"

namespace pelvane::cli {

namespace {

bool HasExtendedCounters(const BusReading& reading) {
    for (const CounterReadings& node : reading.counters)
        for (size_t reg = kCounterCount; reg < kRegisterCount; ++reg)
            if (node[reg]) return true;
    return false;
}

// Whether node's register is unread in reading, and whether read; a node past the end is
// neither.
std::pair<bool, bool> Unread(const BusReading& reading, size_t node, size_t reg) {
    if (node >= reading.counters.size()) return {false, false};
    const bool read = reading.counters[node][reg].has_value();
    return {!read, read};
}

// "  Node1 301H unread in NEW, not compared": values that one side lacks are not compared.
// Past 303H only a register one side read is listed; a side with none of them, as a
// format 1 file, is told once instead of for every register.
std::string UnreadLines(const BusReading& before, const BusReading& after) {
    const bool extendedBefore = HasExtendedCounters(before);
    const bool extendedAfter = HasExtendedCounters(after);
    std::string text;
    const size_t count = std::max(before.counters.size(), after.counters.size());
    for (size_t i = 0; i < count; ++i) {
        for (size_t k = 0; k < kRegisterCount; ++k) {
            const int reg = static_cast<int>(k);
            if (!RegisterIsCounter(reg)) continue;
            auto [old, readBefore] = Unread(before, i, k);
            auto [now, readAfter] = Unread(after, i, k);
            if (reg >= kCounterCount) {
                old = old && readAfter && extendedBefore;
                now = now && readBefore && extendedAfter;
            }
            if (!old && !now) continue;
            text += "  " + FormatNodeLabel(static_cast<int32_t>(i)) + " " + RegisterName(reg) +
                    " unread in " +
                    (old && now ? "both"
                     : old      ? "OLD"
                                : "NEW") +
                    ", not compared\n";
        }
    }
    if (extendedBefore != extendedAfter && !before.counters.empty() && !after.counters.empty())
        text += std::string("  counters past 303H: none in ") + (extendedBefore ? "NEW" : "OLD") +
                ", not compared\n";
    return text;
}

// Said once: a side without DL status is no tree, so no node can be seen to move.
std::string TopologyLine(const Verdict& verdict, const Snapshot& before) {
    if (!verdict.topologyReported) return ReadingNotes(verdict).front() + "\n";
    if (!TopologyRead(before))
        return "topology: not reported in OLD, moves between ports not judged\n";
    return "";
}

class DiffCommand final : public Command {
  public:
    CLI::App* Declare(CLI::App& app) override {
        CLI::App* sub = app.add_subcommand(
            "diff", "two JSON snapshots compared: the bus, the counters, the verdict");
        sub->add_option("OLD", oldPath_, "the earlier snapshot")->required();
        sub->add_option("NEW", newPath_, "the later snapshot")->required();
        return sub;
    }

    ExitCode Run(const CliIo& io) const override {
        const auto before = LoadSnapshot(oldPath_, io);
        const auto after = LoadSnapshot(newPath_, io);
        if (!before || !after) return kExitUsage;
        if (before->address != after->address || before->id != after->id)
            io.err << "pelvane-cli: warning: the snapshots come from different controllers ("
                   << Printable(before->address) << " id " << Printable(before->id) << ", "
                   << Printable(after->address) << " id " << Printable(after->id) << ")\n";
        const std::vector<BusChange> changes = SnapshotChanges(*before, *after);
        const BusReading was = ReadingOf(*before), is = ReadingOf(*after);
        auto session = std::make_unique<PollSession>(PollSession::Span::kApart);
        session->Take(was);
        session->Take(is);
        std::ostringstream text;
        text << "diff " << Printable(before->time) << " -> " << Printable(after->time) << ", "
             << Printable(before->lostcountText) << " -> " << Printable(after->lostcountText)
             << "\n"
             << BusReport(changes, before->nodes.size(), after->nodes.size())
             << UnreadLines(was, is) << RiseLines(session->rises(), session->nodeCount());
        // A line of another length is the bus report's to tell.
        const Verdict verdict = session->Judge();
        io.out << text.str() << TopologyLine(verdict, *before)
               << "verdict: " << VerdictText(verdict) << "\n";
        if (BusDiffers(changes)) return kExitBusDiffers;
        return VerdictExit(verdict);
    }

  private:
    std::string oldPath_, newPath_;
};

}  // namespace

std::unique_ptr<Command> MakeDiffCommand() {
    return std::make_unique<DiffCommand>();
}

}  // namespace pelvane::cli
