#include "fake_kestrum.h"

#include <algorithm>
#include <cstring>

namespace pelvane::fake {

void Controller::Reset() {
    replies_.clear();
    default_ = Response{};
    calls_.clear();
}

std::vector<std::string> Controller::Commands() const {
    std::vector<std::string> commands;
    for (const Call& call : calls_) {
        if (call.function == Function::Execute || call.function == Function::DirectCommand) {
            commands.push_back(call.command);
        }
    }
    return commands;
}

const Response& Controller::ResponseFor(const std::string& command) const {
    const auto found = replies_.find(command);
    return found != replies_.end() ? found->second : default_;
}

Controller& TheController() {
    static Controller controller;
    return controller;
}

KST_HANDLE Handle(std::uintptr_t value) {
    return reinterpret_cast<KST_HANDLE>(value);
}

namespace {

int32_t Answer(const char* command, char* reply, uint32_t capacity) {
    if (command == nullptr || reply == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    const Response& response = TheController().ResponseFor(command);
    switch (response.write) {
        case ReplyWrite::Text: {
            const std::size_t length = std::min<std::size_t>(response.reply.size(), capacity - 1);
            std::memcpy(reply, response.reply.data(), length);
            reply[length] = '\0';
            break;
        }
        case ReplyWrite::Untouched:
            break;
        case ReplyWrite::Unterminated:
            std::memset(reply, 'x', capacity);
            break;
    }
    return response.status;
}

}  // namespace

}  // namespace pelvane::fake

using pelvane::fake::Call;
using pelvane::fake::Function;
using pelvane::fake::TheController;

extern "C" {

int32_t KST_FastOpen(int32_t type, const char* address, uint32_t timeoutMs, KST_HANDLE* handle) {
    TheController().Record(
        Call{Function::FastOpen, nullptr, address != nullptr ? address : "", timeoutMs, 0});
    if (handle == nullptr || type != KST_TYPE_ETHERNET) return KST_ERR_INVALID_ARGUMENT;
    *handle = pelvane::fake::Handle(1);
    return 0;
}

int32_t KST_Close(KST_HANDLE handle) {
    TheController().Record(Call{Function::Close, handle, "", std::nullopt, 0});
    return 0;
}

int32_t KST_SetTimeOut(KST_HANDLE handle, uint32_t timeoutMs) {
    TheController().Record(Call{Function::SetTimeOut, handle, "", timeoutMs, 0});
    return 0;
}

int32_t KST_Execute(KST_HANDLE handle, const char* command, uint32_t timeoutMs, char* reply,
                    uint32_t replyCapacity) {
    TheController().Record(Call{Function::Execute, handle, command != nullptr ? command : "",
                                timeoutMs, replyCapacity});
    return pelvane::fake::Answer(command, reply, replyCapacity);
}

int32_t KST_DirectCommand(KST_HANDLE handle, const char* command, char* reply,
                          uint32_t replyCapacity) {
    TheController().Record(Call{Function::DirectCommand, handle, command != nullptr ? command : "",
                                std::nullopt, replyCapacity});
    return pelvane::fake::Answer(command, reply, replyCapacity);
}

int32_t KST_SearchEth(char* addresses, uint32_t capacity, uint32_t searchMs) {
    TheController().Record(Call{Function::SearchEth, nullptr, "", searchMs, capacity});
    if (addresses == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    addresses[0] = '\0';
    return 0;
}

}  // extern "C"
