// The @SIM commands: the faults a test or a person switches on in the simulated
// controller, and back off. They change the controller only through its controls; how
// replies are bent (odd, late, stalled) they keep for the hook, and what they ask of the
// links they hand it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrum/server/controller_model.h"
#include "sim/src/bus_controls.h"

namespace kestrum::sim {

using server::Outcome;

// What an @SIM command asks of the links besides its reply.
struct LinkEffect {
    bool drop = false;      // close without a reply
    bool wrongSeq = false;  // next reply only
    bool cut = false;       // next reply only
    bool oversize = false;  // next reply only
    int bytewise = -1;      // -1 unchanged, 0 off, 1 on
    bool clearAll = false;  // every link's faults off
};

struct SimOutcome {
    SimOutcome(Outcome r, LinkEffect l = {}) : reply(std::move(r)), link(l) {}
    Outcome reply;
    LinkEffect link;
};

class SimCommands {
  public:
    // latencyMs: added to every reply from the start, as the bus file asks.
    SimCommands(BusControls& bus, int latencyMs) : bus_(bus), latencyMs_(latencyMs) {}

    // Whether command is "@SIM", alone or before a blank.
    static bool IsSimCommand(std::string_view command);
    // "@SIM ..." without its "@SIM".
    SimOutcome Run(std::string_view command, Clock::time_point now);
    // Makes the reply to command odd, as @SIM ODD asked.
    void ApplyOdd(std::string_view command, Outcome& out) const;

    // Every reply of the controller is this late, and none leaves before stallUntil.
    int latencyMs() const { return latencyMs_; }
    Clock::time_point stallUntil() const { return stallUntil_; }

  private:
    enum class Odd { kWord, kEmpty, kLong, kBinary, kError };
    struct OddRule {
        std::string prefix;
        Odd mode;
        int32_t code;  // kError's status
    };

    // @SIM commands by kind; nullopt for a verb or argument count of another kind.
    std::optional<SimOutcome> LinkCommand(const std::vector<std::string_view>& w,
                                          Clock::time_point now);
    std::optional<Outcome> BusCommand(const std::vector<std::string_view>& w,
                                      Clock::time_point now);
    std::optional<Outcome> OddCommand(const std::vector<std::string_view>& w);
    std::optional<Outcome> TableCommand(const std::vector<std::string_view>& w);
    std::optional<Outcome> SegmentCommand(const std::vector<std::string_view>& w);
    Outcome AlCommand(const std::vector<std::string_view>& w);
    Outcome EmergencyCommand(const std::vector<std::string_view>& w);
    std::optional<Outcome> TreeCommand(const std::vector<std::string_view>& w,
                                       Clock::time_point now);
    Outcome SetField(const std::vector<std::string_view>& w, Clock::time_point now);
    void Reset(Clock::time_point now);

    BusControls& bus_;
    std::vector<OddRule> odd_;
    int latencyMs_ = 0;
    Clock::time_point stallUntil_{};
};

}  // namespace kestrum::sim
