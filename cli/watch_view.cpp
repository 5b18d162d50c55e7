#include "cli/watch_view.h"

#include <utility>
#include <vector>

#include "cli/node_fields.h"
#include "cli/platform.h"
#include "cli/text_format.h"
#include "nodes/drive_faults.h"
#include "nodes/node_cells.h"
#include "nodes/registers.h"

namespace pelvane::cli {

namespace {

constexpr const char* kHighlight = "\x1b[1;31m";
constexpr const char* kPlain = "\x1b[0m";
constexpr const char* kHome = "\x1b[H";
constexpr const char* kEraseLine = "\x1b[K";
constexpr const char* kEraseBelow = "\x1b[J";

// A value the latest poll could not read is never shown as the one before.
std::string CounterCell(const RegisterRise& reg, bool readNow) {
    const std::string value = readNow ? CounterText(reg.value) : "unread";
    if (reg.total == 0) return value;
    return value + " (" + RiseText({reg.total, reg.totalAtLeast}) + ", " + RiseText(reg.last) + ")";
}

// The registers past 303H that rose since the start: "306H +12, 310H +1".
std::string OtherRises(const CounterRises& rises, int32_t node) {
    std::string text;
    for (int k = kCounterCount; k < kRegisterCount; ++k) {
        const RegisterRise& reg = rises.at(node, k);
        if (reg.total == 0) continue;
        text += (text.empty() ? "" : ", ") + RegisterName(k) + " " +
                RiseText({reg.total, reg.totalAtLeast});
    }
    return text;
}

// "drives: ..." and a line break, or nothing while no drive is at fault.
std::string DrivesLine(const WatchSession& session, const char* lineEnd) {
    const std::vector<DriveFault> faults = DriveFaults(session.last().statusWords);
    return faults.empty() ? "" : DriveFaultsText(faults) + lineEnd + "\n";
}

bool RoseLastInterval(const WatchSession& session, int32_t node) {
    for (int k = 0; k < kRegisterCount; ++k)
        if (session.rises().at(node, k).last.rise > 0) return true;
    return false;
}

}  // namespace

std::string TerminalFrame(const WatchSession& session, int intervalMs) {
    std::vector<std::vector<std::string>> rows = {{"node", RegisterName(0), RegisterName(1),
                                                   RegisterName(2), RegisterName(3), "status word",
                                                   "other counters that rose"}};
    for (int32_t node = 0; node < session.nodeCount(); ++node) {
        std::vector<std::string> row = {FormatNodeLabel(node)};
        const CounterReadings& now = session.last().counters[static_cast<size_t>(node)];
        for (int k = 0; k < kCounterCount; ++k)
            row.push_back(
                CounterCell(session.rises().at(node, k), now[static_cast<size_t>(k)].has_value()));
        row.push_back(StatusWordText(session.last().statusWords[static_cast<size_t>(node)]));
        row.push_back(OtherRises(session.rises(), node));
        rows.push_back(std::move(row));
    }
    std::string frame =
        std::string(kHome) + "watch " + session.address() + "  " +
        Printable(session.lostcountText()) + "  poll " + std::to_string(session.polls()) +
        ", every " + std::to_string(intervalMs) + " ms  (Ctrl-C ends)" + kEraseLine +
        "\ncounters: value (rise since start, rise in the last poll)" + kEraseLine + "\n";
    const std::vector<std::string> lines = AlignedTable(rows);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool rose = i > 0 && RoseLastInterval(session, static_cast<int32_t>(i - 1));
        frame += rose ? kHighlight + lines[i] + kPlain : lines[i];
        frame += std::string(kEraseLine) + "\n";
    }
    frame += DrivesLine(session, kEraseLine);
    const Verdict verdict = session.Judge();
    for (const std::string& note : ReadingNotes(verdict)) frame += note + kEraseLine + "\n";
    std::string picture = std::string(kLinePictureLabel) +
                          LinePicture(verdict, session.rises(), {OutputIsUtf8(), true},
                                      kDefaultPictureWidth, session.topology());
    for (size_t at = 0; (at = picture.find('\n', at)) != std::string::npos; at += 4)
        picture.insert(at, kEraseLine);
    frame += picture + kEraseLine + "\n";
    return frame + "verdict: " + VerdictText(verdict) + kEraseLine + "\n" + kEraseBelow;
}

std::string ChangeLines::Next(const WatchSession& session,
                              std::chrono::system_clock::time_point when) {
    const std::string stamp = UtcTime(when, true) + " ";
    std::string text;
    if (session.polls() == 1) {
        text += stamp + "watching " + session.address() + ": " +
                std::to_string(session.nodeCount()) + " nodes, " +
                Printable(session.lostcountText()) + "\n";
    } else {
        if (session.nodeCount() != previousCount_)
            text += stamp + "nodes " + std::to_string(previousCount_) + " -> " +
                    std::to_string(session.nodeCount()) + "\n";
        if (session.lostcountText() != previousLost_)
            text += stamp + Printable(previousLost_) + " -> " + Printable(session.lostcountText()) +
                    "\n";
        for (int32_t node = 0; node < session.nodeCount(); ++node) {
            const auto i = static_cast<size_t>(node);
            std::string line;
            for (int k = 0; k < kRegisterCount; ++k) {
                const RegisterRise& reg = session.rises().at(node, k);
                if (reg.value == previous_[i].registers[static_cast<size_t>(k)]) continue;
                line += " " + RegisterName(k) + " " + CounterText(reg.value) + " (" +
                        RiseText(reg.last) + ", " + RiseText({reg.total, reg.totalAtLeast}) +
                        " since start)";
            }
            const int32_t statusWord = session.last().statusWords[i];
            if (statusWord != previous_[i].statusWord)
                line += " status word " + StatusWordText(statusWord);
            if (!line.empty()) text += stamp + FormatNodeLabel(node) + line + "\n";
        }
    }
    text += DrivesChanged(session, stamp);
    // Said once each, also a step taken after the first poll.
    const std::vector<std::string> notes = ReadingNotes(session.Judge());
    for (size_t i = notesSaid_; i < notes.size(); ++i) text += stamp + notes[i] + "\n";
    notesSaid_ = notes.size();
    for (int32_t node = 0; node < session.nodeCount(); ++node) {
        const auto i = static_cast<size_t>(node);
        for (int k = 0; k < kRegisterCount; ++k)
            previous_[i].registers[static_cast<size_t>(k)] = session.rises().at(node, k).value;
        previous_[i].statusWord = session.last().statusWords[i];
    }
    previousLost_ = session.lostcountText();
    previousCount_ = session.nodeCount();
    return text;
}

std::string ChangeLines::DrivesChanged(const WatchSession& session, const std::string& stamp) {
    const std::vector<DriveFault> faults = DriveFaults(session.last().statusWords);
    std::vector<int32_t> faulting;
    for (const DriveFault& fault : faults) faulting.push_back(fault.node);
    if (faulting == faultingSaid_) return "";
    faultingSaid_ = std::move(faulting);
    return stamp + DriveFaultsText(faults) + "\n";
}

std::string RiseLines(const CounterRises& rises, int32_t nodeCount) {
    std::string text;
    for (int32_t node = 0; node < nodeCount; ++node) {
        for (int k = 0; k < kRegisterCount; ++k) {
            const RegisterRise& reg = rises.at(node, k);
            if (reg.total == 0) continue;
            text += "  " + FormatNodeLabel(node) + " " + RegisterName(k) + " " +
                    RiseText({reg.total, reg.totalAtLeast}) + ", now " + CounterText(reg.value) +
                    "\n";
        }
    }
    return text;
}

ExitCode VerdictExit(const Verdict& verdict) {
    if (verdict.faultFound()) return kExitErrorsFound;
    return verdict.unread.any() ? kExitNotJudged : kExitOk;
}

std::string WatchSummary(const WatchSession& session, const LineStyle& style, bool treeProblems) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(session.elapsed()).count();
    std::string text = "summary: " + std::to_string(session.polls()) + " polls of " +
                       session.address() + " over " + std::to_string(ms / 1000) + "." +
                       std::to_string(ms % 1000 / 100) + " s, " +
                       Printable(session.lostcountText()) + "\n" +
                       RiseLines(session.rises(), session.nodeCount()) + DrivesLine(session, "");
    const Verdict verdict = session.Judge();
    for (const std::string& note : ReadingNotes(verdict)) text += note + "\n";
    if (treeProblems && session.topology() != nullptr)
        for (const TopologyProblem& problem : session.topology()->problems)
            text += "topology: " + TopologyProblemText(problem) + "\n";
    return text + std::string(kLinePictureLabel) +
           LinePicture(verdict, session.rises(), style, kDefaultPictureWidth, session.topology()) +
           "\nverdict: " + VerdictText(verdict) + "\n";
}

}  // namespace pelvane::cli
