#include "ecat/raw_link.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace kestrum::ecat {

namespace {

std::optional<std::vector<uint8_t>> WaitOut(std::chrono::steady_clock::time_point deadline) {
    std::this_thread::sleep_until(deadline);
    return std::nullopt;
}

#ifndef PACKET_IGNORE_OUTGOING
constexpr int PACKET_IGNORE_OUTGOING = 23;
#endif

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// Interface names are at most IFNAMSIZ - 1 bytes; a longer one names nothing.
bool FillName(const std::string& interface, ifreq& request) {
    if (interface.empty() || interface.size() >= IFNAMSIZ) return false;
    std::memcpy(request.ifr_name, interface.c_str(), interface.size() + 1);
    return true;
}

std::optional<Mac> InterfaceMac(int fd, const std::string& interface) {
    ifreq request{};
    if (!FillName(interface, request) || ioctl(fd, SIOCGIFHWADDR, &request) != 0)
        return std::nullopt;
    Mac mac{};
    std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, mac.size());
    return mac;
}

}  // namespace

namespace {

struct BoundSocket {
    int fd = -1;
    int ifindex = 0;
    Mac mac{};
    std::size_t maxFrameBytes = kMaxFrameBytes;
};

std::optional<int> InterfaceMtu(int fd, const std::string& interface) {
    ifreq request{};
    if (!FillName(interface, request) || ioctl(fd, SIOCGIFMTU, &request) != 0) return std::nullopt;
    return request.ifr_mtu;
}

std::size_t FrameLimit(int mtu) {
    const int clamped =
        std::clamp(mtu, kMinMtu, static_cast<int>(kMaxFrameBytes - kEthernetHeaderBytes));
    return static_cast<std::size_t>(clamped) + kEthernetHeaderBytes;
}

// A card filters out frames to other unicast addresses, and another master may send to
// one. The membership is the socket's: it ends with it, however the process ends.
bool JoinPromiscuous(int fd, int ifindex) {
    packet_mreq membership{};
    membership.mr_ifindex = ifindex;
    membership.mr_type = PACKET_MR_PROMISC;
    return setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &membership, sizeof membership) == 0;
}

std::optional<BoundSocket> Bind(const std::string& interface, std::string* error) {
    const unsigned index = if_nametoindex(interface.c_str());
    if (index == 0) {
        *error = "no interface " + interface;
        return std::nullopt;
    }
    // Protocol 0 first: a socket with a protocol hears every interface until it is bound.
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = Reason("raw socket (needs CAP_NET_RAW)");
        return std::nullopt;
    }
    const int on = 1;
    setsockopt(fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &on, sizeof on);
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(kEthertype);
    address.sll_ifindex = static_cast<int>(index);
    const auto mac = InterfaceMac(fd, interface);
    if (!mac || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = Reason(("bind to " + interface).c_str());
        close(fd);
        return std::nullopt;
    }
    if (!JoinPromiscuous(fd, static_cast<int>(index))) {
        *error = Reason(("promiscuous membership on " + interface).c_str());
        close(fd);
        return std::nullopt;
    }
    return BoundSocket{fd, static_cast<int>(index), *mac,
                       FrameLimit(InterfaceMtu(fd, interface).value_or(kMinMtu))};
}

}  // namespace

std::unique_ptr<RawLink> RawLink::Open(const std::string& interface, std::string* error) {
    const auto bound = Bind(interface, error);
    if (!bound) return nullptr;
    return std::unique_ptr<RawLink>(
        new RawLink(interface, bound->fd, bound->ifindex, bound->mac, bound->maxFrameBytes));
}

bool RawLink::Reopen(std::string* error) {
    const auto bound = Bind(interface_, error);
    if (!bound) return false;
    close(fd_);
    fd_ = bound->fd;
    ifindex_ = bound->ifindex;
    maxFrameBytes_ = bound->maxFrameBytes;
    unbound_ = false;
    return true;
}

PortState RawLink::State() {
    ifreq request{};
    if (unbound_ || !FillName(interface_, request) || ioctl(fd_, SIOCGIFINDEX, &request) != 0 ||
        request.ifr_ifindex != ifindex_)
        return PortState::kGone;
    if (ioctl(fd_, SIOCGIFFLAGS, &request) != 0) return PortState::kGone;
    const bool up = (request.ifr_flags & IFF_UP) != 0 && (request.ifr_flags & IFF_RUNNING) != 0;
    return up ? PortState::kUp : PortState::kNoCarrier;
}

RawLink::~RawLink() {
    close(fd_);
}

bool RawLink::Send(std::span<const uint8_t> frame) {
    sockaddr_ll address{};
    address.sll_family = AF_PACKET;
    address.sll_protocol = htons(kEthertype);
    address.sll_ifindex = ifindex_;
    address.sll_halen = 6;
    if (frame.size() >= 6) std::memcpy(address.sll_addr, frame.data(), 6);
    const ssize_t sent = sendto(fd_, frame.data(), frame.size(), 0,
                                reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (sent < 0 && (errno == ENXIO || errno == ENODEV)) unbound_ = true;
    // The MTU shrank since it was read: the next frames are cut to the new one.
    if (sent < 0 && errno == EMSGSIZE)
        maxFrameBytes_ = FrameLimit(InterfaceMtu(fd_, interface_).value_or(kMinMtu));
    return sent == static_cast<ssize_t>(frame.size());
}

std::optional<std::vector<uint8_t>> RawLink::Receive(std::chrono::microseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() < 0) return std::nullopt;
        timespec wait{static_cast<time_t>(left.count() / 1000000),
                      static_cast<long>(left.count() % 1000000) * 1000};
        pollfd entry{fd_, POLLIN, 0};
        const int ready = ppoll(&entry, 1, &wait, nullptr);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) return std::nullopt;
        // A port that fails at once still takes the time asked: a caller that sends again
        // after each wait must not flood the line.
        if (ready < 0) return WaitOut(deadline);
        std::vector<uint8_t> frame(kMaxFrameBytes + 64);
        const ssize_t got = recv(fd_, frame.data(), frame.size(), MSG_TRUNC);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return WaitOut(deadline);
        }
        // A frame larger than any EtherCAT frame is no reply of ours.
        if (static_cast<size_t>(got) > frame.size()) continue;
        frame.resize(static_cast<size_t>(got));
        return frame;
    }
}

InterfaceState QueryInterface(const std::string& interface) {
    InterfaceState state;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return state;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || interface != entry->ifa_name) continue;
        state.exists = true;
        state.up = state.up || (entry->ifa_flags & IFF_UP) != 0;
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET)
            state.hasIpv4 = true;
    }
    freeifaddrs(list);
    if (state.exists) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd >= 0) {
            state.mtu = InterfaceMtu(fd, interface).value_or(0);
            close(fd);
        }
    }
    return state;
}

}  // namespace kestrum::ecat
