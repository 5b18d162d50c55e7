// The simulated controller's command interpreter and bus state, without any sockets.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

using Clock = std::chrono::steady_clock;

// Controller-like error codes.
inline constexpr int32_t kUnknownCommand = 2001;
inline constexpr int32_t kBadArgument = 2002;
inline constexpr int32_t kNoSuchNode = 2003;
inline constexpr int32_t kSdoFailed = 3001;

inline constexpr std::size_t kTableSize = 4096;

// What a command asks of the link that carries its reply.
struct LinkEffect {
    bool drop = false;      // close without a reply
    bool wrongSeq = false;  // next reply only
    bool cut = false;       // next reply only
    bool oversize = false;  // next reply only
    int bytewise = -1;      // -1 unchanged, 0 off, 1 on
    bool clearAll = false;  // every link's faults off
};

struct Outcome {
    int32_t status = 0;
    std::string text;
    bool control = false;  // an @SIM command: neither delayed nor made odd
    LinkEffect link;
};

class Machine {
  public:
    explicit Machine(Bus bus, Clock::time_point now = Clock::now());

    Outcome Execute(std::string_view command, Clock::time_point now);

    int latencyMs() const { return latencyMs_; }
    Clock::time_point stallUntil() const { return stallUntil_; }

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
    Outcome SimCommand(std::string_view command, Clock::time_point now);
    void ApplyOdd(std::string_view command, Outcome& out) const;

    int32_t VisibleNodes(Clock::time_point now);
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
};

// Table values as a controller prints them: integers without a fraction, never an
// exponent, '.' as decimal point whatever the locale.
std::string FormatTableValue(float value);

}  // namespace kestrum::sim
