#include "kestrum/client/net.h"

#include <climits>

#include "kestrum.h"

namespace kestrum::net {

int Deadline::RemainingMs() const {
    auto left = end_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Reset();
        handle_ = std::exchange(other.handle_, kNoSocket);
#ifndef _WIN32
        receiveTimeoutMs_ = std::exchange(other.receiveTimeoutMs_, -1);
#endif
    }
    return *this;
}

Socket ConnectWithin(uint32_t address, uint16_t port, uint32_t timeoutMs, int32_t& status) {
    const Deadline deadline(timeoutMs);
    status = KST_ERR_SYSTEM;
    Socket socket;
    if (!socket.Open(Socket::Type::kStream) || !SetNoDelay(socket.get())) return {};
    int error = StartConnect(socket.get(), address, port);
    if (ConnectPending(error)) {
        switch (WaitFor(socket.get(), Direction::kWrite, deadline)) {
            case WaitResult::kTimeout:
                status = KST_ERR_CONNECT_TIMEOUT;
                return {};
            case WaitResult::kError:
                return {};
            case WaitResult::kReady:
                break;
        }
        error = PendingConnectError(socket.get());
    }
    status = ConnectStatus(error);
    if (status != 0) return {};
    if (!SetLinkMode(socket.get())) {
        status = KST_ERR_SYSTEM;
        return {};
    }
    return socket;
}

}  // namespace kestrum::net
