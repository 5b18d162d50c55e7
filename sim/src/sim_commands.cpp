// The @SIM commands: the faults a test or a person switches on in the simulated
// controller, and back off.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <utility>

#include "kestrum/server/command_text.h"
#include "sim/src/machine.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

using namespace server;
using language::kBadArgument;
using language::kUnknownCommand;

constexpr int kMaxDelayMs = 600000;
constexpr int32_t kMaxOddCode = 9999;

Outcome Ok() {
    return Print("OK");
}

Outcome Bad() {
    return Error(kBadArgument, "bad @SIM arguments");
}

std::optional<std::size_t> NodeArg(std::string_view s, std::size_t nodeCount) {
    auto n = ToInt<int32_t>(s);
    if (!n || *n < 0 || *n >= static_cast<int32_t>(nodeCount)) return std::nullopt;
    return static_cast<std::size_t>(*n);
}

std::optional<int32_t> DelayArg(std::string_view s) {
    auto ms = ToInt<int32_t>(s);
    if (!ms || *ms < 0 || *ms > kMaxDelayMs) return std::nullopt;
    return ms;
}

}  // namespace

SimOutcome Machine::SimCommand(std::string_view command, Clock::time_point now) {
    auto w = Words(command);
    if (w.empty()) return {Error(kUnknownCommand, "unknown @SIM command")};
    if (w[0] == "RESET" && w.size() == 1) {
        Reset(now);
        SimOutcome ok{Ok()};
        ok.link.clearAll = true;
        return ok;
    }
    if (auto out = LinkCommand(w, now)) return *out;
    if (auto out = BusCommand(w, now)) return {*out};
    if (auto out = ReplyCommand(w)) return {*out};
    if (auto out = SegmentCommand(w)) return {*out};
    if (auto out = TreeCommand(w, now)) return {*out};
    static constexpr std::string_view kVerbs[] = {"RESET",
                                                  "LATENCY",
                                                  "STALL",
                                                  "DROP_LINK",
                                                  "COUNTERS",
                                                  "NODE_OFF",
                                                  "LOST",
                                                  "SET",
                                                  "ODD",
                                                  "LINK",
                                                  "SEGMENT_LOSS",
                                                  "TABLE",
                                                  "SEGMENT_CIRCULATING",
                                                  "SEGMENT_MASTER",
                                                  "CABLE",
                                                  "LINK_FLAP",
                                                  "PU_ERRORS",
                                                  "PDI_ERRORS",
                                                  "SEGMENT_DELAY",
                                                  "AL",
                                                  "EMERGENCY"};
    if (std::find(std::begin(kVerbs), std::end(kVerbs), w[0]) != std::end(kVerbs)) return {Bad()};
    return {Error(kUnknownCommand, "unknown @SIM command")};
}

void Machine::Reset(Clock::time_point now) {
    for (std::size_t n = 0; n < bus_.nodes.size(); ++n) {
        for (int port = 0; port < 2; ++port) {
            RebaseCounters(n, port, now);
            bus_.nodes[n].counterRate[port] = 0.0;
        }
    }
    RebaseLost(now);
    bus_.lostRate = 0.0;
    rises_.Stop(now);
    std::fill(faultRate_.begin(), faultRate_.end(), std::array<double, 3>{});
    nodeOff_.clear();
    odd_.clear();
    latencyMs_ = 0;
    stallUntil_ = {};
    segmentLossPercent_ = 0.0;
    segmentLossWay_ = LossWay::kBoth;
    segmentDelayMs_ = 0;
    segmentDelayPercent_ = 100.0;
    segmentCirculating_ = false;
    segmentSecondMaster_ = false;
    segmentSecondMasterUnicast_ = false;
}

std::optional<SimOutcome> Machine::LinkCommand(const std::vector<std::string_view>& w,
                                               Clock::time_point now) {
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    SimOutcome ok{Ok()};
    const SimOutcome bad{Bad()};
    if (verb == "LATENCY" && argc == 1) {
        auto ms = DelayArg(w[1]);
        if (!ms) return bad;
        latencyMs_ = *ms;
        return ok;
    }
    if (verb == "STALL" && argc == 1) {
        auto ms = DelayArg(w[1]);
        if (!ms) return bad;
        stallUntil_ = std::max(stallUntil_, now + std::chrono::milliseconds(*ms));
        return ok;
    }
    // The link that asks is closed without a reply; run as a control, every link is.
    if (verb == "DROP_LINK" && argc == 0) {
        ok.link.drop = true;
        return ok;
    }
    if (verb != "LINK" || argc < 1) return std::nullopt;
    if (w[1] == "WRONG_SEQ" && argc == 1)
        ok.link.wrongSeq = true;
    else if (w[1] == "CUT" && argc == 1)
        ok.link.cut = true;
    else if (w[1] == "OVERSIZE" && argc == 1)
        ok.link.oversize = true;
    else if (w[1] == "BYTEWISE" && argc == 2 && (w[2] == "0" || w[2] == "1"))
        ok.link.bytewise = w[2] == "1" ? 1 : 0;
    else
        return bad;
    return ok;
}

std::optional<Outcome> Machine::BusCommand(const std::vector<std::string_view>& w,
                                           Clock::time_point now) {
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    if (verb == "COUNTERS" && argc == 3) {
        auto node = NodeArg(w[1], bus_.nodes.size());
        auto port = ToInt<int32_t>(w[2]);
        auto rate = ToRate(w[3]);
        if (!node || !port || (*port != 0 && *port != 1) || !rate) return Bad();
        RebaseCounters(*node, *port, now);
        bus_.nodes[*node].counterRate[*port] = *rate;
        return Ok();
    }
    if (verb == "NODE_OFF" && argc == 2) {
        auto node = NodeArg(w[1], bus_.nodes.size());
        auto ms = DelayArg(w[2]);
        if (!node || !ms) return Bad();
        SwitchOff(static_cast<int32_t>(*node), now + std::chrono::milliseconds(*ms));
        return Ok();
    }
    if (verb == "LOST" && argc == 1) {
        auto rate = ToRate(w[1]);
        if (!rate) return Bad();
        RebaseLost(now);
        bus_.lostRate = *rate;
        return Ok();
    }
    if (verb == "SET" && argc == 3) return SetField(w, now);
    return std::nullopt;
}

void Machine::SwitchOff(int32_t node, Clock::time_point until) {
    // One entry per node, so repeating the command cannot grow the list.
    auto same = std::find_if(nodeOff_.begin(), nodeOff_.end(),
                             [&](const NodeOff& off) { return off.node == node; });
    if (same == nodeOff_.end()) {
        nodeOff_.push_back({node, until});
    } else {
        same->until = std::max(same->until, until);
    }
}

Outcome Machine::SetField(const std::vector<std::string_view>& w, Clock::time_point now) {
    auto node = NodeArg(w[1], bus_.nodes.size());
    if (node && IsSegmentField(w[2]))
        return SetSegmentField(bus_.nodes[*node], w[2], w[3], nullptr) ? Ok() : Bad();
    auto value = ToInt<int32_t>(w[3]);
    if (!node || !value) return Bad();
    Node& n = bus_.nodes[*node];
    if (int32_t* byte = NodeCounterByte(n, w[2])) {
        if (*value < 0 || *value > 0xFF) return Bad();
        *byte = *value;
        rises_.Restart(*node, static_cast<std::size_t>(byte - n.counters304H.data()) + 4, now);
        return Ok();
    }
    int32_t* field = NodeField(n, w[2]);
    if (!field) return Bad();
    for (int reg = 0; reg < 4; ++reg) {
        // A counter set while its port's rate runs rises from the new value.
        if (field == &n.errorCounters[reg]) {
            RebaseCounters(*node, reg / 2, now);
            rises_.Restart(*node, static_cast<std::size_t>(reg), now);
        }
    }
    *field = *value;
    n.revisionGiven |= field == &n.revision;
    return Ok();
}

std::optional<Outcome> Machine::ReplyCommand(const std::vector<std::string_view>& w) {
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    if (verb == "ODD" && (argc == 2 || (argc == 3 && w[2] == "ERROR"))) {
        std::string prefix(w[1]);
        constexpr std::pair<std::string_view, Odd> kModes[] = {{"WORD", Odd::kWord},
                                                               {"EMPTY", Odd::kEmpty},
                                                               {"LONG", Odd::kLong},
                                                               {"BINARY", Odd::kBinary},
                                                               {"ERROR", Odd::kError}};
        const auto* mode = std::find_if(std::begin(kModes), std::end(kModes),
                                        [&](const auto& m) { return m.first == w[2]; });
        // Any status a controller of another make may give, but 0: the command ran.
        const auto code = argc == 3 ? ToInt<int32_t>(w[3]) : std::optional<int32_t>(kBadArgument);
        const bool off = w[2] == "OFF" && argc == 2;
        // Checked before the old rule goes, so that a bad one changes nothing; an @SIM
        // prefix would lock out the switch itself.
        if (!off && (mode == std::end(kModes) || !code || *code < 1 || *code > kMaxOddCode ||
                     prefix.starts_with("@SIM")))
            return Bad();
        std::erase_if(odd_, [&](const OddRule& r) { return r.prefix == prefix; });
        if (off) return Ok();
        if (odd_.size() >= 64) return Bad();
        odd_.push_back({std::move(prefix), mode->second, *code});
        return Ok();
    }
    if (verb != "TABLE" || argc != 2) return std::nullopt;
    auto index = ToInt<int32_t>(w[1]);
    double v = 0;
    auto [ptr, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), v);
    if (!index || !server::ValueTable::Holds(*index) || ec != std::errc() ||
        ptr != w[2].data() + w[2].size() || !std::isfinite(v) || std::fabs(v) > 3.0e38)
        return Bad();
    table().Set(*index, static_cast<float>(v));
    return Ok();
}

}  // namespace kestrum::sim
