#include "tests/kestrum/connect_guard.h"

#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<std::size_t> attempts{0};
std::atomic<std::size_t> refused{0};

using ConnectFn = int (*)(int, const sockaddr*, socklen_t);

}  // namespace

namespace kestrum::testing {

std::size_t ConnectAttempts() {
    return attempts.load();
}
std::size_t RefusedNonLoopbackConnects() {
    return refused.load();
}

}  // namespace kestrum::testing

// Takes the place of the C library's connect for the whole program (the test
// executable exports it, so libkestrum.so binds to it).
extern "C" int connect(int fd, const sockaddr* address, socklen_t length) {
    attempts.fetch_add(1);
    bool loopback = false;
    if (address != nullptr && length >= sizeof(sockaddr_in) && address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        loopback = (ntohl(in->sin_addr.s_addr) >> 24) == 127;
    }
    if (!loopback) {
        refused.fetch_add(1);
        errno = ENETUNREACH;
        return -1;
    }
    static auto real = reinterpret_cast<ConnectFn>(dlsym(RTLD_NEXT, "connect"));
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, address, length);
}
