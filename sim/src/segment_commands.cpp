// The @SIM commands that only the emulated segment shows: how its line loses and holds
// frames, the second master, what a node's AL status says and its CoE emergencies.
#include <optional>

#include "kestrum/server/command_text.h"
#include "kestrum/server/integer_text.h"
#include "sim/src/sim_commands.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

using namespace server;

// Far past any master's frame time-out, short enough that a test cannot hang on it.
constexpr int32_t kMaxSegmentDelayMs = 10000;

std::optional<double> PercentArg(std::string_view s) {
    auto percent = ToRate(s);
    if (!percent || *percent > 100.0) return std::nullopt;
    return percent;
}

std::optional<LossWay> WayArg(std::string_view s) {
    if (s == "out") return LossWay::kOut;
    if (s == "back") return LossWay::kBack;
    return std::nullopt;
}

}  // namespace

std::optional<Outcome> SimCommands::SegmentCommand(const std::vector<std::string_view>& w) {
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    if (verb == "SEGMENT_LOSS" && (argc == 1 || argc == 2)) {
        auto percent = PercentArg(w[1]);
        auto way = argc == 2 ? WayArg(w[2]) : std::optional<LossWay>(LossWay::kBoth);
        if (!percent || !way) return Bad();
        bus_.lineFaults().lossPercent = *percent;
        bus_.lineFaults().lossWay = *way;
        return Ok();
    }
    if (verb == "SEGMENT_DELAY" && (argc == 1 || argc == 2)) {
        auto ms = ToInt<int32_t>(w[1]);
        auto percent = argc == 2 ? PercentArg(w[2]) : std::optional<double>(100.0);
        if (!ms || *ms < 0 || *ms > kMaxSegmentDelayMs || !percent) return Bad();
        bus_.lineFaults().delayMs = *ms;
        bus_.lineFaults().delayPercent = *percent;
        return Ok();
    }
    if (verb == "SEGMENT_CIRCULATING" && argc == 1) {
        if (w[1] != "0" && w[1] != "1") return Bad();
        bus_.lineFaults().circulating = w[1] == "1";
        return Ok();
    }
    if (verb == "SEGMENT_MASTER" && (argc == 1 || argc == 2)) {
        if ((w[1] != "0" && w[1] != "1") || (argc == 2 && (w[1] != "1" || w[2] != "unicast")))
            return Bad();
        bus_.lineFaults().secondMaster = w[1] == "1";
        bus_.lineFaults().secondMasterUnicast = argc == 2;
        return Ok();
    }
    if (verb == "AL" && (argc == 3 || argc == 4)) return AlCommand(w);
    if (verb == "EMERGENCY" && argc == 2) return EmergencyCommand(w);
    return std::nullopt;
}

// AL <node> <state> <code> [err|id]: the code stays in 0134H without the error bit, as
// after an acknowledged error; with id, 0134H shows the node's switchNo instead.
Outcome SimCommands::AlCommand(const std::vector<std::string_view>& w) {
    auto node = ToInt<int32_t>(w[1]);
    auto state = AlStateOf(w[2]);
    auto code = ToInt<int32_t>(w[3]);
    const std::string_view mark = w.size() == 5 ? w[4] : "";
    if (!node || *node < 0 || *node >= static_cast<int32_t>(bus_.NodesOnBus()) || !state || !code ||
        *code < 0 || *code > 0xFFFF || (!mark.empty() && mark != "err" && mark != "id"))
        return Bad();
    bus_.SetAl(static_cast<std::size_t>(*node), *state, *code, mark == "err", mark == "id");
    return Ok();
}

// EMERGENCY <node> <code>: only a node with a mailbox has a way to send one.
Outcome SimCommands::EmergencyCommand(const std::vector<std::string_view>& w) {
    auto node = ToInt<int32_t>(w[1]);
    auto code = ToInt<int32_t>(w[2]);
    if (!node || *node < 0 || *node >= static_cast<int32_t>(bus_.NodesOnBus()) || !code ||
        *code < 0 || *code > 0xFFFF)
        return Bad();
    return bus_.RaiseEmergency(static_cast<std::size_t>(*node), static_cast<uint16_t>(*code))
               ? Ok()
               : Bad();
}

}  // namespace kestrum::sim
