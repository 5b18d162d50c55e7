// Datagrams sent as one frame and their replies matched by index: the only way the
// gateway talks to a segment. It refuses to send any write but to the EEPROM interface,
// so no scan can change a node's state or clear its counters.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame.h"
#include "raw_link.h"

namespace pelvane::ecat {

inline constexpr std::chrono::microseconds kDefaultFrameTimeout{20000};

class Master {
  public:
    Master(FrameChannel& channel, const Mac& interfaceMac,
           std::chrono::microseconds timeout = kDefaultFrameTimeout);

    // Sends the datagrams in one frame and gives their replies in the same order; none
    // when no matching reply came before the time-out (counted lost), or when the
    // datagrams do not fit a frame or would write anywhere but 0502H-0507H (error says).
    std::optional<std::vector<Datagram>> Exchange(std::vector<Datagram> datagrams,
                                                  std::string* error = nullptr);

    // Frames sent, and those of them that got no reply before their time-out.
    uint64_t framesSent() const { return framesSent_; }
    uint64_t framesLost() const { return framesLost_; }
    const Mac& source() const { return source_; }

  private:
    bool Matches(const Frame& reply, const std::vector<Datagram>& sent) const;

    FrameChannel& channel_;
    Mac source_;
    std::chrono::microseconds timeout_;
    uint8_t nextIndex_ = 0;
    uint64_t framesSent_ = 0;
    uint64_t framesLost_ = 0;
};

// True for the commands that write a node's memory.
bool Writes(Command command);

// A datagram reading length bytes at ado of the node at position.
Datagram ReadAt(uint16_t position, uint16_t ado, uint16_t length);

}  // namespace pelvane::ecat
