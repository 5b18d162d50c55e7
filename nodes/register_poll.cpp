#include "nodes/register_poll.h"

#include <algorithm>

#include "controller/queries.h"
#include "controller/status_text.h"
#include "nodes/error_poll.h"

namespace pelvane {

namespace {

namespace language = kestrum::language;

constexpr int64_t kByteMax = 0xFF;
// A controller that reads two bytes at a register's address.
constexpr int64_t kWideMax = 0xFFFF;

// One item: its value, or why none.
struct ItemRead {
    std::optional<int32_t> value;
    std::optional<ReadFailure> failure;
};

ItemRead ReadItem(int32_t node, int32_t item, int32_t& status, int64_t max = kByteMax) {
    int32_t value = 0;
    bool found = false;
    status = GetNodeInfo(node, item, &value, &found);
    if (status == 0 && !found) status = kResultNotANumber;
    if (status != 0) return {std::nullopt, ReadFailure{NodeInfoCommand(node, item), status, {}}};
    if (value < 0 || value > max)
        return {std::nullopt, ReadFailure{NodeInfoCommand(node, item), 0, value}};
    return {value, std::nullopt};
}

std::optional<ReadFailure> ReadBlock(int32_t node, int32_t first, int32_t count, int32_t* bytes,
                                     int32_t& status) {
    status = GetNodeRegisters(node, first, count, bytes);
    if (status == 0) return std::nullopt;
    return ReadFailure{NodeRegistersCommand(node, first, count), status, {}};
}

bool Refuses(const std::optional<ReadFailure>& failure) {
    return failure && AnsweredOddly(*failure);
}

void Take(NodeRegisters& out, int reg, const ItemRead& read) {
    out.counters[static_cast<size_t>(reg)] = read.value;
    if (read.failure && reg < kCounterCount && !out.failure) out.failure = read.failure;
}

bool AnyValue(const NodeRegisters& out) {
    return out.dlStatus ||
           std::ranges::any_of(out.counters, [](const auto& c) { return c.has_value(); });
}

RegisterSource Next(RegisterSource source) {
    return source == RegisterSource::kBulk ? RegisterSource::kItems : RegisterSource::kCountersOnly;
}

}  // namespace

const char* RegisterSourceName(RegisterSource source) {
    switch (source) {
        case RegisterSource::kBulk:
            return "bulk";
        case RegisterSource::kItems:
            return "items";
        case RegisterSource::kCountersOnly:
            break;
    }
    return "counters";
}

std::string RegisterStepText(const RegisterStep& step) {
    const ReadFailure& why = step.why;
    const std::string said =
        IsControllerError(why.status)
            ? "the controller refused " + why.command + " with Error " + std::to_string(why.status)
            : ReadFailureText(why);
    if (step.lowByte) return "registers: " + said + "; taking each counter's low byte";
    return "registers: " + said +
           (step.to == RegisterSource::kItems ? "; reading items"
                                              : "; reading 300H..303H alone, as the window does");
}

NodeRegisters RegisterPoll::Read(int32_t node, int32_t& status) {
    NodeRegisters out;
    for (RegisterSource source = source_;; source = Next(source)) {
        out = {};
        if (source == RegisterSource::kCountersOnly) {
            ReadCounters(node, out, status);
            return out;
        }
        const std::optional<ReadFailure> refused = source == RegisterSource::kBulk
                                                       ? ReadBulk(node, out, status)
                                                       : ReadItems(node, out, status);
        bool& served = served_[static_cast<size_t>(source)];
        if (!refused) {
            served = served || AnyValue(out);
            return out;
        }
        if (!served && source == source_) {
            source_ = Next(source);
            steps_.push_back({source_, *refused, false});
        }
    }
}

std::optional<ReadFailure> RegisterPoll::ReadBulk(int32_t node, NodeRegisters& out,
                                                  int32_t& status) {
    std::array<int32_t, kRegisterCount> bytes{};
    std::optional<ReadFailure> failed = ReadBlock(
        node, language::kItemDlStatus, language::kDlStatusItemCount, bytes.data(), status);
    if (Refuses(failed)) return failed;
    if (!failed) out.dlStatus = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    failed = ReadBlock(node, language::kItemRegister300H, kRegisterCount, bytes.data(), status);
    if (Refuses(failed)) return failed;
    out.failure = failed;
    if (failed) return std::nullopt;
    for (int r = 0; r < kRegisterCount; ++r)
        if (RegisterIsCounter(r))
            out.counters[static_cast<size_t>(r)] = bytes[static_cast<size_t>(r)];
    return std::nullopt;
}

// The DL status, the first item asked, tells whether the controller knows these items.
// A refusal of one of our items steps down; one of the window's four is that counter's.
std::optional<ReadFailure> RegisterPoll::ReadItems(int32_t node, NodeRegisters& out,
                                                   int32_t& status) {
    const ItemRead low = ReadItem(node, language::kItemDlStatus, status);
    if (Refuses(low.failure)) return low.failure;
    const ItemRead high = ReadItem(node, language::kItemDlStatus + 1, status);
    if (Refuses(high.failure)) return high.failure;
    if (low.value && high.value)
        out.dlStatus = static_cast<uint16_t>(*low.value | *high.value << 8);
    // Read apart, the processing unit's count comes first: every frame it counts is also
    // in 300H or 308H, so read after them it could pass for errors of the node's own.
    const auto read = [&](int r) -> std::optional<ReadFailure> {
        const ItemRead item = ReadItem(node, language::kItemRegister300H + r, status);
        if (r >= kCounterCount && Refuses(item.failure)) return item.failure;
        Take(out, r, item);
        return std::nullopt;
    };
    if (auto refused = read(kProcessingUnitRegister)) return refused;
    for (int r = 0; r < kRegisterCount; ++r)
        if (RegisterIsCounter(r) && r != kProcessingUnitRegister)
            if (auto refused = read(r)) return refused;
    return std::nullopt;
}

void RegisterPoll::ReadCounters(int32_t node, NodeRegisters& out, int32_t& status) {
    for (int r = 0; r < kCounterCount; ++r) {
        ItemRead read = ReadItem(node, language::kItemRegister300H + r, status, kWideMax);
        if (read.value && *read.value > kByteMax) {
            // Two bytes read at the address: the register is the low one.
            if (std::ranges::none_of(steps_, &RegisterStep::lowByte))
                steps_.push_back(
                    {RegisterSource::kCountersOnly,
                     {NodeInfoCommand(node, language::kItemRegister300H + r), 0, *read.value},
                     true});
            *read.value &= kByteMax;
        }
        Take(out, r, read);
    }
}

}  // namespace pelvane
