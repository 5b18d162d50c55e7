#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <utility>

#include "sim/src/sim_commands.h"

#include "kestrum/server/command_text.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

using namespace server;
using language::kUnknownCommand;

constexpr int kMaxDelayMs = 600000;

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

bool SimCommands::IsSimCommand(std::string_view command) {
    return command.starts_with("@SIM") && (command.size() == 4 || command[4] == ' ');
}

SimOutcome SimCommands::Run(std::string_view command, Clock::time_point now) {
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
    if (auto out = OddCommand(w)) return {*out};
    if (auto out = TableCommand(w)) return {*out};
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

void SimCommands::Reset(Clock::time_point now) {
    bus_.Reset(now);
    odd_.clear();
    latencyMs_ = 0;
    stallUntil_ = {};
}

std::optional<SimOutcome> SimCommands::LinkCommand(const std::vector<std::string_view>& w,
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

std::optional<Outcome> SimCommands::BusCommand(const std::vector<std::string_view>& w,
                                               Clock::time_point now) {
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    if (verb == "COUNTERS" && argc == 3) {
        auto node = NodeArg(w[1], bus_.NodesOnBus());
        auto port = ToInt<int32_t>(w[2]);
        auto rate = ToRate(w[3]);
        if (!node || !port || (*port != 0 && *port != 1) || !rate) return Bad();
        bus_.SetCounterRate(*node, *port, *rate, now);
        return Ok();
    }
    if (verb == "NODE_OFF" && argc == 2) {
        auto node = NodeArg(w[1], bus_.NodesOnBus());
        auto ms = DelayArg(w[2]);
        if (!node || !ms) return Bad();
        bus_.SwitchOff(static_cast<int32_t>(*node), now + std::chrono::milliseconds(*ms));
        return Ok();
    }
    if (verb == "LOST" && argc == 1) {
        auto rate = ToRate(w[1]);
        if (!rate) return Bad();
        bus_.SetLostRate(*rate, now);
        return Ok();
    }
    if (verb == "SET" && argc == 3) return SetField(w, now);
    return std::nullopt;
}

Outcome SimCommands::SetField(const std::vector<std::string_view>& w, Clock::time_point now) {
    auto node = NodeArg(w[1], bus_.NodesOnBus());
    if (!node) return Bad();
    return bus_.SetField(*node, w[2], w[3], now) ? Ok() : Bad();
}

std::optional<Outcome> SimCommands::TableCommand(const std::vector<std::string_view>& w) {
    if (w[0] != "TABLE" || w.size() != 3) return std::nullopt;
    auto index = ToInt<int32_t>(w[1]);
    double v = 0;
    auto [ptr, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), v);
    if (!index || !server::ValueTable::Holds(*index) || ec != std::errc() ||
        ptr != w[2].data() + w[2].size() || !std::isfinite(v) || std::fabs(v) > 3.0e38)
        return Bad();
    bus_.SetTableValue(*index, static_cast<float>(v));
    return Ok();
}

}  // namespace kestrum::sim
