// What a link server asks of whatever answers its commands: the simulated controller, or
// a gateway answering from a real bus.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrum::sim {

using Clock = std::chrono::steady_clock;

// Controller-like error codes, shared so that every interpreter fails alike.
inline constexpr int32_t kUnknownCommand = 2001;
inline constexpr int32_t kBadArgument = 2002;
inline constexpr int32_t kNoSuchNode = 2003;
inline constexpr int32_t kSdoFailed = 3001;

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

class CommandInterpreter {
  public:
    virtual ~CommandInterpreter() = default;

    // Runs one command; called on one of the server's threads with the server's lock held.
    virtual Outcome Execute(std::string_view command, Clock::time_point now) = 0;

    // Delays the interpreter asks for on replies to commands that are not control ones.
    virtual int latencyMs() const { return 0; }
    virtual Clock::time_point stallUntil() const { return {}; }
};

}  // namespace kestrum::sim
