// The node fields that only the emulated segment shows, as bus files and "@SIM SET" give
// them: every value checked here, so the segment can trust what it is handed.
#include <array>
#include <string>
#include <utility>

#include "kestrum/server/command_text.h"
#include "kestrum/server/integer_text.h"
#include "kestrum_sim/bus.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

using server::ParseInteger;

// Longer would outlast any master's patience many times over.
constexpr double kMaxBusyMs = 1000.0;

constexpr std::array<std::pair<std::string_view, bool EscTraits::*>, 5> kFlags = {{
    {"esc.eepromEmulated", &EscTraits::eepromEmulated},
    {"esc.eepromAssignedToPdi", &EscTraits::eepromAssignedToPdi},
    {"esc.pdiAccessActive", &EscTraits::pdiAccessActive},
    {"esc.eepromChecksumError", &EscTraits::eepromChecksumError},
    {"esc.eepromNotLoaded", &EscTraits::eepromNotLoaded},
}};

constexpr std::array<std::pair<std::string_view, int32_t>, 5> kAlStates = {{
    {"INIT", 1},
    {"PREOP", 2},
    {"BOOT", 3},
    {"SAFEOP", 4},
    {"OP", 8},
}};

// Integer fields with their bounds, checked before SetInteger stores them.
struct IntegerLimits {
    std::string_view name;
    int32_t min, max;
    std::string_view range;
};
constexpr std::array<IntegerLimits, 4> kIntegers = {{
    {"alStatusCode", 0, 0xFFFF, "must be 0 to 0xFFFF"},
    // 003EH holds the size less one in 16 bits.
    {"esc.eepromKbit", 1, 0x10000, "must be 1 to 65536 (Kbit)"},
    // Half the largest image a walk may read, so that the rest still fits.
    {"esc.siiPdoWords", 0, 0x4000, "must be 0 to 16384 (words)"},
    {"esc.siiCategorySize", 0, 0xFFFF, "must be 0 to 0xFFFF (words)"},
}};

void SetInteger(Node& node, std::string_view name, int32_t value) {
    if (name == "alStatusCode")
        node.alStatusCode = value;
    else if (name == "esc.eepromKbit")
        node.esc.eepromKbit = value;
    else if (name == "esc.siiPdoWords")
        node.esc.siiPdoWords = value;
    else
        node.esc.siiCategorySize = value;
}

std::optional<bool> Flag(std::string_view text) {
    if (text == "1" || text == "true") return true;
    if (text == "0" || text == "false") return false;
    return std::nullopt;
}

bool Refuse(std::string* error, std::string reason) {
    if (error) *error = std::move(reason);
    return false;
}

}  // namespace

bool IsSegmentField(std::string_view name) {
    for (const auto& [flag, member] : kFlags)
        if (name == flag) return true;
    for (const auto& limits : kIntegers)
        if (name == limits.name) return true;
    return name == "esc.eepromBusyMs" || name == "esc.eepromReadBytes" || name == "alState" ||
           name == "alError" || name == "alDeviceId";
}

bool SetSegmentField(Node& node, std::string_view name, std::string_view text, std::string* error) {
    for (const auto& [flag, member] : kFlags) {
        if (name != flag) continue;
        const auto value = Flag(text);
        if (!value) return Refuse(error, "expected true or false");
        node.esc.*member = *value;
        return true;
    }
    for (const auto& limits : kIntegers) {
        if (name != limits.name) continue;
        const auto value = ParseInteger<int32_t>(text);
        if (!value || *value < limits.min || *value > limits.max)
            return Refuse(error, std::string(limits.range));
        SetInteger(node, name, *value);
        return true;
    }
    if (name == "alError" || name == "alDeviceId") {
        const auto value = Flag(text);
        if (!value) return Refuse(error, "expected true or false");
        (name == "alError" ? node.alError : node.alDeviceId) = *value;
    } else if (name == "esc.eepromBusyMs") {
        const auto ms = ToRate(text);
        if (!ms || *ms > kMaxBusyMs) return Refuse(error, "must be 0 to 1000 (ms)");
        node.esc.eepromBusyMs = *ms;
    } else if (name == "esc.eepromReadBytes") {
        const auto bytes = ParseInteger<int32_t>(text);
        if (!bytes || (*bytes != 4 && *bytes != 8)) return Refuse(error, "must be 4 or 8");
        node.esc.eepromReadBytes = *bytes;
    } else if (name == "alState") {
        const auto state = AlStateOf(text);
        if (!state) return Refuse(error, "must be INIT, PREOP, BOOT, SAFEOP or OP");
        node.alState = *state;
    } else {
        return Refuse(error, "unknown key");
    }
    return true;
}

std::optional<int32_t> AlStateOf(std::string_view text) {
    for (const auto& [state, value] : kAlStates)
        if (text == state) return value;
    return std::nullopt;
}

}  // namespace kestrum::sim
