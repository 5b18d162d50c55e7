// The simulated controller: its bus state as the command language reads it, and the
// @SIM commands that change it, without any sockets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestrum/server/controller_model.h"
#include "kestrum_sim/bus.h"
#include "kestrum_sim/sim_model.h"
#include "sim/src/fault_rates.h"

namespace kestrum::sim {

using server::Clock;
using server::NodeValue;
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

// The node's DL status (110H): port 0 faces the master; each other port has a link and
// an open loop when a node hangs on it, else its loop is closed.
uint16_t DlStatus(const Node& node, const std::array<bool, 4>& linked);
// On a plain line: port 1 leads to the next node when one follows.
uint16_t LineDlStatus(const Node& node, bool followed);

class Machine final : public SimModel {
  public:
    explicit Machine(Bus bus, Clock::time_point now = Clock::now());

    std::string Model() const override { return bus_.model; }
    std::string VersionDate() const override { return bus_.versionDate; }
    std::string SerialNumber() const override { return bus_.serialNumber; }
    std::string Report(Clock::time_point now) override;
    int32_t NodeCount(Clock::time_point now) override { return VisibleNodes(now); }
    NodeValue NodeItem(int32_t node, int32_t item, Clock::time_point now) override;
    NodeValue AxisCount(int32_t node) override { return At(node).axisCount; }
    NodeValue IoBase(int32_t node) override { return At(node).ioBase; }
    NodeValue AioBase(int32_t node) override { return At(node).aioBase; }
    NodeValue SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t type) override;

    // "@SIM ..." without its "@SIM".
    SimOutcome SimCommand(std::string_view command, Clock::time_point now);
    // Whether command is one of those.
    static bool IsSimCommand(std::string_view command);
    // Makes the reply to command odd, as @SIM ODD asked.
    void ApplyOdd(std::string_view command, Outcome& out) const;

    int latencyMs() const { return latencyMs_; }
    Clock::time_point stallUntil() const { return stallUntil_; }

    LineState Line(Clock::time_point now) const override;

  private:
    enum class Odd { kWord, kEmpty, kLong, kBinary, kError };
    struct OddRule {
        std::string prefix;
        Odd mode;
        int32_t code;  // kError's status
    };
    struct NodeOff {
        int32_t node;
        Clock::time_point until;
    };

    const Node& At(int32_t node) const { return bus_.nodes[static_cast<std::size_t>(node)]; }
    std::vector<SegmentNode> SegmentNodes(Clock::time_point now) const;
    // @SIM commands by kind; nullopt for a verb or argument count of another kind.
    std::optional<SimOutcome> LinkCommand(const std::vector<std::string_view>& w,
                                          Clock::time_point now);
    std::optional<Outcome> BusCommand(const std::vector<std::string_view>& w,
                                      Clock::time_point now);
    std::optional<Outcome> ReplyCommand(const std::vector<std::string_view>& w);
    std::optional<Outcome> SegmentCommand(const std::vector<std::string_view>& w);
    Outcome AlCommand(const std::vector<std::string_view>& w);
    Outcome EmergencyCommand(const std::vector<std::string_view>& w);
    std::optional<Outcome> TreeCommand(const std::vector<std::string_view>& w,
                                       Clock::time_point now);
    void CableShare(std::size_t node, double delta, Clock::time_point now);
    void FlapLink(std::size_t node, std::size_t escPort, int32_t count);
    Outcome SetField(const std::vector<std::string_view>& w, Clock::time_point now);
    void SwitchOff(int32_t node, Clock::time_point until);
    void Reset(Clock::time_point now);

    int32_t VisibleNodes(Clock::time_point now);
    int32_t LineEnd(Clock::time_point now) const;  // the first node off, or the node count
    // The node's DL status with the nodes before end on the bus.
    uint16_t NodeDlStatus(std::size_t node, int32_t end) const;
    // Register 300H + reg, 0 <= reg < 20.
    int32_t Counter(std::size_t node, int reg, Clock::time_point now) const;
    int32_t LostCount(Clock::time_point now) const;
    // Takes the risen values as new bases, so that a rate change keeps what has counted so far.
    void RebaseCounters(std::size_t node, int port, Clock::time_point now);
    void RebaseLost(Clock::time_point now);

    Bus bus_;
    // By node and slave-controller port, the node hanging there, or -1.
    std::vector<std::array<int32_t, 4>> childOn_;
    FaultRates rises_;
    // By node, the rates of its cable, processing-unit and PDI faults now.
    std::vector<std::array<double, 3>> faultRate_;
    std::vector<std::array<Clock::time_point, 2>> rateStart_;
    Clock::time_point lostStart_;
    std::vector<NodeOff> nodeOff_;
    // By node: how many emergencies were raised, and the latest codes.
    std::vector<std::pair<uint32_t, std::array<uint16_t, 4>>> emergencies_;
    std::vector<OddRule> odd_;
    int latencyMs_ = 0;
    Clock::time_point stallUntil_{};
    double segmentLossPercent_ = 0.0;
    LossWay segmentLossWay_ = LossWay::kBoth;
    int32_t segmentDelayMs_ = 0;
    double segmentDelayPercent_ = 100.0;
    bool segmentCirculating_ = false;
    bool segmentSecondMaster_ = false;
    bool segmentSecondMasterUnicast_ = false;
};

}  // namespace kestrum::sim
