// diff: two snapshots compared: the bus itself, then the counters, with the verdict.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

#include "cli/bus_report.h"
#include "cli/commands.h"
#include "cli/snapshot.h"
#include "cli/text_format.h"
#include "cli/watch_view.h"
#include "nodes/node_cells.h"

namespace pelvane::cli {

namespace {

// "  Node1 301H unread in NEW": values that one side lacks are not compared.
std::string UnreadLines(const BusReading& before, const BusReading& after) {
    std::string text;
    const size_t count = std::max(before.counters.size(), after.counters.size());
    for (size_t i = 0; i < count; ++i) {
        for (size_t k = 0; k < kCounterCount; ++k) {
            const bool old = i < before.counters.size() && !before.counters[i][k];
            const bool now = i < after.counters.size() && !after.counters[i][k];
            if (!old && !now) continue;
            text += "  " + FormatNodeLabel(static_cast<int32_t>(i)) + " " +
                    CounterName(static_cast<int>(k)) + " unread in " +
                    (old && now ? "both"
                     : old      ? "OLD"
                                : "NEW") +
                    ", not compared\n";
        }
    }
    return text;
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
        const std::vector<BusChange> changes =
            CompareBuses(IdentitiesOf(*before), IdentitiesOf(*after));
        const BusReading was = ReadingOf(*before), is = ReadingOf(*after);
        auto session = std::make_unique<PollSession>();
        session->Take(was);
        session->Take(is);
        std::ostringstream text;
        text << "diff " << Printable(before->time) << " -> " << Printable(after->time) << ", "
             << Printable(before->lostcountText) << " -> " << Printable(after->lostcountText)
             << "\n"
             << BusReport(changes, before->nodes.size(), after->nodes.size())
             << UnreadLines(was, is) << RiseLines(session->rises(), session->nodeCount());
        Verdict verdict = session->Judge();
        // Snapshots taken apart are no run: a line of another length is the bus report's to
        // tell; only a NEW snapshot without a node is a fault of its own.
        verdict.line = {};
        verdict.line.Take(session->nodeCount());
        io.out << text.str() << "verdict: " << VerdictText(verdict) << "\n";
        if (BusDiffers(changes)) return kExitBusDiffers;
        return verdict.clean() ? kExitOk : kExitErrorsFound;
    }

  private:
    std::string oldPath_, newPath_;
};

}  // namespace

std::unique_ptr<Command> MakeDiffCommand() {
    return std::make_unique<DiffCommand>();
}

}  // namespace pelvane::cli
