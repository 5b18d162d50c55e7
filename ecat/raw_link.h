// Frames on one Ethernet interface through an AF_PACKET socket bound to 88A4H, with a
// promiscuous membership of its own, and the channel a master talks through (the raw link, or a
// segment in the same process).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ecat/frame.h"

namespace kestrum::ecat {

// What a port says of its link, cheapest question first.
enum class PortState {
    kUp,
    kNoCarrier,  // down, or up without a link partner
    kGone,       // no such interface any more, or another one under its name
};

class FrameChannel {
  public:
    virtual ~FrameChannel() = default;
    virtual bool Send(std::span<const uint8_t> frame) = 0;
    // The next frame that arrives within timeout; none when none did.
    virtual std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) = 0;
    // A channel without a port of its own is always up and takes full Ethernet frames.
    virtual PortState State() { return PortState::kUp; }
    virtual std::size_t MaxFrameBytes() { return kMaxFrameBytes; }
    // Opens the port again by its name, after it was gone; false and a reason when it
    // cannot be opened yet.
    virtual bool Reopen(std::string* /*error*/) { return true; }
};

class RawLink : public FrameChannel {
  public:
    // Needs CAP_NET_RAW. None, with a reason, when the interface is missing or the socket
    // cannot be opened.
    static std::unique_ptr<RawLink> Open(const std::string& interface, std::string* error);
    ~RawLink() override;
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    bool Send(std::span<const uint8_t> frame) override;
    std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) override;
    PortState State() override;
    // The interface's MTU, plus the Ethernet header, at most 1,514: read when the port is
    // opened and again when it refuses a frame as too long.
    std::size_t MaxFrameBytes() override { return maxFrameBytes_; }
    // A replugged adapter comes back under its name with another index: the socket bound
    // to the old one never hears it, so a new socket is bound.
    bool Reopen(std::string* error) override;

    // The interface's own address when it was opened.
    const Mac& mac() const { return mac_; }

  private:
    RawLink(std::string interface, int fd, int ifindex, Mac mac, std::size_t maxFrameBytes)
        : interface_(std::move(interface)),
          fd_(fd),
          ifindex_(ifindex),
          mac_(mac),
          maxFrameBytes_(maxFrameBytes) {}
    std::string interface_;
    int fd_;
    int ifindex_;
    Mac mac_;
    std::size_t maxFrameBytes_;
    // Set by a send the kernel refused because the bound interface went away.
    bool unbound_ = false;
};

// The smallest MTU an IPv4 host must take; a port with less cannot carry a useful frame.
inline constexpr int kMinMtu = 576;

// What the interface says of itself, for the gateway's refusals.
struct InterfaceState {
    bool exists = false;
    bool up = false;
    bool hasIpv4 = false;
    int mtu = 0;
};
InterfaceState QueryInterface(const std::string& interface);

}  // namespace kestrum::ecat
