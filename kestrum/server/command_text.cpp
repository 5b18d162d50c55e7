#include "kestrum/server/command_text.h"

#include <charconv>
#include <cmath>

namespace kestrum::server {

using language::kBadArgument;
using language::kNoSuchNode;

Outcome Error(int32_t status, std::string_view what) {
    Outcome out;
    out.status = status;
    out.text = "Error " + std::to_string(status) + ": ";
    out.text += what;
    out.text += "\r\n";
    return out;
}

Outcome Print(std::string text) {
    Outcome out;
    out.text = std::move(text);
    out.text += "\r\n";
    return out;
}

Outcome PrintInt(int64_t value) {
    return Print(std::to_string(value));
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<std::vector<int32_t>> CallArgs(std::string_view command, std::string_view name) {
    command = TrimBlanks(command);
    if (command.size() < name.size() + 2 || command.substr(0, name.size()) != name)
        return std::nullopt;
    std::string_view rest = command.substr(name.size());
    if (rest.front() != '(' || rest.back() != ')') return std::nullopt;
    rest = rest.substr(1, rest.size() - 2);
    std::vector<int32_t> args;
    while (true) {
        auto comma = rest.find(',');
        auto arg = ToInt<int32_t>(rest.substr(0, comma));
        if (!arg || args.size() > 16) return std::nullopt;
        args.push_back(*arg);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return args;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::optional<Outcome> BusArgs(std::string_view command, std::string_view name, std::size_t count,
                               int32_t nodeCount, std::vector<int32_t>& args) {
    auto parsed = CallArgs(command, name);
    if (!parsed || parsed->size() != count) return Error(kBadArgument, "bad arguments");
    args = std::move(*parsed);
    if (args[0] != 0) return Error(kBadArgument, "no such bus slot");
    if (count >= 2 && (args[1] < 0 || args[1] >= nodeCount))
        return Error(kNoSuchNode, "no such node");
    return std::nullopt;
}

std::string FormatTableValue(float value) {
    if (!std::isfinite(value) || value == 0.0f) return "0";
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc()) return "0";
    return std::string(buf, ptr);
}

Outcome TableReply(std::string_view command, const ValueTable& table) {
    std::string_view rest = TrimBlanks(command).substr(1);
    std::string text;
    while (!(rest = TrimBlanks(rest)).empty()) {
        auto close = rest.find(')');
        if (close == std::string_view::npos) return Error(kBadArgument, "bad arguments");
        auto args = CallArgs(rest.substr(0, close + 1), "TABLE");
        if (!args || args->size() != 1) return Error(kBadArgument, "bad arguments");
        int32_t i = (*args)[0];
        if (!ValueTable::Holds(i)) return Error(kBadArgument, "table index out of range");
        if (!text.empty()) text.push_back(' ');
        text += FormatTableValue(table.At(i));
        rest.remove_prefix(close + 1);
    }
    return Print(std::move(text));
}

}  // namespace kestrum::server
