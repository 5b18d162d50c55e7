// The library's sockets, with deadlines: the one interface over POSIX sockets
// (net_posix.cpp) and Winsock (net_windows.cpp), with what both share in net.cpp. No wait
// can outlast its caller's time-out.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kestrum::net {

using Clock = std::chrono::steady_clock;

class Deadline {
  public:
    explicit Deadline(uint32_t timeoutMs)
        : end_(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}
    // Milliseconds left, rounded up so that we never wake just before the end.
    int RemainingMs() const;
    bool Passed() const { return Clock::now() >= end_; }

  private:
    Clock::time_point end_;
};

#ifdef _WIN32
using SocketHandle = std::uintptr_t;  // SOCKET
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif

// Keeps the system's socket layer up while it lives: Winsock is started by the first
// holder and cleaned up after the last; POSIX sockets need nothing.
class SocketLayer {
  public:
    SocketLayer();
    ~SocketLayer();
    SocketLayer(const SocketLayer&) = delete;
    SocketLayer& operator=(const SocketLayer&) = delete;
    bool up() const { return up_; }

  private:
    bool up_ = false;
};

enum class Io { kDone, kWouldBlock, kTimeout, kClosed, kSystem };

// An open socket with the socket layer held for it.
class Socket {
  public:
    Socket() = default;
    ~Socket() { Reset(); }
    Socket(Socket&& other) noexcept { *this = std::move(other); }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    SocketHandle get() const { return handle_; }
    bool valid() const { return handle_ != kNoSocket; }
    void Reset();

    enum class Type { kStream, kDatagram };
    // A new non-blocking IPv4 socket in place of this one; false when the system refuses.
    bool Open(Type type);

    // Stream sockets. Sends what fits without blocking (kDone with sent > 0, or kWouldBlock);
    // kClosed when the peer is gone.
    Io SendSome(const unsigned char* data, std::size_t size, std::size_t& sent);
    // Takes in what has arrived (kDone with received > 0). With a deadline waits for bytes
    // until then (else kTimeout), without one never blocks (kWouldBlock). kClosed at the
    // end of the stream or a reset.
    Io ReceiveSome(unsigned char* data, std::size_t size, const Deadline* deadline,
                   std::size_t& received);
    // Wakes a call blocked on the socket; what comes after fails.
    void Shutdown();

    // Datagram sockets; addresses are IPv4 in host order.
    void SendDatagram(uint32_t address, uint16_t port, const unsigned char* data, std::size_t size);
    Io ReceiveDatagram(unsigned char* data, std::size_t size, std::size_t& received,
                       uint32_t& from);

  private:
    SocketLayer layer_;  // declared first: it outlives the handle
    SocketHandle handle_ = kNoSocket;
#ifndef _WIN32
    int receiveTimeoutMs_ = -1;  // SO_RCVTIMEO as last set
#endif
};

enum class WaitResult { kReady, kTimeout, kError };
enum class Direction { kRead, kWrite };

// Waits until the socket is ready in that direction or has failed, or the deadline passed.
WaitResult WaitFor(SocketHandle socket, Direction direction, const Deadline& deadline);

// TCP connect within the time-out, with TCP_NODELAY. On failure returns no socket and one
// of the KST_ERR_ codes in status.
Socket ConnectWithin(uint32_t address, uint16_t port, uint32_t timeoutMs, int32_t& status);

// The steps of ConnectWithin that differ between the systems. Errors are the system's own
// codes (errno, WSAGetLastError), 0 for none.
bool SetNoDelay(SocketHandle socket);
// Starts a connect on a non-blocking socket: 0 when connected at once, else the error.
int StartConnect(SocketHandle socket, uint32_t address, uint16_t port);
// Whether StartConnect's error means the connect goes on until the socket is writable.
bool ConnectPending(int error);
// The outcome of a pending connect once the socket is writable.
int PendingConnectError(SocketHandle socket);
// Which KST_ERR_ code a connect error is, 0 for none.
int32_t ConnectStatus(int error);
// Puts a connected socket in the mode Socket's stream calls expect of a link.
bool SetLinkMode(SocketHandle socket);

// A non-blocking UDP socket allowed to broadcast; invalid when the system refuses one.
Socket OpenBroadcastSocket();

// The broadcast address of every IPv4 network that is up, 127.255.255.255 first. Winsock
// lists the networks through the socket that will send the probes.
std::vector<uint32_t> BroadcastTargets(const Socket& socket);

}  // namespace kestrum::net
