#include "kestrum/server/command_language.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include "kestrum/language/node_items.h"
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
    {"?NODE_COUNT", 1}, {"?NODE_INFO", 3}, {"?NODE_AXIS_COUNT", 2}, {"?NODE_IO", 2},
    {"?NODE_AIO", 3},   {"SDO_READ", 6},   {"?NODE_REGS", 4},
};

// "?NODE_REGS(0,node,first,count)": the bytes as the model gives them one item at a time,
// held to 0..FFH as the 8-bit registers stop there, whatever wider count a model keeps.
Outcome RegisterBytes(ControllerModel& model, int32_t node, int32_t first, int32_t count,
                      Clock::time_point now) {
    if (count < 1 || count > language::kMaxRegisterBytes)
        return Error(kBadArgument, "bad arguments");
    if (!language::IsRegisterRange(first, count)) return Error(kBadArgument, "no such item");
    std::string text;
    for (int32_t item = first; item < first + count; ++item) {
        Outcome one = model.NodeItem(node, item, now);
        if (one.status != 0) return one;
        std::string_view printed = one.text;
        if (printed.ends_with("\r\n")) printed.remove_suffix(2);
        const auto value = ToInt<int64_t>(printed);
        if (!value) return Error(kBadArgument, "no such item");
        if (!text.empty()) text.push_back(' ');
        text += std::to_string(std::clamp<int64_t>(*value, 0, 0xFF));
    }
    return Print(std::move(text));
}

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
    if (name == "?NODE_REGS") return RegisterBytes(model, a[1], a[2], a[3], now);
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
