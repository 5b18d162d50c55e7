#include "net.h"

#include <climits>

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

}  // namespace kestrum::net
