// The diagnosis followed over time, one reading after another: the rises of every
// register, the lost count, the node counts, the tree and the verdict. Every headless
// program judges a bus through it, so a value that was not read can never become a rise in
// any of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/counter_rises.h"
#include "nodes/error_poll.h"
#include "nodes/register_poll.h"
#include "nodes/topology.h"
#include "nodes/verdict.h"

namespace pelvane {

// A node's counters 300H..313H as one reading found them; none where it brought no value.
using CounterReadings = std::array<std::optional<int32_t>, kRegisterCount>;

// One reading of a bus: a live poll, or a snapshot taken earlier.
struct BusReading {
    std::vector<CounterReadings> counters;  // by position; the node count is its size
    std::vector<int32_t> statusWords;       // by position; kStatusWordUnread when unread
    // By position; none where unread. A controller that reports none is read as a line.
    std::vector<std::optional<uint16_t>> dlStatus;
    std::string lostcountText;
    // False when the poll kept the count of the poll before: no count of the line then.
    bool countRead = true;
    // The first read of the count or of a counter 300H..303H that brought no value.
    std::optional<ReadFailure> failure;
};

// What a reading could not read of what every verdict needs.
Unread UnreadOf(const BusReading& reading);

class PollSession {
  public:
    // A run polls one bus over time; readings taken apart, as two snapshots, are no run:
    // a line of another length is no break then, and only an empty latest reading is.
    enum class Span { kRun, kApart };
    explicit PollSession(Span span = Span::kRun) : span_(span) {}

    // Polls the open link once: the report, the node count, then each node's DL status,
    // counters and status word. False when the link failed or the controller stopped
    // answering: nothing of that poll is taken.
    bool PollOnce();
    // A reading from elsewhere; nodes beyond kPollCapacity are not taken.
    void Take(const BusReading& reading);
    // The link was opened anew: the controller behind it may answer more.
    void Relinked() { registers_.Reset(); }

    Verdict Judge() const;

    int32_t nodeCount() const { return static_cast<int32_t>(last_.counters.size()); }
    int64_t readings() const { return readings_; }
    // The latest reading as taken.
    const BusReading& last() const { return last_; }
    const std::string& lostcountText() const { return last_.lostcountText; }
    const CounterRises& rises() const { return rises_; }
    const NodeCounts& nodeCounts() const { return nodeCounts_; }
    // The tree of the latest reading; a line when the controller reported no DL status.
    const Topology& topology() const { return topology_; }
    bool topologyReported() const;
    RegisterSource registerSource() const { return registers_.source(); }
    // The result of the last live poll's last query.
    int32_t lastStatus() const { return lastStatus_; }

  private:
    std::optional<LineBreakPlace> BreakPlace() const;

    Span span_;
    ErrorPoll report_;
    RegisterPoll registers_;
    int32_t lastStatus_ = 0;
    int32_t polledCount_ = 0;
    CounterRises rises_;
    BusReading last_;
    Topology topology_;
    // The tree of the reading with the most nodes, to tell where a branch went.
    Topology widest_;
    // What the first reading and the latest could not read: a verdict needs both.
    Unread firstUnread_, latestUnread_;
    std::optional<int32_t> lostCount_;
    int64_t lostRise_ = 0;
    NodeCounts nodeCounts_;
    int64_t readings_ = 0;
};

}  // namespace pelvane
