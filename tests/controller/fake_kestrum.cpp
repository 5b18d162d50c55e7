#include "tests/controller/fake_kestrum.h"

#include <algorithm>
#include <cstring>

using pelvane::fake::Call;
using pelvane::fake::Function;
using pelvane::fake::TheController;

namespace {

void Record(Call call) {
    TheController().calls.push_back(std::move(call));
}

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

int32_t Answer(const char* command, char* reply, uint32_t capacity) {
    if (command == nullptr || reply == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    const auto& replies = TheController().replies;
    const auto found = replies.find(command);
    const pelvane::fake::Response& response =
        found != replies.end() ? found->second : TheController().fallback;
    if (response.write == pelvane::fake::ReplyWrite::Text) {
        const std::size_t length = std::min<std::size_t>(response.reply.size(), capacity - 1);
        std::memcpy(reply, response.reply.data(), length);
        reply[length] = '\0';
    } else if (response.write == pelvane::fake::ReplyWrite::Unterminated) {
        std::memset(reply, 'x', capacity);
    }
    return response.status;
}

}  // namespace

extern "C" {

int32_t KST_FastOpen(int32_t type, const char* address, uint32_t timeoutMs, KST_HANDLE* handle) {
    Record(Call{Function::FastOpen, nullptr, Text(address), timeoutMs});
    if (handle == nullptr || type != KST_TYPE_ETHERNET) return KST_ERR_INVALID_ARGUMENT;
    *handle = pelvane::fake::Handle(1);
    return 0;
}

int32_t KST_Close(KST_HANDLE handle) {
    Record(Call{Function::Close, handle});
    return 0;
}

int32_t KST_SetTimeOut(KST_HANDLE handle, uint32_t timeoutMs) {
    Record(Call{Function::SetTimeOut, handle, "", timeoutMs});
    return 0;
}

int32_t KST_Execute(KST_HANDLE handle, const char* command, uint32_t timeoutMs, char* reply,
                    uint32_t replyCapacity) {
    Record(Call{Function::Execute, handle, Text(command), timeoutMs, replyCapacity});
    return Answer(command, reply, replyCapacity);
}

int32_t KST_DirectCommand(KST_HANDLE handle, const char* command, char* reply,
                          uint32_t replyCapacity) {
    Record(Call{Function::DirectCommand, handle, Text(command), std::nullopt, replyCapacity});
    return Answer(command, reply, replyCapacity);
}

int32_t KST_SearchEth(char* addresses, uint32_t capacity, uint32_t searchMs) {
    Record(Call{Function::SearchEth, nullptr, "", searchMs, capacity});
    if (addresses == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    addresses[0] = '\0';
    return 0;
}

}  // extern "C"
