// The simulated controller's command interpreter and bus state, without any sockets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum_sim/bus.h"
#include "kestrum_sim/interpreter.h"

namespace kestrum::sim {

// A node as the line holds it at one moment, for what answers frames on the segment.
struct SegmentNode {
    Node device;                        // as the bus file and @SIM commands made it
    std::array<int32_t, 4> counters{};  // 300H..303H now, as ?NODE_INFO prints them
};

class Machine final : public CommandInterpreter {
  public:
    explicit Machine(Bus bus, Clock::time_point now = Clock::now());

    Outcome Execute(std::string_view command, Clock::time_point now) override;

    int latencyMs() const override { return latencyMs_; }
    Clock::time_point stallUntil() const override { return stallUntil_; }

    // The nodes a frame sent round the line reaches now, in line order: a node switched
    // off ends the line there, as it ends ?NODE_COUNT.
    std::vector<SegmentNode> SegmentNodes(Clock::time_point now) const;
    // How many of every hundred frames the segment loses (0..100).
    double segmentLossPercent() const { return segmentLossPercent_; }
    // Replies come back marked circulating, as from a line cabled at a node's OUT port.
    bool segmentCirculating() const { return segmentCirculating_; }
    // A second master sends its own frames onto the segment.
    bool segmentSecondMaster() const { return segmentSecondMaster_; }

  private:
    enum class Odd { kWord, kEmpty, kLong, kBinary };
    struct OddRule {
        std::string prefix;
        Odd mode;
    };
    struct NodeOff {
        int32_t node;
        Clock::time_point until;
    };

    Outcome Query(std::string_view command, Clock::time_point now);
    Outcome NodeInfo(std::size_t node, int32_t item, Clock::time_point now) const;
    Outcome SimCommand(std::string_view command, Clock::time_point now);
    // @SIM commands by kind; nullopt for a verb or argument count of another kind.
    std::optional<Outcome> LinkCommand(const std::vector<std::string_view>& w,
                                       Clock::time_point now);
    std::optional<Outcome> BusCommand(const std::vector<std::string_view>& w,
                                      Clock::time_point now);
    std::optional<Outcome> ReplyCommand(const std::vector<std::string_view>& w);
    Outcome SetField(const std::vector<std::string_view>& w, Clock::time_point now);
    void SwitchOff(int32_t node, Clock::time_point until);
    void Reset(Clock::time_point now);
    void ApplyOdd(std::string_view command, Outcome& out) const;

    int32_t VisibleNodes(Clock::time_point now);
    int32_t LineEnd(Clock::time_point now) const;  // the first node off, or the node count
    int32_t Counter(std::size_t node, int reg, Clock::time_point now) const;
    int32_t LostCount(Clock::time_point now) const;
    // Takes the risen values as new bases, so that a rate change keeps what has counted so far.
    void RebaseCounters(std::size_t node, int port, Clock::time_point now);
    void RebaseLost(Clock::time_point now);

    Bus bus_;
    std::vector<std::array<Clock::time_point, 2>> rateStart_;
    Clock::time_point lostStart_;
    std::vector<NodeOff> nodeOff_;
    std::vector<OddRule> odd_;
    std::vector<float> table_;
    int latencyMs_ = 0;
    Clock::time_point stallUntil_{};
    double segmentLossPercent_ = 0.0;
    bool segmentCirculating_ = false;
    bool segmentSecondMaster_ = false;
};

}  // namespace kestrum::sim
