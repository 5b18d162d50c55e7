// net.h on Winsock. Every socket stays non-blocking and waits go through select: a receive
// time-out would leave a Winsock socket in an undefined state. A refused connect shows in
// select's exception set, not as writable.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <type_traits>

#include "kestrum.h"
#include "kestrum/client/net.h"

namespace kestrum::net {
namespace {

static_assert(std::is_same_v<SocketHandle, SOCKET> && kNoSocket == INVALID_SOCKET);

int g_layerHolders = 0;  // while above 0, Winsock is started once on our behalf

// Never destroyed, like the registry: a thread still running at exit may close a link.
std::mutex& LayerMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

sockaddr_in At(uint32_t address, uint16_t port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    at.sin_addr.s_addr = htonl(address);
    return at;
}

int Clamped(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
}

}  // namespace

SocketLayer::SocketLayer() {
    std::lock_guard lock(LayerMutex());
    WSADATA data;
    if (g_layerHolders == 0 && ::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    ++g_layerHolders;
    up_ = true;
}

SocketLayer::~SocketLayer() {
    if (!up_) return;
    std::lock_guard lock(LayerMutex());
    if (--g_layerHolders == 0) ::WSACleanup();
}

void Socket::Reset() {
    if (valid()) ::closesocket(handle_);
    handle_ = kNoSocket;
}

bool Socket::Open(Type type) {
    Reset();
    if (!layer_.up()) return false;
    const bool stream = type == Type::kStream;
    handle_ =
        ::WSASocketW(AF_INET, stream ? SOCK_STREAM : SOCK_DGRAM, stream ? IPPROTO_TCP : IPPROTO_UDP,
                     nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    u_long nonBlocking = 1;
    if (valid() && ::ioctlsocket(handle_, FIONBIO, &nonBlocking) != 0) Reset();
    return valid();
}

Io Socket::SendSome(const unsigned char* data, std::size_t size, std::size_t& sent) {
    const int n = ::send(handle_, reinterpret_cast<const char*>(data), Clamped(size), 0);
    if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return Io::kDone;
    }
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? Io::kWouldBlock : Io::kClosed;
}

Io Socket::ReceiveSome(unsigned char* data, std::size_t size, const Deadline* deadline,
                       std::size_t& received) {
    for (;;) {
        const int n = ::recv(handle_, reinterpret_cast<char*>(data), Clamped(size), 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return Io::kDone;
        }
        if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) return Io::kClosed;
        if (deadline == nullptr) return Io::kWouldBlock;
        switch (WaitFor(handle_, Direction::kRead, *deadline)) {
            case WaitResult::kTimeout:
                return Io::kTimeout;
            case WaitResult::kError:
                return Io::kSystem;
            case WaitResult::kReady:
                break;
        }
    }
}

void Socket::Shutdown() {
    ::shutdown(handle_, SD_BOTH);
}

void Socket::SendDatagram(uint32_t address, uint16_t port, const unsigned char* data,
                          std::size_t size) {
    const sockaddr_in to = At(address, port);
    (void)::sendto(handle_, reinterpret_cast<const char*>(data), Clamped(size), 0,
                   reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

Io Socket::ReceiveDatagram(unsigned char* data, std::size_t size, std::size_t& received,
                           uint32_t& from) {
    sockaddr_in peer{};
    int length = sizeof peer;
    const int n = ::recvfrom(handle_, reinterpret_cast<char*>(data), Clamped(size), 0,
                             reinterpret_cast<sockaddr*>(&peer), &length);
    if (n >= 0) {
        const bool ipv4 = length >= static_cast<int>(sizeof peer) && peer.sin_family == AF_INET;
        received = ipv4 ? static_cast<std::size_t>(n) : 0;
        from = ntohl(peer.sin_addr.s_addr);
        return Io::kDone;
    }
    // WSAECONNRESET here is an ICMP error for an earlier datagram, not a broken socket.
    return ::WSAGetLastError() == WSAEWOULDBLOCK ? Io::kWouldBlock : Io::kSystem;
}

WaitResult WaitFor(SocketHandle socket, Direction direction, const Deadline& deadline) {
    for (;;) {
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        const int ms = deadline.RemainingMs();
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        const bool read = direction == Direction::kRead;
        const int n = ::select(0, read ? &ready : nullptr, read ? nullptr : &ready, &failed, &tv);
        if (n > 0) return WaitResult::kReady;  // a failure shows in the next call
        if (n == 0) {
            if (deadline.Passed()) return WaitResult::kTimeout;
            continue;
        }
        if (::WSAGetLastError() != WSAEINTR) return WaitResult::kError;
    }
}

bool SetNoDelay(SocketHandle socket) {
    const BOOL one = TRUE;
    return ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                        sizeof one) == 0;
}

int StartConnect(SocketHandle socket, uint32_t address, uint16_t port) {
    const sockaddr_in to = At(address, port);
    return ::connect(socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
               ? 0
               : ::WSAGetLastError();
}

bool ConnectPending(int error) {
    return error == WSAEWOULDBLOCK;
}

int PendingConnectError(SocketHandle socket) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return ::WSAGetLastError();
    return error;
}

int32_t ConnectStatus(int error) {
    switch (error) {
        case 0:
            return 0;
        case WSAEMFILE:
        case WSAENOBUFS:
        case WSAEACCES:
            return KST_ERR_SYSTEM;
        case WSAETIMEDOUT:
            return KST_ERR_CONNECT_TIMEOUT;
        default:
            return KST_ERR_CONNECT_REFUSED;  // WSAECONNREFUSED, unreachable, reset
    }
}

// Links stay non-blocking: their waits go through select.
bool SetLinkMode(SocketHandle) {
    return true;
}

Socket OpenBroadcastSocket() {
    Socket socket;
    const BOOL one = TRUE;
    if (!socket.Open(Socket::Type::kDatagram) ||
        ::setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&one),
                     sizeof one) != 0)
        return {};
    return socket;
}

std::vector<uint32_t> BroadcastTargets(const Socket& socket) {
    std::vector<uint32_t> targets{0x7FFFFFFFu};
    INTERFACE_INFO list[64];
    DWORD bytes = 0;
    if (::WSAIoctl(socket.get(), SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes,
                   nullptr, nullptr) != 0)
        return targets;
    const std::size_t count = std::min<std::size_t>(bytes / sizeof list[0], std::size(list));
    for (std::size_t i = 0; i < count; ++i) {
        const INTERFACE_INFO& it = list[i];
        const ULONG flags = it.iiFlags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || (flags & IFF_LOOPBACK) != 0)
            continue;
        if (it.iiAddress.Address.sa_family != AF_INET) continue;
        // iiBroadcastAddress is 255.255.255.255 whatever the network: work it out.
        const uint32_t address = ntohl(it.iiAddress.AddressIn.sin_addr.s_addr);
        const uint32_t mask = ntohl(it.iiNetmask.AddressIn.sin_addr.s_addr);
        const uint32_t broadcast = address | ~mask;
        if (std::find(targets.begin(), targets.end(), broadcast) == targets.end())
            targets.push_back(broadcast);
    }
    return targets;
}

}  // namespace kestrum::net
