// The state of the line behind the gateway's port, judged from what each cycle found,
// apart from the frames that found it: what the report says, and when the picture of
// the last complete scan stops being current.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kestrum::gateway {

enum class LineCondition {
    kUp,             // the last scan completed
    kLosingFrames,   // up, but more than 1 % of the last second's frames were lost
    kNoReply,        // the count came back from no node, or not at all
    kNoLink,         // the port has no carrier
    kPortGone,       // the interface went away
    kAnotherMaster,  // another master's frames are on the line: we keep quiet
    kCirculating,    // our frames come back marked as circulating
};

// As the report prints it: no full stop, readers cut the report at its second one.
std::string_view LineConditionText(LineCondition condition);

// Frames lost of those sent over the last second.
struct RecentLoss {
    uint64_t lost = 0;
    uint64_t sent = 0;
};
// The condition with its figures where it has any: "losing frames (3 of 120 in the last
// second)".
std::string LineText(LineCondition condition, RecentLoss loss);

class LineWatch {
  public:
    using Clock = std::chrono::steady_clock;
    // A fault older than this empties the served bus.
    static constexpr std::chrono::milliseconds kStaleAfter{200};
    static constexpr std::chrono::seconds kLossWindow{1};

    // What one cycle found: kUp for a complete scan that reached at least one node.
    void Observe(LineCondition found, Clock::time_point now);
    // The master's frame counts after the cycle.
    void Count(uint64_t framesSent, uint64_t framesLost, Clock::time_point now);

    // What the report says: a single lost frame is not yet a line without reply.
    LineCondition Shown(Clock::time_point now) const;
    // The last complete scan no longer stands for the line.
    bool Stale(Clock::time_point now) const;
    RecentLoss Loss() const;

  private:
    struct Sample {
        Clock::time_point at;
        uint64_t sent, lost;
    };
    std::optional<Clock::time_point> faultSince_;
    LineCondition fault_ = LineCondition::kUp;
    // The first is the newest at least kLossWindow old, once there is one.
    std::deque<Sample> samples_;
};

}  // namespace kestrum::gateway
