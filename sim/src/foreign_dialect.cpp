#include "sim/src/foreign_dialect.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <random>
#include <string>

#include "kestrum/language/node_items.h"
#include "kestrum/language/status_codes.h"
#include "kestrum/server/command_text.h"
#include "sim/src/sim_text.h"

namespace kestrum::sim {
namespace {

using namespace language;
using server::Outcome;

constexpr int32_t kOurCodes[] = {kUnknownCommand, kBadArgument, kNoSuchNode, kSdoFailed,
                                 kSiiUnread};
constexpr int32_t kMaxCode = 9999;

// What our window sends, and so all that such a controller is sure to know.
constexpr std::string_view kWindowCommands[] = {
    "?CONTROL",   "?VERSION_DATE",    "?SERIAL_NUMBER", "?*ETHERCAT", "?NODE_COUNT",
    "?NODE_INFO", "?NODE_AXIS_COUNT", "?NODE_IO",       "?NODE_AIO",  "SDO_READ",
    "?TABLE"};
constexpr int32_t kWindowItems[] = {
    kItemVendorId,         kItemDeviceId,         kItemSwitchNo,        kItemInputCount,
    kItemOutputCount,      kItemAdCount,          kItemDaCount,         kItemRegister300H,
    kItemRegister300H + 1, kItemRegister300H + 2, kItemRegister300H + 3};

template <class Range, class T>
bool Contains(const Range& range, const T& value) {
    return std::find(std::begin(range), std::end(range), value) != std::end(range);
}

// A register item's value as the slave controller's byte holds it.
int32_t Byte(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, 0, 0xFF));
}

// The printed reply's number: the value as this command saw it.
std::optional<int64_t> Printed(const Outcome& answer) {
    std::string_view printed = answer.text;
    if (printed.ends_with("\r\n")) printed.remove_suffix(2);
    return server::ToInt<int64_t>(printed);
}

std::optional<bool> Switch(std::string_view word) {
    if (word == "1") return true;
    if (word == "0") return false;
    return std::nullopt;
}

}  // namespace

ForeignDialect::ForeignDialect(bool plain, bool wideRegisters, uint32_t seed)
    : plain_(plain), wide_(wideRegisters), codes_{} {
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < codes_.size(); ++i) {
        int32_t theirs = 0;
        // Distinct and never ours, so that a client cannot read one as our meaning.
        do {
            theirs = static_cast<int32_t>(1 + rng() % kMaxCode);
        } while (Contains(kOurCodes, theirs) ||
                 std::any_of(codes_.begin(), codes_.begin() + static_cast<std::ptrdiff_t>(i),
                             [&](const auto& c) { return c.second == theirs; }));
        codes_[i] = {kOurCodes[i], theirs};
    }
}

std::optional<Outcome> ForeignDialect::SimCommand(const std::vector<std::string_view>& words) {
    if (words.empty() || (words[0] != "PLAIN" && words[0] != "WIDE")) return std::nullopt;
    const auto on = words.size() == 2 ? Switch(words[1]) : std::nullopt;
    if (!on) return Bad();
    (words[0] == "PLAIN" ? plain_ : wide_) = *on;
    return Ok();
}

void ForeignDialect::Answer(server::ControllerModel& model, std::string_view command,
                            Outcome& answer, server::Clock::time_point now) const {
    const std::string_view trimmed = server::TrimBlanks(command);
    if (plain_ && !Contains(kWindowCommands, trimmed.substr(0, trimmed.find('(')))) {
        answer = server::Error(kUnknownCommand, "unknown command");
        return;
    }
    // Errors stand as the model gave them: a bad slot or node is refused alike.
    if (answer.status != 0 || (!plain_ && !wide_)) return;
    const auto args = server::CallArgs(trimmed, "?NODE_INFO");
    if (!args || args->size() != 3) return;
    const int32_t node = (*args)[1];
    const int32_t item = (*args)[2];
    if (plain_ && !Contains(kWindowItems, item)) {
        answer = server::Error(kBadArgument, "no such item");
        return;
    }
    if (!IsRegisterRange(item, 1)) return;
    const auto low = Printed(answer);
    if (!low) return;
    int32_t value = Byte(*low);
    // Two bytes read at the item's address; past the end of its block the bus reads 0.
    if (wide_ && IsRegisterRange(item, 2)) {
        const server::NodeValue next = model.NodeItem(node, item + 1, now);
        if (next.ok()) value |= Byte(next.value()) << 8;
    }
    answer = server::PrintInt(value);
}

void ForeignDialect::Renumber(Outcome& answer) const {
    if (!plain_ || answer.status == 0) return;
    const auto* code = std::find_if(codes_.begin(), codes_.end(),
                                    [&](const auto& c) { return c.first == answer.status; });
    if (code == codes_.end()) return;
    const std::string ours = "Error " + std::to_string(code->first) + ": ";
    // An odd reply keeps its text and takes only the number.
    if (answer.text.starts_with(ours))
        answer.text =
            "Error " + std::to_string(code->second) + ": " + answer.text.substr(ours.size());
    answer.status = code->second;
}

}  // namespace kestrum::sim
