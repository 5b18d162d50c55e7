#include "gateway_interpreter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>

#include "kestrum_sim/command_text.h"

namespace pelvane::gateway {

namespace {

using kestrum::sim::Error;
using kestrum::sim::Outcome;
using kestrum::sim::PrintInt;

constexpr int32_t kFirstRegisterItem = 768;  // 0300H, one item a byte up to 0313H
constexpr int32_t kSiiUnread = 3002;
constexpr size_t kMaxNodeLines = 24;
constexpr uint16_t kAlErrorBit = 0x10;

// Numbers the controller prints are signed 32-bit; IDs keep their bit pattern.
Outcome PrintId(uint32_t id) {
    return PrintInt(static_cast<int32_t>(id));
}

const char* StateBase(uint16_t alStatus) {
    switch (alStatus & 0x0F) {
        case ecat::kAlStateInit:
            return "INIT";
        case ecat::kAlStatePreop:
            return "PREOP";
        case ecat::kAlStateBoot:
            return "BOOT";
        case ecat::kAlStateSafeop:
            return "SAFEOP";
        case ecat::kAlStateOp:
            return "OP";
        default:
            return "UNKNOWN";
    }
}

// "SAFEOP+ERR" for a node whose AL status has its error bit.
std::string StateName(uint16_t alStatus) {
    return std::string(StateBase(alStatus)) + ((alStatus & kAlErrorBit) != 0 ? "+ERR" : "");
}

// What is wrong with each node that the user should see, a line each, at most
// kMaxNodeLines of them: the reply must keep its lost count inside a client's buffer.
std::string NodeLines(const std::vector<ecat::NodeScan>& nodes) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < nodes.size(); ++i) {
        const ecat::NodeScan& node = nodes[i];
        const std::string name = "Node" + std::to_string(i) + ": ";
        if (node.siiFault != ecat::SiiFault::kNone)
            lines.push_back(name + std::string(ecat::SiiFaultText(node.siiFault)));
        else if (node.eepromChecksumError)
            lines.push_back(name + std::string(ecat::SiiFaultText(ecat::SiiFault::kChecksumError)));
        if (node.alStatusCode != 0) {
            char code[32];
            std::snprintf(code, sizeof code, "AL status code %04XH", node.alStatusCode);
            lines.push_back(name + code);
        }
    }
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kMaxNodeLines; ++i) text += lines[i] + "\r\n";
    if (lines.size() > kMaxNodeLines)
        text += "and " + std::to_string(lines.size() - kMaxNodeLines) + " more node lines\r\n";
    return text;
}

// Identity and PDO counts of a node whose SII is not read are no numbers: a 0 would read
// as a vendor.
std::optional<Outcome> Unread(const ecat::NodeScan& node) {
    if (node.siiRead) return std::nullopt;
    const std::string_view reason = node.siiFault == ecat::SiiFault::kNone
                                        ? std::string_view("SII not read yet")
                                        : ecat::SiiFaultText(node.siiFault);
    return Error(kSiiUnread, std::string(reason));
}

}  // namespace

std::string BuildDate(const char* compilerDate) {
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string date = compilerDate;
    int month = 1;
    for (size_t m = 0; m < kMonths.size(); ++m)
        if (date.compare(0, 3, kMonths[m]) == 0) month = static_cast<int>(m) + 1;
    std::string day = date.size() >= 6 ? date.substr(4, 2) : "01";
    if (day[0] == ' ') day[0] = '0';
    char text[16];
    std::snprintf(text, sizeof text, "%s%02d%s",
                  date.size() >= 11 ? date.substr(7, 4).c_str() : "1970", month, day.c_str());
    return text;
}

std::string MacDigits(const ecat::Mac& mac) {
    std::string text;
    char byte[3];
    for (const uint8_t b : mac) {
        std::snprintf(byte, sizeof byte, "%02X", b);
        text += byte;
    }
    return text;
}

void GatewayInterpreter::Update(LineReport report) {
    if (report.scan) scan_ = std::move(report.scan);
    framesLost_ = report.framesLost;
    line_ = report.line;
}

std::string GatewayInterpreter::Report() const {
    std::map<std::string, int> states;
    for (const ecat::NodeScan& node : scan_->nodes) ++states[StateName(node.alStatus)];
    // Readers cut "Lostcount:" up to the report's second full stop: the first line holds
    // the only one before it.
    std::string report = "EtherCAT gateway: read only, nodes are left in their state.\r\nNodes:" +
                         std::to_string(scan_->nodes.size()) + "\r\nStates:";
    for (const auto& [state, count] : states) report += " " + state + " " + std::to_string(count);
    report += "\r\nCycle:" + std::to_string(identity_.cycleMs * 1000) + "us\r\n" +
              NodeLines(scan_->nodes) + "Line: " + std::string(LineConditionText(line_)) +
              "\r\nLostcount:" + std::to_string(framesLost_) + ".\r\n";
    return report;
}

Outcome GatewayInterpreter::NodeInfo(const ecat::NodeScan& node, int32_t item) const {
    const bool fromSii = (item >= 0 && item <= 2) || (item >= 10 && item <= 13);
    if (auto unread = Unread(node); unread && fromSii) return *unread;
    switch (item) {
        case 0:
            return PrintId(node.sii.vendorId);
        case 1:
            return PrintId(node.sii.productCode);
        case 2:
            return PrintId(node.sii.revision);
        case 3:
            return PrintInt(node.alias);
        case 10:
            return PrintInt(node.io.inputs);
        case 11:
            return PrintInt(node.io.outputs);
        case 12:
            return PrintInt(node.io.ad);
        case 13:
            return PrintInt(node.io.da);
        default:
            break;
    }
    if (item >= kFirstRegisterItem && item < kFirstRegisterItem + ecat::kErrorCounterBytes)
        return PrintInt(node.counters[static_cast<size_t>(item - kFirstRegisterItem)]);
    return Error(kestrum::sim::kBadArgument, "no such item");
}

int32_t GatewayInterpreter::NodeCount() const {
    return static_cast<int32_t>(scan_->nodes.size());
}

Outcome GatewayInterpreter::NodeCommand(std::string_view name, std::string_view command) {
    using kestrum::sim::kBadArgument;
    const size_t count = name == "?NODE_INFO" || name == "?NODE_AIO" ? 3
                         : name == "SDO_READ"                        ? 6
                                                                     : 2;
    std::vector<int32_t> args;
    if (auto bad = kestrum::sim::BusArgs(command, name, count, NodeCount(), args)) return *bad;
    const auto& nodes = scan_->nodes;
    const auto node = static_cast<size_t>(args[1]);
    if (name == "SDO_READ")
        return Error(kestrum::sim::kSdoFailed,
                     "SDO read refused: the gateway changes no node state, and a mailbox "
                     "needs PREOP");
    if (name == "?NODE_INFO") return NodeInfo(nodes[node], args[2]);
    if (auto unread = Unread(nodes[node]); unread && name == "?NODE_AXIS_COUNT") return *unread;
    if (name == "?NODE_AXIS_COUNT") return PrintInt(nodes[node].io.axes);
    int64_t base = 0;
    for (size_t i = 0; i < node; ++i) {
        // A base counted over a node whose PDOs are unknown would be a guess.
        if (auto unread = Unread(nodes[i])) return *unread;
        const ecat::IoCounts& io = nodes[i].io;
        base += name == "?NODE_IO" ? std::max(io.inputs, io.outputs) : std::max(io.ad, io.da);
    }
    if (name == "?NODE_AIO" && args[2] != 0) return Error(kBadArgument, "bad channel kind");
    return PrintInt(base);
}

Outcome GatewayInterpreter::Execute(std::string_view command, kestrum::sim::Clock::time_point) {
    const std::string_view trimmed = kestrum::sim::TrimBlanks(command);
    if (trimmed == "?CONTROL") return kestrum::sim::Print("GATEWAY");
    if (trimmed == "?VERSION_DATE") return kestrum::sim::Print(identity_.versionDate);
    if (trimmed == "?SERIAL_NUMBER") return kestrum::sim::Print(identity_.serial);
    if (trimmed == "?*ETHERCAT") {
        Outcome out;
        out.text = Report();
        return out;
    }
    if (kestrum::sim::StartsWith(trimmed, "?TABLE("))
        return kestrum::sim::TableReply(trimmed, table_);
    const std::string_view name = trimmed.substr(0, trimmed.find('('));
    if (name == "?NODE_COUNT") {
        std::vector<int32_t> args;
        if (auto bad = kestrum::sim::BusArgs(trimmed, name, 1, NodeCount(), args)) return *bad;
        return PrintInt(NodeCount());
    }
    if (name == "?NODE_INFO" || name == "?NODE_AXIS_COUNT" || name == "?NODE_IO" ||
        name == "?NODE_AIO" || name == "SDO_READ")
        return NodeCommand(name, trimmed);
    return Error(kestrum::sim::kUnknownCommand, "unknown command");
}

}  // namespace pelvane::gateway
