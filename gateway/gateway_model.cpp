#include "gateway/gateway_model.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>

#include "kestrum/language/node_items.h"
#include "kestrum/language/status_codes.h"

namespace kestrum::gateway {

namespace {

using namespace kestrum::language;
using kestrum::server::Clock;
using kestrum::server::NodeValue;
using kestrum::server::Refusal;

constexpr size_t kMaxNodeLines = 24;

// Numbers the controller prints are signed 32-bit; IDs keep their bit pattern.
NodeValue IdValue(uint32_t id) {
    return static_cast<int32_t>(id);
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
    return std::string(StateBase(alStatus)) + ((alStatus & ecat::kAlErrorBit) != 0 ? "+ERR" : "");
}

// Why a node's registers are not served, when they are not: unanswered for too long.
std::optional<std::string> Unanswered(const ecat::NodeScan& node, Clock::time_point now) {
    const auto age = std::chrono::duration_cast<std::chrono::milliseconds>(now - node.readAt);
    if (node.registersRead && age < GatewayModel::kServedFor) return std::nullopt;
    return "not answered for " + std::to_string(std::max<int64_t>(0, age.count())) + " ms";
}

// With the error bit clear the code is a leftover of an acknowledged error; with bit 5 set
// 0134H holds the device ID asked for, not a code.
bool AlCodeStands(uint16_t alStatus) {
    return (alStatus & ecat::kAlErrorBit) != 0 && (alStatus & ecat::kAlIdLoadedBit) == 0;
}

// The power-up load's faults, reported whether or not the SII could be read.
void LoadLines(const ecat::NodeScan& node, const std::string& name,
               std::vector<std::string>& lines) {
    using ecat::SiiFault;
    const auto say = [&](SiiFault fault) {
        lines.push_back(name + std::string(ecat::SiiFaultText(fault)));
    };
    if (node.siiFault != SiiFault::kNone) say(node.siiFault);
    if (node.eepromNotLoaded && node.siiFault != SiiFault::kNotLoaded) say(SiiFault::kNotLoaded);
    if (node.eepromChecksumError && node.siiFault != SiiFault::kChecksumError)
        say(SiiFault::kChecksumError);
}

// What is wrong with each node that the user should see, a line each, at most
// kMaxNodeLines of them: the reply must keep its lost count inside a client's buffer.
std::string NodeLines(const std::vector<ecat::NodeScan>& nodes,
                      const std::vector<std::pair<uint16_t, std::string>>& findings,
                      Clock::time_point now) {
    std::vector<std::string> lines;
    auto finding = findings.begin();
    for (size_t i = 0; i < nodes.size(); ++i) {
        const ecat::NodeScan& node = nodes[i];
        const std::string name = "Node" + std::to_string(i) + ": ";
        if (const auto why = Unanswered(node, now)) lines.push_back(name + *why);
        LoadLines(node, name, lines);
        if (node.alStatusCode != 0 && AlCodeStands(node.alStatus)) {
            char code[32];
            std::snprintf(code, sizeof code, "AL status code %04XH", node.alStatusCode);
            lines.push_back(name + code);
        }
        for (; finding != findings.end() && finding->first <= i; ++finding)
            if (finding->first == i) lines.push_back(name + finding->second);
    }
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kMaxNodeLines; ++i) text += lines[i] + "\r\n";
    if (lines.size() > kMaxNodeLines)
        text += "and " + std::to_string(lines.size() - kMaxNodeLines) + " more node lines\r\n";
    return text;
}

// Identity and PDO counts of a node whose SII is not read are no numbers: a 0 would read
// as a vendor.
std::optional<Refusal> Unread(const ecat::NodeScan& node) {
    if (node.siiRead) return std::nullopt;
    const std::string_view reason = node.siiFault == ecat::SiiFault::kNone
                                        ? std::string_view("SII not read yet")
                                        : ecat::SiiFaultText(node.siiFault);
    return Refusal{kSiiUnread, std::string(reason)};
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

void GatewayModel::Update(LineReport report) {
    std::lock_guard lock(handoff_);
    if (handed_ && !report.scan) report.scan = std::move(handed_->scan);
    handed_ = std::move(report);
}

void GatewayModel::TakeUpdate() {
    std::optional<LineReport> taken;
    {
        std::lock_guard lock(handoff_);
        taken.swap(handed_);
    }
    if (!taken) return;
    LineReport& report = *taken;
    if (report.scan) scan_ = std::move(report.scan);
    framesLost_ = report.framesLost;
    framesLate_ = report.framesLate;
    line_ = report.line;
    loss_ = report.loss;
}

std::string GatewayModel::Report(Clock::time_point now) {
    TakeUpdate();
    std::map<std::string, int> states;
    for (const ecat::NodeScan& node : scan_->nodes) ++states[StateName(node.alStatus)];
    // One full stop only: readers cut the lost count at the report's second.
    std::string report =
        std::string(
            "EtherCAT gateway: reads registers and SII, asks drives "
            "through their mailboxes, ") +
        (identity_.preop ? "takes nodes found in INIT to PREOP" : "changes no node's state") +
        ".\r\nNodes:" + std::to_string(scan_->nodes.size()) + "\r\nStates:";
    for (const auto& [state, count] : states) report += " " + state + " " + std::to_string(count);
    report += "\r\nCycle:" + std::to_string(identity_.cycleMs * 1000) + "us\r\n" +
              NodeLines(scan_->nodes, desk_.Findings(), now);
    if (scan_->counted > scan_->nodes.size())
        report += "Line longer than " + std::to_string(ecat::kMaxScannedNodes) +
                  " nodes: " + std::to_string(scan_->counted) + " counted, the first " +
                  std::to_string(scan_->nodes.size()) + " served\r\n";
    report += "Late frames: " + std::to_string(framesLate_) +
              "\r\nLine: " + LineText(line_, loss_) +
              "\r\nLostcount:" + std::to_string(framesLost_) + ".\r\n";
    return report;
}

NodeValue GatewayModel::NodeItem(int32_t index, int32_t item, Clock::time_point now) {
    const ecat::NodeScan& node = At(index);
    if (IsSiiItem(item)) {
        if (auto unread = Unread(node)) return *unread;
    } else if (auto why = Unanswered(node, now)) {
        return Refusal{kSiiUnread, std::move(*why)};
    }
    switch (item) {
        case kItemVendorId:
            return IdValue(node.sii.vendorId);
        case kItemDeviceId:
            return IdValue(node.sii.productCode);
        case kItemRevision:
            return IdValue(node.sii.revision);
        case kItemSwitchNo:
            return node.alias;
        case kItemInputCount:
            return node.io.inputs;
        case kItemOutputCount:
            return node.io.outputs;
        case kItemAdCount:
            return node.io.ad;
        case kItemDaCount:
            return node.io.da;
        default:
            break;
    }
    if (IsErrorRegisterItem(item))
        return node.counters[static_cast<size_t>(item - kItemRegister300H)];
    // The language asks no other item: the DL status bytes are all that is left.
    return item == kItemDlStatus ? node.dlStatus & 0xFF : node.dlStatus >> 8;
}

int32_t GatewayModel::NodeCount(Clock::time_point) {
    // Every command about the bus asks this first.
    TakeUpdate();
    return static_cast<int32_t>(scan_->nodes.size());
}

NodeValue GatewayModel::AxisCount(int32_t node) {
    if (auto unread = Unread(At(node))) return *unread;
    return At(node).io.axes;
}

NodeValue GatewayModel::Base(int32_t node, int32_t (*channels)(const ecat::IoCounts&)) const {
    int64_t base = 0;
    for (int32_t i = 0; i < node; ++i) {
        // A base counted over a node whose PDOs are unknown would be a guess.
        if (auto unread = Unread(At(i))) return *unread;
        base += channels(At(i).io);
    }
    return base;
}

NodeValue GatewayModel::IoBase(int32_t node) {
    return Base(node, [](const ecat::IoCounts& io) { return std::max(io.inputs, io.outputs); });
}

NodeValue GatewayModel::AioBase(int32_t node) {
    return Base(node, [](const ecat::IoCounts& io) { return std::max(io.ad, io.da); });
}

NodeValue GatewayModel::SdoRead(int32_t node, int32_t index, int32_t subindex, int32_t) {
    if (index < 0 || index > 0xFFFF || subindex < 0 || subindex > 0xFF)
        return Refusal{kBadArgument, "no such object"};
    const ecat::SdoOutcome outcome =
        desk_.Ask(static_cast<uint16_t>(node),
                  {static_cast<uint16_t>(index), static_cast<uint8_t>(subindex)}, Clock::now());
    if (outcome.kind != ecat::SdoOutcome::Kind::kValue) return Refusal{kSdoFailed, outcome.why};
    return int64_t{outcome.value};
}

}  // namespace kestrum::gateway
