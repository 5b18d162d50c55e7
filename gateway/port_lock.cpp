#include "gateway/port_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace kestrum::gateway {

namespace {

// The name in the abstract namespace (leading NUL), and its length for bind and connect.
socklen_t LockAddress(const std::string& interface, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string name = "kestrum-gateway/" + interface;
    const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// The process that holds the lock, asked through the socket's credentials; 0 if unknown.
pid_t Holder(const sockaddr_un& address, socklen_t length) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    ucred peer{};
    socklen_t size = sizeof peer;
    const bool known = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                       getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0;
    close(fd);
    return known ? peer.pid : 0;
}

}  // namespace

std::unique_ptr<PortLock> PortLock::Take(const std::string& interface, std::string* error) {
    sockaddr_un address;
    const socklen_t length = LockAddress(interface, address);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("lock socket: ") + std::strerror(errno);
        return nullptr;
    }
    // Listening lets a second gateway ask who holds it; nothing is ever accepted.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        listen(fd, SOMAXCONN) == 0)
        return std::unique_ptr<PortLock>(new PortLock(fd));
    const int reason = errno;
    close(fd);
    if (reason != EADDRINUSE) {
        *error = std::string("lock on ") + interface + ": " + std::strerror(reason);
        return nullptr;
    }
    const pid_t holder = Holder(address, length);
    *error = interface + " is already served by another kestrum-gateway (pid " +
             (holder > 0 ? std::to_string(holder) : std::string("unknown")) + ")";
    return nullptr;
}

PortLock::~PortLock() {
    close(fd_);
}

}  // namespace kestrum::gateway
