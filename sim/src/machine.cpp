#include "machine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "kestrum_sim/command_text.h"

namespace kestrum::sim {
namespace {

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
    // Nodes back on the bus leave the list, so that switching nodes off cannot grow it.
    std::erase_if(nodeOff_, [now](const NodeOff& off) { return off.until <= now; });
    return LineEnd(now);
}

int32_t Machine::LineEnd(Clock::time_point now) const {
    auto end = static_cast<int32_t>(bus_.nodes.size());
    for (const auto& off : nodeOff_) {
        if (off.until > now) end = std::min(end, off.node);
    }
    return end;
}

std::vector<SegmentNode> Machine::SegmentNodes(Clock::time_point now) const {
    std::vector<SegmentNode> line;
    auto end = static_cast<std::size_t>(LineEnd(now));
    line.reserve(end);
    for (std::size_t i = 0; i < end; ++i) {
        SegmentNode& s = line.emplace_back();
        s.device = bus_.nodes[i];
        for (int reg = 0; reg < 4; ++reg)
            s.counters[static_cast<std::size_t>(reg)] = Counter(i, reg, now);
    }
    return line;
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

Outcome Machine::NodeInfo(std::size_t node, int32_t item, Clock::time_point now) const {
    const Node& n = bus_.nodes[node];
    switch (item) {
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
            return PrintInt(Counter(node, item - 768, now));
        default:
            return Error(kBadArgument, "no such item");
    }
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
    auto busArgs = [&](std::size_t count, std::vector<int32_t>& args) {
        return BusArgs(trimmed, name, count, visible, args);
    };
    std::vector<int32_t> a;

    if (name == "?NODE_COUNT") {
        if (auto bad = busArgs(1, a)) return *bad;
        return PrintInt(visible);
    }
    if (name == "?NODE_INFO") {
        if (auto bad = busArgs(3, a)) return *bad;
        return NodeInfo(static_cast<std::size_t>(a[1]), a[2], now);
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
    if (StartsWith(trimmed, "?TABLE(")) return TableReply(trimmed, table_);
    return Error(kUnknownCommand, "unknown command");
}

}  // namespace kestrum::sim
