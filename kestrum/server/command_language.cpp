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

// A model's value as the controller prints it, or its refusal as the controller's error.
Outcome Reply(const NodeValue& value) {
    if (!value.ok()) return Error(value.refusal().status, value.refusal().reason);
    return PrintInt(value.value());
}

// "?NODE_REGS(0,node,first,count)": the bytes as the model gives them one item at a time,
// held to 0..FFH as the 8-bit registers stop there, whatever wider count a model keeps.
Outcome RegisterBytes(ControllerModel& model, int32_t node, int32_t first, int32_t count,
                      Clock::time_point now) {
    if (count < 1 || count > language::kMaxRegisterBytes)
        return Error(kBadArgument, "bad arguments");
    if (!language::IsRegisterRange(first, count)) return Error(kBadArgument, "no such item");
    std::string text;
    for (int32_t item = first; item < first + count; ++item) {
        const NodeValue one = model.NodeItem(node, item, now);
        if (!one.ok()) return Reply(one);
        if (!text.empty()) text.push_back(' ');
        text += std::to_string(std::clamp<int64_t>(one.value(), 0, 0xFF));
    }
    return Print(std::move(text));
}

// "SDO_READ(0,node,index,subindex,type,tableIndex)": the value goes into the table and
// nothing is printed. A table index out of range asks no drive.
Outcome SdoRead(ControllerModel& model, const std::vector<int32_t>& a) {
    if (!ValueTable::Holds(a[5])) return Error(kBadArgument, "table index out of range");
    const NodeValue value = model.SdoRead(a[1], a[2], a[3], a[4]);
    if (!value.ok()) return Reply(value);
    // The table holds what a controller's does: single floats.
    model.table().Set(a[5], static_cast<float>(value.value()));
    return Outcome{};
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
    if (name == "?NODE_INFO") {
        // Refused alike by every model, whatever the node's state.
        if (!language::IsNodeItem(a[2])) return Error(kBadArgument, "no such item");
        return Reply(model.NodeItem(a[1], a[2], now));
    }
    if (name == "?NODE_AXIS_COUNT") return Reply(model.AxisCount(a[1]));
    if (name == "?NODE_IO") return Reply(model.IoBase(a[1]));
    if (name == "?NODE_AIO") {
        if (a[2] != 0) return Error(kBadArgument, "bad channel kind");
        return Reply(model.AioBase(a[1]));
    }
    if (name == "?NODE_REGS") return RegisterBytes(model, a[1], a[2], a[3], now);
    return SdoRead(model, a);
}

}  // namespace

Outcome AnswerCommand(ControllerModel& model, std::string_view command, Clock::time_point now) {
    const std::string_view trimmed = TrimBlanks(command);
    if (trimmed == "?CONTROL") return Print(model.Model());
    if (trimmed == "?VERSION_DATE") return Print(model.VersionDate());
    if (trimmed == "?SERIAL_NUMBER") return Print(model.SerialNumber());
    if (trimmed == "?*ETHERCAT") return Outcome{0, model.Report(now)};
    if (StartsWith(trimmed, "?TABLE(")) return TableReply(trimmed, model.table());
    return BusCommand(model, trimmed, now);
}

}  // namespace kestrum::server
