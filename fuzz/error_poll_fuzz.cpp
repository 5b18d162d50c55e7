// Two diagnosis polls against a controller whose every reply and status the fuzzer
// picks; the report of the first also goes through the lost-count cut on its own.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "controller/controller_state.h"
#include "kestrum.h"
#include "nodes/error_poll.h"
#include "nodes/lostcount.h"
#include "nodes/node_cells.h"
#include "nodes/poll_session.h"

namespace {

FuzzedDataProvider* g_data = nullptr;

int32_t Answer(char* reply, uint32_t capacity) {
    if (reply == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    const std::string text = g_data->ConsumeRandomLengthString(4096);
    const size_t length = std::min<size_t>(text.size(), capacity - 1);
    std::memcpy(reply, text.data(), length);
    reply[length] = '\0';
    // Mostly success, sometimes a controller error or a library failure.
    const int32_t statuses[] = {0, 0, 0, 2003, 3001, KST_ERR_TIMEOUT, KST_ERR_REPLY_OVERDUE};
    return statuses[g_data->ConsumeIntegralInRange<size_t>(0, std::size(statuses) - 1)];
}

// The cut starts at "Lostcount:" and can hold at most the report's first full stop.
void CheckCut(const std::string& report) {
    const std::string text = pelvane::CutLostcountText(report);
    if (text.empty()) return;
    if (text.rfind("Lostcount:", 0) != 0 || report.find(text) == std::string::npos)
        __builtin_trap();
    if (std::count(text.begin(), text.end(), '.') > 1) __builtin_trap();
}

}  // namespace

extern "C" {

int32_t KST_FastOpen(int32_t, const char*, uint32_t, KST_HANDLE*) {
    return KST_ERR_INVALID_ARGUMENT;
}
int32_t KST_Close(KST_HANDLE) {
    return 0;
}
int32_t KST_SetTimeOut(KST_HANDLE, uint32_t) {
    return 0;
}
int32_t KST_Execute(KST_HANDLE, const char*, uint32_t, char* reply, uint32_t capacity) {
    return Answer(reply, capacity);
}
int32_t KST_DirectCommand(KST_HANDLE, const char*, char* reply, uint32_t capacity) {
    return Answer(reply, capacity);
}
int32_t KST_SearchEth(char*, uint32_t, uint32_t) {
    return KST_ERR_INVALID_ARGUMENT;
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    g_data = &provider;
    CheckCut(provider.ConsumeRandomLengthString(4096));
    static int notALink = 0;
    pelvane::g_controllerHandle = reinterpret_cast<KST_HANDLE>(&notALink);

    pelvane::ErrorCounterTable table{};
    // Entries no poll may reach keep a mark.
    for (auto& array : table) std::fill(array.begin() + pelvane::kPollCapacity, array.end(), 77);
    pelvane::ErrorPoll poll;
    int32_t count = 0;
    for (int round = 0; round < 2; ++round) {
        (void)poll.ReadLostcountText();
        poll.PollNodes(table, count);
        if (count < 0 || count > pelvane::kPollCapacity) __builtin_trap();
        for (int32_t node = 0; node < count; ++node)
            for (const auto& array : table)
                (void)pelvane::FormatHex(array[static_cast<size_t>(node)]);
    }
    // The same replies judged over time: rises and the verdict of whatever came.
    auto session = std::make_unique<pelvane::PollSession>();
    for (int round = 0; round < 2; ++round) session->PollOnce();
    (void)pelvane::VerdictText(session->Judge());
    for (const auto& array : table) {
        if (std::any_of(array.begin() + pelvane::kPollCapacity, array.end(),
                        [](int32_t v) { return v != 77; }))
            __builtin_trap();
    }
    return 0;
}

}  // extern "C"
