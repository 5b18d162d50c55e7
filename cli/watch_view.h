// How a watch shows itself: redrawn in place on a terminal, a line per change elsewhere.
#pragma once

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "cli/line_picture.h"
#include "cli/watch_session.h"
#include "nodes/error_poll.h"

namespace pelvane::cli {

// The whole screen after a poll, with the picture of the line; rows that rose in the last
// interval are highlighted.
std::string TerminalFrame(const WatchSession& session, int intervalMs);

// Time-stamped lines for what changed since the poll before.
class ChangeLines {
  public:
    std::string Next(const WatchSession& session, std::chrono::system_clock::time_point when);

  private:
    // "drives: ..." when the set of drives at fault is not the one said last.
    std::string DrivesChanged(const WatchSession& session, const std::string& stamp);

    // Counters and status words by node as the poll before showed them.
    struct Shown {
        std::array<int32_t, kRegisterCount> registers{};
        int32_t statusWord = 0;
    };
    std::vector<Shown> previous_ = std::vector<Shown>(kNodeTableSize);
    std::string previousLost_;
    int32_t previousCount_ = 0;
    size_t notesSaid_ = 0;
    std::vector<int32_t> faultingSaid_;  // the drives at fault, by position
};

// "  Node6 302H +5, now 8" for every register 300H..313H that rose, node by node.
std::string RiseLines(const CounterRises& rises, int32_t nodeCount);

// What check and diff exit with after the bus itself: 3 for a fault found, 5 for counters
// unread and nothing found, else 0.
ExitCode VerdictExit(const Verdict& verdict);

// Polls and time watched, every register that rose, the drives at fault, the picture of
// the line and the verdict.
// With the tree's problems: DL status that places no node or names a port nothing hangs on.
std::string WatchSummary(const WatchSession& session, const LineStyle& style,
                         bool treeProblems = false);

}  // namespace pelvane::cli
