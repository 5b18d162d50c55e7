#include "nodes/register_poll.h"

#include "controller/queries.h"
#include "controller/result_codes.h"
#include "kestrum/language/status_codes.h"
#include "nodes/error_poll.h"

namespace pelvane {

namespace {

namespace language = kestrum::language;

using Answer = RegisterPoll::Answer;

// An error code says the controller does not know the command or the item, for every node
// alike; an odd reply may be one node's. A node that left the bus or a link that failed
// says nothing about the controller: its values are just unread.
Answer AnswerOf(int32_t status) {
    if (status == language::kUnknownCommand || status == language::kBadArgument)
        return Answer::kRefused;
    if (status == kResultEmptyReply || status == kResultNotANumber) return Answer::kOdd;
    return Answer::kRead;
}

std::optional<int32_t> ReadItem(int32_t node, int32_t item, int32_t& status) {
    int32_t value = 0;
    bool found = false;
    status = GetNodeInfo(node, item, &value, &found);
    if (status == 0 && !found) status = kResultNotANumber;
    return status == 0 ? std::optional<int32_t>(value) : std::nullopt;
}

}  // namespace

NodeRegisters RegisterPoll::Read(int32_t node, int32_t& status) {
    NodeRegisters out;
    RegisterSource source = source_;
    const auto stepDown = [&](Answer answer, RegisterSource next) {
        if (answer == Answer::kRead) return;
        if (answer == Answer::kRefused) source_ = next;
        source = next;
        out = {};
    };
    if (source == RegisterSource::kBulk)
        stepDown(ReadBulk(node, out, status), RegisterSource::kItems);
    if (source == RegisterSource::kItems)
        stepDown(ReadItems(node, out, status), RegisterSource::kCountersOnly);
    if (source == RegisterSource::kCountersOnly) ReadCounters(node, out, status);
    return out;
}

RegisterPoll::Answer RegisterPoll::ReadBulk(int32_t node, NodeRegisters& out, int32_t& status) {
    std::array<int32_t, kRegisterCount> bytes{};
    status =
        GetNodeRegisters(node, language::kItemDlStatus, language::kDlStatusItemCount, bytes.data());
    if (const Answer answer = AnswerOf(status); answer != Answer::kRead) return answer;
    if (status == 0) out.dlStatus = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    status = GetNodeRegisters(node, language::kItemRegister300H, kRegisterCount, bytes.data());
    if (const Answer answer = AnswerOf(status); answer != Answer::kRead) return answer;
    if (status != 0) return Answer::kRead;
    for (int r = 0; r < kRegisterCount; ++r)
        if (RegisterIsCounter(r))
            out.counters[static_cast<size_t>(r)] = bytes[static_cast<size_t>(r)];
    return Answer::kRead;
}

// The DL status, the first item asked, tells whether the controller knows these items.
RegisterPoll::Answer RegisterPoll::ReadItems(int32_t node, NodeRegisters& out, int32_t& status) {
    const std::optional<int32_t> low = ReadItem(node, language::kItemDlStatus, status);
    if (const Answer answer = AnswerOf(status); answer != Answer::kRead) return answer;
    const std::optional<int32_t> high = ReadItem(node, language::kItemDlStatus + 1, status);
    if (low && high && *low >= 0 && *low <= 0xFF && *high >= 0 && *high <= 0xFF)
        out.dlStatus = static_cast<uint16_t>(*low | *high << 8);
    // Read apart, the processing unit's count comes first: every frame it counts is also
    // in 300H or 308H, so read after them it could pass for errors of the node's own.
    const auto read = [&](int r) {
        out.counters[static_cast<size_t>(r)] =
            ReadItem(node, language::kItemRegister300H + r, status);
    };
    read(kProcessingUnitRegister);
    for (int r = 0; r < kRegisterCount; ++r)
        if (RegisterIsCounter(r) && r != kProcessingUnitRegister) read(r);
    return Answer::kRead;
}

void RegisterPoll::ReadCounters(int32_t node, NodeRegisters& out, int32_t& status) {
    for (int r = 0; r < kCounterCount; ++r)
        out.counters[static_cast<size_t>(r)] =
            ReadItem(node, language::kItemRegister300H + r, status);
}

}  // namespace pelvane
