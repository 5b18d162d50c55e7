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
    return name == "esc.eepromBusyMs" || name == "esc.eepromReadBytes" || name == "alState" ||
           name == "alError" || name == "alStatusCode";
}

bool SetSegmentField(Node& node, std::string_view name, std::string_view text, std::string* error) {
    for (const auto& [flag, member] : kFlags) {
        if (name != flag) continue;
        const auto value = Flag(text);
        if (!value) return Refuse(error, "expected true or false");
        node.esc.*member = *value;
        return true;
    }
    if (name == "alError") {
        const auto value = Flag(text);
        if (!value) return Refuse(error, "expected true or false");
        node.alError = *value;
    } else if (name == "esc.eepromBusyMs") {
        const auto ms = ToRate(text);
        if (!ms || *ms > kMaxBusyMs) return Refuse(error, "must be 0 to 1000 (ms)");
        node.esc.eepromBusyMs = *ms;
    } else if (name == "esc.eepromReadBytes") {
        const auto bytes = ParseInteger<int32_t>(text);
        if (!bytes || (*bytes != 4 && *bytes != 8)) return Refuse(error, "must be 4 or 8");
        node.esc.eepromReadBytes = *bytes;
    } else if (name == "alStatusCode") {
        const auto code = ParseInteger<int32_t>(text);
        if (!code || *code < 0 || *code > 0xFFFF) return Refuse(error, "must be 0 to 0xFFFF");
        node.alStatusCode = *code;
    } else if (name == "alState") {
        for (const auto& [state, value] : kAlStates) {
            if (text != state) continue;
            node.alState = value;
            return true;
        }
        return Refuse(error, "must be INIT, PREOP, BOOT, SAFEOP or OP");
    } else {
        return Refuse(error, "unknown key");
    }
    return true;
}

}  // namespace kestrum::sim
