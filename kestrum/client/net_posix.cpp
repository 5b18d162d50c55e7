// net.h on POSIX sockets. Links block in recv under a receive time-out, one system call
// per read; everything else is non-blocking with poll.
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kestrum.h"
#include "kestrum/client/net.h"

namespace kestrum::net {
namespace {

sockaddr_in At(uint32_t address, uint16_t port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(address);
    return at;
}

}  // namespace

SocketLayer::SocketLayer() : up_(true) {}
SocketLayer::~SocketLayer() = default;

void Socket::Reset() {
    if (valid()) ::close(handle_);
    handle_ = kNoSocket;
    receiveTimeoutMs_ = -1;
}

bool Socket::Open(Type type) {
    Reset();
    const int kind = type == Type::kStream ? SOCK_STREAM : SOCK_DGRAM;
    handle_ = ::socket(AF_INET, kind | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return valid();
}

Io Socket::SendSome(const unsigned char* data, std::size_t size, std::size_t& sent) {
    for (;;) {
        const ssize_t n = ::send(handle_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent = static_cast<std::size_t>(n);
            return Io::kDone;
        }
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Io::kWouldBlock : Io::kClosed;
    }
}

Io Socket::ReceiveSome(unsigned char* data, std::size_t size, const Deadline* deadline,
                       std::size_t& received) {
    for (;;) {
        int flags = MSG_DONTWAIT;
        if (deadline != nullptr) {
            // A blocking recv with a receive time-out rather than poll and recv: one
            // system call less per reply. The time-out is set only when it changes,
            // which on a link with a steady time-out is once.
            const int left = deadline->RemainingMs();
            if (left == 0) return Io::kTimeout;
            if (left != receiveTimeoutMs_) {
                const timeval tv{left / 1000, (left % 1000) * 1000};
                if (::setsockopt(handle_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0)
                    return Io::kSystem;
                receiveTimeoutMs_ = left;
            }
            flags = 0;
        }
        const ssize_t n = ::recv(handle_, data, size, flags);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Io::kDone;
        }
        if (n == 0) return Io::kClosed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return Io::kClosed;
        if (deadline == nullptr) return Io::kWouldBlock;
        // The receive time-out ran out; the deadline decides.
    }
}

void Socket::Shutdown() {
    ::shutdown(handle_, SHUT_RDWR);
}

void Socket::SendDatagram(uint32_t address, uint16_t port, const unsigned char* data,
                          std::size_t size) {
    const sockaddr_in to = At(address, port);
    (void)::sendto(handle_, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
}

Io Socket::ReceiveDatagram(unsigned char* data, std::size_t size, std::size_t& received,
                           uint32_t& from) {
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const ssize_t n =
            ::recvfrom(handle_, data, size, 0, reinterpret_cast<sockaddr*>(&peer), &length);
        if (n >= 0) {
            const bool ipv4 = length >= sizeof peer && peer.sin_family == AF_INET;
            received = ipv4 ? static_cast<std::size_t>(n) : 0;
            from = ntohl(peer.sin_addr.s_addr);
            return Io::kDone;
        }
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Io::kWouldBlock : Io::kSystem;
    }
}

WaitResult WaitFor(SocketHandle socket, Direction direction, const Deadline& deadline) {
    const short events = direction == Direction::kRead ? POLLIN : POLLOUT;
    for (;;) {
        pollfd p{socket, events, 0};
        const int n = ::poll(&p, 1, deadline.RemainingMs());
        if (n > 0) return WaitResult::kReady;  // errors and hang-ups show up in the next call
        if (n == 0) {
            // poll rounds to whole milliseconds; make sure the time really is up.
            if (deadline.Passed()) return WaitResult::kTimeout;
            continue;
        }
        if (errno != EINTR) return WaitResult::kError;
    }
}

bool SetNoDelay(SocketHandle socket) {
    const int one = 1;
    return ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0;
}

int StartConnect(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in to = At(address, port);
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? 0 : errno;
}

// An interrupted connect goes on in the background, as one in progress does.
bool ConnectPending(int error) {
    return error == EINPROGRESS || error == EINTR;
}

int PendingConnectError(SocketHandle socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

int32_t ConnectStatus(int error) {
    switch (error) {
        case 0:
            return 0;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
        case EACCES:
        case EPERM:
            return KST_ERR_SYSTEM;
        case ETIMEDOUT:
            return KST_ERR_CONNECT_TIMEOUT;
        default:
            return KST_ERR_CONNECT_REFUSED;  // refused, unreachable, reset
    }
}

// Blocking, for the receive time-out; sends say themselves not to block.
bool SetLinkMode(SocketHandle socket) {
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

Socket OpenBroadcastSocket() {
    Socket socket;
    const int one = 1;
    if (!socket.Open(Socket::Type::kDatagram) ||
        ::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0)
        return {};
    return socket;
}

std::vector<uint32_t> BroadcastTargets(const Socket&) {
    std::vector<uint32_t> targets{0x7FFFFFFFu};
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return targets;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        const unsigned flags = it->ifa_flags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || (flags & IFF_LOOPBACK) != 0)
            continue;
        if (it->ifa_broadaddr == nullptr || it->ifa_broadaddr->sa_family != AF_INET) continue;
        sockaddr_in broadcast{};
        std::memcpy(&broadcast, it->ifa_broadaddr, sizeof broadcast);
        const uint32_t address = ntohl(broadcast.sin_addr.s_addr);
        bool known = false;
        for (const uint32_t t : targets) known = known || t == address;
        if (!known) targets.push_back(address);
    }
    ::freeifaddrs(list);
    return targets;
}

}  // namespace kestrum::net
