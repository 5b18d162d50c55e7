// The diagnosis followed over time, one reading after another: the rises of every
// register, the lost count, the node counts and the verdict. Every headless program judges
// a bus through it, so a value that was not read can never become a rise in any of them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/counter_rises.h"
#include "nodes/error_poll.h"
#include "nodes/verdict.h"

namespace pelvane {

// A node's four counters as one reading found them; none where it brought no value.
using CounterReadings = std::array<std::optional<int32_t>, kCounterCount>;

// One reading of a bus: a live poll, or a snapshot taken earlier.
struct BusReading {
    std::vector<CounterReadings> counters;  // by position; the node count is its size
    std::vector<int32_t> statusWords;       // by position; kStatusWordUnread when unread
    std::string lostcountText;
    // False when the poll kept the count of the poll before: no count of the line then.
    bool countRead = true;
};

class PollSession {
  public:
    // Polls the open link once, as the diagnosis page polls, and takes the reading.
    // False when the link failed or the controller stopped answering: nothing of that
    // poll is taken.
    bool PollOnce();
    // A reading from elsewhere; nodes beyond kPollCapacity are not taken.
    void Take(const BusReading& reading);

    Verdict Judge() const;

    int32_t nodeCount() const { return static_cast<int32_t>(last_.counters.size()); }
    int64_t readings() const { return readings_; }
    // The latest reading as taken.
    const BusReading& last() const { return last_; }
    const std::string& lostcountText() const { return last_.lostcountText; }
    const CounterRises& rises() const { return rises_; }
    const NodeCounts& nodeCounts() const { return nodeCounts_; }
    // The result of the last live poll's last query.
    int32_t lastStatus() const { return poll_.lastStatus(); }

  private:
    ErrorPoll poll_;
    ErrorCounterTable table_{};
    int32_t polledCount_ = 0;
    CounterRises rises_;
    BusReading last_;
    std::optional<int32_t> lostCount_;
    int64_t lostRise_ = 0;
    NodeCounts nodeCounts_;
    int64_t readings_ = 0;
};

}  // namespace pelvane
