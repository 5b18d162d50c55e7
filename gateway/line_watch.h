// The state of the line behind the gateway's port, judged from what each cycle found,
// apart from the frames that found it: what the report says, and when the picture of
// the last complete scan stops being current.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace pelvane::gateway {

enum class LineCondition {
    kUp,             // the last scan completed
    kNoReply,        // the count came back from no node, or not at all
    kNoLink,         // the port has no carrier
    kPortGone,       // the interface went away
    kAnotherMaster,  // another master's frames are on the line: we keep quiet
    kCirculating,    // our frames come back marked as circulating
};

// As the report prints it: no full stop, readers cut the report at its second one.
std::string_view LineConditionText(LineCondition condition);

class LineWatch {
  public:
    using Clock = std::chrono::steady_clock;
    // A fault older than this empties the served bus.
    static constexpr std::chrono::milliseconds kStaleAfter{200};

    // What one cycle found: kUp for a complete scan that reached at least one node.
    void Observe(LineCondition found, Clock::time_point now);

    // What the report says: a single lost frame is not yet a line without reply.
    LineCondition Shown(Clock::time_point now) const;
    // The last complete scan no longer stands for the line.
    bool Stale(Clock::time_point now) const;

  private:
    std::optional<Clock::time_point> faultSince_;
    LineCondition fault_ = LineCondition::kUp;
};

}  // namespace pelvane::gateway
