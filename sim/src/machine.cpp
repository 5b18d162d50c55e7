#include "machine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "integer_text.h"

namespace kestrum::sim {
namespace {

constexpr int kMaxDelayMs = 600000;

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

// Blanks around a number are allowed in commands.
template <typename T>
std::optional<T> ToInt(std::string_view s) {
    return ParseInteger<T>(TrimBlanks(s));
}

std::optional<double> ToRate(std::string_view s) {
    double v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v) || v < 0.0 || v > 1e6)
        return std::nullopt;
    return v;
}

// NAME(a,b,...) with optional blanks; nullopt when the form is broken.
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

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    while (true) {
        s = TrimBlanks(s);
        if (s.empty()) return words;
        auto end = s.find_first_of(" \t");
        words.push_back(s.substr(0, end));
        if (end == std::string_view::npos) return words;
        s.remove_prefix(end);
    }
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

int32_t SaturatedAdd(int32_t base, double rise) {
    double v = static_cast<double>(base) + std::floor(rise);
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return to <= from ? 0.0 : std::chrono::duration<double>(to - from).count();
}

}  // namespace

std::string FormatTableValue(float value) {
    if (!std::isfinite(value) || value == 0.0f) return "0";
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc()) return "0";
    return std::string(buf, ptr);
}

Machine::Machine(Bus bus, Clock::time_point now)
    : bus_(std::move(bus)),
      rateStart_(bus_.nodes.size(), {now, now}),
      lostStart_(now),
      table_(kTableSize, 0.0f),
      latencyMs_(bus_.latencyMs) {}

Outcome Machine::Execute(std::string_view command, Clock::time_point now) {
    if (StartsWith(command, "@SIM") && (command.size() == 4 || command[4] == ' ')) {
        Outcome out = SimCommand(command.substr(4), now);
        out.control = true;
        return out;
    }
    Outcome out = Query(command, now);
    ApplyOdd(command, out);
    return out;
}

void Machine::ApplyOdd(std::string_view command, Outcome& out) const {
    for (const auto& rule : odd_) {
        if (!StartsWith(command, rule.prefix)) continue;
        switch (rule.mode) {
            case Odd::kWord:
                out.text = "busy\r\n";
                break;
            case Odd::kEmpty:
                out.text.clear();
                break;
            case Odd::kLong: {
                std::string text = out.text;
                if (text.size() >= 2 && text.ends_with("\r\n")) text.resize(text.size() - 2);
                std::size_t total = std::max<std::size_t>(3000, text.size() + 100);
                text.push_back(' ');
                text.append(total - 2 - text.size(), '#');
                text += "\r\n";
                out.text = std::move(text);
                break;
            }
            case Odd::kBinary:
                out.text = std::string("\xff\xfe\0\x80 binary \x01\r\n", 15);
                break;
        }
        return;
    }
}

int32_t Machine::VisibleNodes(Clock::time_point now) {
    std::erase_if(nodeOff_, [now](const NodeOff& off) { return off.until <= now; });
    auto visible = static_cast<int32_t>(bus_.nodes.size());
    for (const auto& off : nodeOff_) visible = std::min(visible, off.node);
    return visible;
}

int32_t Machine::Counter(std::size_t node, int reg, Clock::time_point now) const {
    const Node& n = bus_.nodes[node];
    int port = reg / 2;
    return SaturatedAdd(n.errorCounters[reg],
                        n.counterRate[port] * Seconds(rateStart_[node][port], now));
}

int32_t Machine::LostCount(Clock::time_point now) const {
    return SaturatedAdd(bus_.lostCount, bus_.lostRate * Seconds(lostStart_, now));
}

void Machine::RebaseCounters(std::size_t node, int port, Clock::time_point now) {
    for (int reg = port * 2; reg < port * 2 + 2; ++reg)
        bus_.nodes[node].errorCounters[reg] = Counter(node, reg, now);
    rateStart_[node][port] = now;
}

void Machine::RebaseLost(Clock::time_point now) {
    bus_.lostCount = LostCount(now);
    lostStart_ = now;
}

Outcome Machine::Query(std::string_view command, Clock::time_point now) {
    std::string_view trimmed = TrimBlanks(command);
    if (trimmed == "?CONTROL") return Print(bus_.model);
    if (trimmed == "?VERSION_DATE") return Print(bus_.versionDate);
    if (trimmed == "?SERIAL_NUMBER") return Print(bus_.serialNumber);
    int32_t visible = VisibleNodes(now);
    if (trimmed == "?*ETHERCAT") {
        // Readers cut "Lostcount:" up to the report's second full stop, so the first
        // line holds the only full stop before it.
        std::string report = "EtherCAT master 0: state ";
        report += visible == static_cast<int32_t>(bus_.nodes.size()) ? "OP" : "SAFEOP";
        report += ".\r\nNodes:" + std::to_string(visible) + " of " +
                  std::to_string(bus_.nodes.size()) +
                  "\r\nCycle:1000us\r\nLostcount:" + std::to_string(LostCount(now)) + ".\r\n";
        Outcome out;
        out.text = std::move(report);
        return out;
    }

    auto name = trimmed.substr(0, trimmed.find('('));
    // Every bus command starts with slot and node; the slot must be 0, the node on the bus.
    auto busArgs = [&](std::size_t count, std::vector<int32_t>& args) -> std::optional<Outcome> {
        auto parsed = CallArgs(trimmed, name);
        if (!parsed || parsed->size() != count) return Error(kBadArgument, "bad arguments");
        args = std::move(*parsed);
        if (args[0] != 0) return Error(kBadArgument, "no such bus slot");
        if (count >= 2 && (args[1] < 0 || args[1] >= visible))
            return Error(kNoSuchNode, "no such node");
        return std::nullopt;
    };
    std::vector<int32_t> a;

    if (name == "?NODE_COUNT") {
        if (auto bad = busArgs(1, a)) return *bad;
        return PrintInt(visible);
    }
    if (name == "?NODE_INFO") {
        if (auto bad = busArgs(3, a)) return *bad;
        const Node& n = bus_.nodes[static_cast<std::size_t>(a[1])];
        switch (a[2]) {
            case 0:
                return PrintInt(n.vendorId);
            case 1:
                return PrintInt(n.deviceId);
            case 3:
                return PrintInt(n.switchNo);
            case 10:
                return PrintInt(n.inputCount);
            case 11:
                return PrintInt(n.outputCount);
            case 12:
                return PrintInt(n.adCount);
            case 13:
                return PrintInt(n.daCount);
            case 768:
            case 769:
            case 770:
            case 771:
                return PrintInt(Counter(static_cast<std::size_t>(a[1]), a[2] - 768, now));
            default:
                return Error(kBadArgument, "no such item");
        }
    }
    if (name == "?NODE_AXIS_COUNT") {
        if (auto bad = busArgs(2, a)) return *bad;
        return PrintInt(bus_.nodes[static_cast<std::size_t>(a[1])].axisCount);
    }
    if (name == "?NODE_IO") {
        if (auto bad = busArgs(2, a)) return *bad;
        return PrintInt(bus_.nodes[static_cast<std::size_t>(a[1])].ioBase);
    }
    if (name == "?NODE_AIO") {
        if (auto bad = busArgs(3, a)) return *bad;
        if (a[2] != 0) return Error(kBadArgument, "bad channel kind");
        return PrintInt(bus_.nodes[static_cast<std::size_t>(a[1])].aioBase);
    }
    if (name == "SDO_READ") {
        if (auto bad = busArgs(6, a)) return *bad;
        const Node& n = bus_.nodes[static_cast<std::size_t>(a[1])];
        if (a[5] < 0 || a[5] >= static_cast<int32_t>(kTableSize))
            return Error(kBadArgument, "table index out of range");
        if (n.axisCount == 0) return Error(kSdoFailed, "SDO read failed, node has no drive");
        if (a[2] != 0x6041 || a[3] != 0) return Error(kSdoFailed, "SDO read failed, no object");
        table_[static_cast<std::size_t>(a[5])] = static_cast<float>(n.statusWord);
        return Outcome{};
    }
    if (StartsWith(trimmed, "?TABLE(")) {
        std::string_view rest = trimmed.substr(1);
        std::string text;
        while (!(rest = TrimBlanks(rest)).empty()) {
            auto close = rest.find(')');
            if (close == std::string_view::npos) return Error(kBadArgument, "bad arguments");
            auto args = CallArgs(rest.substr(0, close + 1), "TABLE");
            if (!args || args->size() != 1) return Error(kBadArgument, "bad arguments");
            int32_t i = (*args)[0];
            if (i < 0 || i >= static_cast<int32_t>(kTableSize))
                return Error(kBadArgument, "table index out of range");
            if (!text.empty()) text.push_back(' ');
            text += FormatTableValue(table_[static_cast<std::size_t>(i)]);
            rest.remove_prefix(close + 1);
        }
        return Print(std::move(text));
    }
    return Error(kUnknownCommand, "unknown command");
}

Outcome Machine::SimCommand(std::string_view command, Clock::time_point now) {
    auto w = Words(command);
    auto bad = [] { return Error(kBadArgument, "bad @SIM arguments"); };
    if (w.empty()) return Error(kUnknownCommand, "unknown @SIM command");
    std::string_view verb = w[0];
    std::size_t argc = w.size() - 1;
    Outcome ok = Print("OK");
    auto nodeArg = [&](std::string_view s) -> std::optional<std::size_t> {
        auto n = ToInt<int32_t>(s);
        if (!n || *n < 0 || *n >= static_cast<int32_t>(bus_.nodes.size())) return std::nullopt;
        return static_cast<std::size_t>(*n);
    };

    if (verb == "RESET" && argc == 0) {
        for (std::size_t n = 0; n < bus_.nodes.size(); ++n) {
            for (int port = 0; port < 2; ++port) {
                RebaseCounters(n, port, now);
                bus_.nodes[n].counterRate[port] = 0.0;
            }
        }
        RebaseLost(now);
        bus_.lostRate = 0.0;
        nodeOff_.clear();
        odd_.clear();
        latencyMs_ = 0;
        stallUntil_ = {};
        ok.link.clearAll = true;
        return ok;
    }
    if (verb == "LATENCY" && argc == 1) {
        auto ms = ToInt<int32_t>(w[1]);
        if (!ms || *ms < 0 || *ms > kMaxDelayMs) return bad();
        latencyMs_ = *ms;
        return ok;
    }
    if (verb == "STALL" && argc == 1) {
        auto ms = ToInt<int32_t>(w[1]);
        if (!ms || *ms < 0 || *ms > kMaxDelayMs) return bad();
        stallUntil_ = std::max(stallUntil_, now + std::chrono::milliseconds(*ms));
        return ok;
    }
    if (verb == "DROP_LINK" && argc == 0) {
        ok.text.clear();
        ok.link.drop = true;
        return ok;
    }
    if (verb == "COUNTERS" && argc == 3) {
        auto node = nodeArg(w[1]);
        auto port = ToInt<int32_t>(w[2]);
        auto rate = ToRate(w[3]);
        if (!node || !port || (*port != 0 && *port != 1) || !rate) return bad();
        RebaseCounters(*node, *port, now);
        bus_.nodes[*node].counterRate[*port] = *rate;
        return ok;
    }
    if (verb == "NODE_OFF" && argc == 2) {
        auto node = nodeArg(w[1]);
        auto ms = ToInt<int32_t>(w[2]);
        if (!node || !ms || *ms < 0 || *ms > kMaxDelayMs) return bad();
        // One entry per node, so repeating the command cannot grow the list.
        const auto until = now + std::chrono::milliseconds(*ms);
        auto same = std::find_if(nodeOff_.begin(), nodeOff_.end(), [&](const NodeOff& off) {
            return off.node == static_cast<int32_t>(*node);
        });
        if (same == nodeOff_.end()) {
            nodeOff_.push_back({static_cast<int32_t>(*node), until});
        } else {
            same->until = std::max(same->until, until);
        }
        return ok;
    }
    if (verb == "LOST" && argc == 1) {
        auto rate = ToRate(w[1]);
        if (!rate) return bad();
        RebaseLost(now);
        bus_.lostRate = *rate;
        return ok;
    }
    if (verb == "SET" && argc == 3) {
        auto node = nodeArg(w[1]);
        auto value = ToInt<int32_t>(w[3]);
        if (!node || !value) return bad();
        Node& n = bus_.nodes[*node];
        int32_t* field = NodeField(n, w[2]);
        if (!field) return bad();
        for (int reg = 0; reg < 4; ++reg) {
            // A counter set while its port's rate runs rises from the new value.
            if (field == &n.errorCounters[reg]) RebaseCounters(*node, reg / 2, now);
        }
        *field = *value;
        return ok;
    }
    if (verb == "ODD" && argc == 2) {
        std::string prefix(w[1]);
        std::erase_if(odd_, [&](const OddRule& r) { return r.prefix == prefix; });
        if (w[2] == "OFF") return ok;
        if (prefix.starts_with("@SIM")) return bad();  // would lock out the switch itself
        Odd mode;
        if (w[2] == "WORD")
            mode = Odd::kWord;
        else if (w[2] == "EMPTY")
            mode = Odd::kEmpty;
        else if (w[2] == "LONG")
            mode = Odd::kLong;
        else if (w[2] == "BINARY")
            mode = Odd::kBinary;
        else
            return bad();
        if (odd_.size() >= 64) return bad();
        odd_.push_back({std::move(prefix), mode});
        return ok;
    }
    if (verb == "LINK" && argc >= 1) {
        if (w[1] == "WRONG_SEQ" && argc == 1)
            ok.link.wrongSeq = true;
        else if (w[1] == "CUT" && argc == 1)
            ok.link.cut = true;
        else if (w[1] == "OVERSIZE" && argc == 1)
            ok.link.oversize = true;
        else if (w[1] == "BYTEWISE" && argc == 2 && (w[2] == "0" || w[2] == "1"))
            ok.link.bytewise = w[2] == "1" ? 1 : 0;
        else
            return bad();
        return ok;
    }
    if (verb == "TABLE" && argc == 2) {
        auto index = ToInt<int32_t>(w[1]);
        double v = 0;
        auto [ptr, ec] = std::from_chars(w[2].data(), w[2].data() + w[2].size(), v);
        if (!index || *index < 0 || *index >= static_cast<int32_t>(kTableSize) ||
            ec != std::errc() || ptr != w[2].data() + w[2].size() || !std::isfinite(v) ||
            std::fabs(v) > 3.0e38)
            return bad();
        table_[static_cast<std::size_t>(*index)] = static_cast<float>(v);
        return ok;
    }
    static constexpr std::string_view kVerbs[] = {"RESET",    "LATENCY",  "STALL", "DROP_LINK",
                                                  "COUNTERS", "NODE_OFF", "LOST",  "SET",
                                                  "ODD",      "LINK",     "TABLE"};
    if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) != std::end(kVerbs)) return bad();
    return Error(kUnknownCommand, "unknown @SIM command");
}

}  // namespace kestrum::sim
