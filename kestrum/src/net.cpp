#include "net.h"

#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "kestrum.h"

namespace kestrum::net {

int Deadline::RemainingMs() const {
    auto left = end_ - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

void UniqueFd::Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

WaitResult WaitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, deadline.RemainingMs());
        if (n > 0) return WaitResult::kReady;  // errors and hang-ups show up in the next call
        if (n == 0) {
            // poll rounds to whole milliseconds; make sure the time really is up.
            if (deadline.Passed()) return WaitResult::kTimeout;
            continue;
        }
        if (errno != EINTR) return WaitResult::kError;
    }
}

UniqueFd ConnectWithin(const in_addr& address, uint16_t port, uint32_t timeoutMs, int32_t& status) {
    Deadline deadline(timeoutMs);
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        status = KST_ERR_SYSTEM;
        return {};
    }
    int one = 1;
    if (::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) {
        status = KST_ERR_SYSTEM;
        return {};
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = address;
    int error = 0;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        error = errno;
        if (error == EINPROGRESS || error == EINTR) {
            switch (WaitFor(fd.get(), POLLOUT, deadline)) {
                case WaitResult::kTimeout:
                    status = KST_ERR_CONNECT_TIMEOUT;
                    return {};
                case WaitResult::kError:
                    status = KST_ERR_SYSTEM;
                    return {};
                case WaitResult::kReady:
                    break;
            }
            socklen_t len = sizeof error;
            if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
        }
    }
    switch (error) {
        case 0: {
            // Blocking from here on: Link waits in recv under a receive time-out.
            int flags = ::fcntl(fd.get(), F_GETFL);
            if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
                status = KST_ERR_SYSTEM;
                return {};
            }
            status = 0;
            return fd;
        }
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
        case EACCES:
        case EPERM:
            status = KST_ERR_SYSTEM;
            return {};
        case ETIMEDOUT:
            status = KST_ERR_CONNECT_TIMEOUT;
            return {};
        default:
            status = KST_ERR_CONNECT_REFUSED;  // refused, unreachable, reset
            return {};
    }
}

}  // namespace kestrum::net
