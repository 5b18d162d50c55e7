#include "search.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kestrum.h"
#include "net.h"
#include "wire.h"

namespace kestrum {
namespace {

std::vector<in_addr> BroadcastTargets() {
    std::vector<in_addr> targets;
    in_addr loopback{};
    loopback.s_addr = htonl(0x7FFFFFFFu);  // 127.255.255.255
    targets.push_back(loopback);

    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return targets;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        unsigned flags = it->ifa_flags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || (flags & IFF_LOOPBACK) != 0)
            continue;
        if (it->ifa_broadaddr == nullptr || it->ifa_broadaddr->sa_family != AF_INET) continue;
        sockaddr_in broadcast{};
        std::memcpy(&broadcast, it->ifa_broadaddr, sizeof broadcast);
        bool known = false;
        for (const in_addr& t : targets) known = known || t.s_addr == broadcast.sin_addr.s_addr;
        if (!known) targets.push_back(broadcast.sin_addr);
    }
    ::freeifaddrs(list);
    return targets;
}

uint32_t RandomNonce() {
    std::random_device device;
    return static_cast<uint32_t>(device());
}

}  // namespace

int32_t SearchControllers(char* out, uint32_t capacity, uint32_t searchMs) {
    out[0] = '\0';
    net::Deadline deadline(searchMs);
    net::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return KST_ERR_SYSTEM;
    int one = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0)
        return KST_ERR_SYSTEM;

    uint32_t nonce = RandomNonce();
    auto probe = wire::EncodeProbe(nonce);
    for (const in_addr& target : BroadcastTargets()) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(wire::kPort);
        to.sin_addr = target;
        // One unreachable network must not spoil the search on the others.
        (void)::sendto(fd.get(), probe.data(), probe.size(), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    constexpr int kMaxReceiveErrors = 16;
    int receiveErrors = 0;
    std::vector<uint32_t> seen;
    std::size_t used = 0;  // bytes written, without the terminator
    // Checked before every read, so a flood of answers cannot stretch the search.
    while (!deadline.Passed()) {
        unsigned char answer[wire::kDiscoverySize + 1];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        ssize_t n = ::recvfrom(fd.get(), answer, sizeof answer, 0,
                               reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                // A stray ICMP error is reported once; one that keeps coming ends the search.
                if (++receiveErrors > kMaxReceiveErrors) break;
                continue;
            }
            if (net::WaitFor(fd.get(), POLLIN, deadline) != net::WaitResult::kReady) break;
            continue;
        }
        if (fromLen < sizeof from || from.sin_family != AF_INET) continue;
        auto answered = wire::DecodeAnswer(answer, static_cast<std::size_t>(n));
        if (!answered || *answered != nonce) continue;
        uint32_t address = from.sin_addr.s_addr;
        bool duplicate = false;
        for (uint32_t s : seen) duplicate = duplicate || s == address;
        if (duplicate) continue;
        seen.push_back(address);

        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) == nullptr) continue;
        std::size_t length = std::strlen(text);
        std::size_t needed = length + (used > 0 ? 1 : 0);
        if (used + needed + 1 > capacity) continue;  // never half an address
        if (used > 0) out[used++] = ' ';
        std::memcpy(out + used, text, length);
        used += length;
        out[used] = '\0';
    }
    return 0;
}

}  // namespace kestrum
