// Frames on one Ethernet interface through an AF_PACKET socket bound to 88A4H, and the
// channel a master talks through (the raw link, or a segment in the same process).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame.h"

namespace pelvane::ecat {

class FrameChannel {
  public:
    virtual ~FrameChannel() = default;
    virtual bool Send(std::span<const uint8_t> frame) = 0;
    // The next frame that arrives within timeout; none when none did.
    virtual std::optional<std::vector<uint8_t>> Receive(std::chrono::microseconds timeout) = 0;
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

    // The interface's own address.
    const Mac& mac() const { return mac_; }

  private:
    RawLink(int fd, int ifindex, Mac mac) : fd_(fd), ifindex_(ifindex), mac_(mac) {}
    int fd_;
    int ifindex_;
    Mac mac_;
};

// What the interface says of itself, for the gateway's refusals.
struct InterfaceState {
    bool exists = false;
    bool up = false;
    bool hasIpv4 = false;
};
InterfaceState QueryInterface(const std::string& interface);

}  // namespace pelvane::ecat
