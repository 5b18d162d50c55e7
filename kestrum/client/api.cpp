// The six exported functions: argument checks, handle lookup, and the reply
// buffer contract; the work happens in Link and SearchControllers.
#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "kestrum.h"
#include "kestrum/client/address.h"
#include "kestrum/client/link.h"
#include "kestrum/client/net.h"
#include "kestrum/client/registry.h"
#include "kestrum/client/search.h"
#include "kestrum/wire/wire.h"

namespace {

using kestrum::Link;
using kestrum::Registry;

// Nothing may escape through the C interface.
template <typename F>
int32_t Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return KST_ERR_SYSTEM;
    }
}

// Cut to the buffer and to the first NUL: the caller reads a C string.
void CopyText(const std::string& text, char* reply, uint32_t capacity) {
    std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
    if (const void* nul = std::memchr(text.data(), '\0', n); nul != nullptr)
        n = static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
    std::memcpy(reply, text.data(), n);
    reply[n] = '\0';
}

// A time-out of 0 means the handle's own.
int32_t Run(KST_HANDLE handle, kestrum::wire::Kind kind, const char* command, uint32_t timeoutMs,
            char* reply, uint32_t capacity) {
    if (reply != nullptr && capacity > 0) reply[0] = '\0';
    if (command == nullptr || reply == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int32_t {
        std::shared_ptr<Link> link = Registry::Instance().Find(handle);
        if (!link) return KST_ERR_BAD_HANDLE;
        // strnlen: an unterminated or huge command must not be scanned to its end.
        std::string_view text(command, ::strnlen(command, kestrum::wire::kMaxCommandLength + 1));
        if (!kestrum::wire::IsSendableCommand(text)) return KST_ERR_BAD_COMMAND;
        uint32_t wait = timeoutMs == 0 ? link->timeout() : timeoutMs;
        std::string printed;
        int32_t status = link->Call(kind, text, wait, printed);
        // Our own codes come with nothing printed.
        if (kestrum::wire::IsControllerStatus(status)) CopyText(printed, reply, capacity);
        return status;
    });
}

}  // namespace

extern "C" {

KST_API int32_t KST_FastOpen(int32_t type, const char* address, uint32_t timeoutMs,
                             KST_HANDLE* handle) {
    if (type != KST_TYPE_ETHERNET || address == nullptr || handle == nullptr)
        return KST_ERR_INVALID_ARGUMENT;
    return Guarded([&]() -> int32_t {
        auto parsed = kestrum::ParseIPv4(
            std::string_view(address, ::strnlen(address, kestrum::kMaxAddressLength + 1)));
        if (!parsed) return KST_ERR_BAD_ADDRESS;
        int32_t status = 0;
        kestrum::net::Socket socket = kestrum::net::ConnectWithin(
            *parsed, kestrum::wire::kPort, timeoutMs == 0 ? kestrum::kDefaultTimeoutMs : timeoutMs,
            status);
        if (!socket.valid()) return status;
        *handle = Registry::Instance().Add(std::make_shared<Link>(std::move(socket)));
        return 0;
    });
}

KST_API int32_t KST_Close(KST_HANDLE handle) {
    return Guarded([&]() -> int32_t {
        std::shared_ptr<Link> link = Registry::Instance().Remove(handle);
        if (!link) return KST_ERR_BAD_HANDLE;
        // The socket itself is closed when the last call still using the link returns.
        link->Shutdown();
        return 0;
    });
}

KST_API int32_t KST_SetTimeOut(KST_HANDLE handle, uint32_t timeoutMs) {
    return Guarded([&]() -> int32_t {
        std::shared_ptr<Link> link = Registry::Instance().Find(handle);
        if (!link) return KST_ERR_BAD_HANDLE;
        link->SetTimeout(timeoutMs);
        return 0;
    });
}

KST_API int32_t KST_Execute(KST_HANDLE handle, const char* command, uint32_t timeoutMs, char* reply,
                            uint32_t replyCapacity) {
    return Run(handle, kestrum::wire::Kind::kBuffered, command, timeoutMs, reply, replyCapacity);
}

KST_API int32_t KST_DirectCommand(KST_HANDLE handle, const char* command, char* reply,
                                  uint32_t replyCapacity) {
    return Run(handle, kestrum::wire::Kind::kDirect, command, 0, reply, replyCapacity);
}

KST_API int32_t KST_SearchEth(char* addresses, uint32_t capacity, uint32_t searchMs) {
    if (addresses == nullptr || capacity == 0) return KST_ERR_INVALID_ARGUMENT;
    addresses[0] = '\0';
    return Guarded([&] { return kestrum::SearchControllers(addresses, capacity, searchMs); });
}

}  // extern "C"
