#include "kestrum/server/command_language.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

#include "kestrum/server/command_text.h"

namespace kestrum::server {
namespace {

using language::kBadArgument;

// The bus commands and their argument counts: NAME(0,node,...), the slot first.
struct BusCommandShape {
    std::string_view name;
    std::size_t args;
};
constexpr BusCommandShape kBusCommands[] = {
    {"?NODE_COUNT", 1}, {"?NODE_INFO", 3}, {"?NODE_AXIS_COUNT", 2},
    {"?NODE_IO", 2},    {"?NODE_AIO", 3},  {"SDO_READ", 6},
};

Outcome BusCommand(ControllerModel& model, std::string_view command, Clock::time_point now) {
    const std::string_view name = command.substr(0, command.find('('));
    const auto* shape = std::find_if(std::begin(kBusCommands), std::end(kBusCommands),
                                     [&](const BusCommandShape& s) { return s.name == name; });
    if (shape == std::end(kBusCommands)) return Error(language::kUnknownCommand, "unknown command");
    const int32_t nodes = model.NodeCount(now);
    std::vector<int32_t> a;
    if (auto bad = BusArgs(command, name, shape->args, nodes, a)) return *bad;
    if (name == "?NODE_COUNT") return PrintInt(nodes);
    if (name == "?NODE_INFO") return model.NodeItem(a[1], a[2], now);
    if (name == "?NODE_AXIS_COUNT") return model.AxisCount(a[1]);
    if (name == "?NODE_IO") return model.IoBase(a[1]);
    if (name == "?NODE_AIO") {
        if (a[2] != 0) return Error(kBadArgument, "bad channel kind");
        return model.AioBase(a[1]);
    }
    return model.SdoRead(a[1], a[2], a[3], a[4], a[5]);
}

}  // namespace

Outcome AnswerCommand(ControllerModel& model, std::string_view command, Clock::time_point now) {
    const std::string_view trimmed = TrimBlanks(command);
    if (trimmed == "?CONTROL") return Print(model.Model());
    if (trimmed == "?VERSION_DATE") return Print(model.VersionDate());
    if (trimmed == "?SERIAL_NUMBER") return Print(model.SerialNumber());
    if (trimmed == "?*ETHERCAT") return Outcome{0, model.Report(now)};
    if (StartsWith(trimmed, "?TABLE(")) return TableReply(trimmed, model.Table());
    return BusCommand(model, trimmed, now);
}

}  // namespace kestrum::server
