// The diagnosis poll: every node's receive-error counters and drive status word,
// kept in the Error counter table, without any window.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "kestrum/language/error_registers.h"
#include "nodes/node_table.h"

namespace pelvane {

// The table's arrays, in their fixed order.
enum ErrorArray : int { kRegister300H, kRegister301H, kRegister302H, kRegister303H, kStatusWord };
inline constexpr int kErrorArrayCount = 5;
inline constexpr int kCounterCount = kestrum::language::kWindowRegisterCount;  // 300H to 303H
static_assert(kCounterCount == kStatusWord, "the window's counters come before the status word");
// The status word of a node whose axis count or status word could not be read.
inline constexpr int32_t kStatusWordUnread = -1;

using ErrorCounterTable = std::array<std::array<int32_t, kNodeTableSize>, kErrorArrayCount>;

// Zero at start and never cleared, also not on a reconnect.
extern ErrorCounterTable g_errorCounterTable;

// The diagnosis page polls this often.
inline constexpr int kPollPeriodMs = 300;

// One poll holds at most this many nodes; a larger bus is polled and shown in part.
inline constexpr int32_t kPollCapacity = 200;

// True when node's four counters are all 0; the status word takes no part.
bool CountersClear(const ErrorCounterTable& table, int32_t node);

// The drive status word of node as the diagnosis reads it: 0 for a node without axes,
// kStatusWordUnread when the axis count or the word cannot be read. status gets the
// result of the last query sent.
int32_t PollStatusWord(int32_t node, int32_t& status);

// One poll on the open link, in two steps so that a page can show the lost-count text
// before the nodes are asked. What it could read it tells until the next poll.
class ErrorPoll {
  public:
    // Sends "?*ETHERCAT" and returns the lost-count text cut from the report.
    std::string ReadLostcountText();
    // Asks the node count into nodeCount (kept when unread, at most kPollCapacity), then
    // each node's counters and status word, and takes every changed value into table.
    // True when a value or the count changed.
    bool PollNodes(ErrorCounterTable& table, int32_t& nodeCount);

    // Whether the last poll read a number for the counter; a counter it could not read
    // kept the table's value, which says nothing new.
    bool counterRead(int32_t node, int counter) const {
        return counterRead_[static_cast<size_t>(counter)][static_cast<size_t>(node)];
    }
    // Whether the last poll read the node count; the count it kept says nothing new.
    bool countRead() const { return countRead_; }
    // Whether the link still answered at the end of the last poll: the poll goes on
    // through failed queries, so only its last one tells a live link from a dead one.
    bool linkAnswered() const;
    // The result of the last poll's last query.
    int32_t lastStatus() const { return lastStatus_; }

  private:
    int32_t lastStatus_ = 0;
    bool countRead_ = false;
    std::array<std::array<bool, kPollCapacity>, kCounterCount> counterRead_{};
};

}  // namespace pelvane
