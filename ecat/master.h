// Datagrams sent as one frame and their replies matched by index: the only way the
// gateway talks to a segment. It sends register reads (APRD, FPRD, BRD) and APWR to the
// EEPROM interface's control and address, and refuses everything else, so no scan can
// change a node's state or clear its counters.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ecat/frame.h"
#include "ecat/raw_link.h"

namespace pelvane::ecat {

inline constexpr std::chrono::microseconds kDefaultFrameTimeout{20000};
// How long the line must be free of another master's frames before we send again.
inline constexpr std::chrono::milliseconds kDefaultForeignQuiet{5000};

// Why an exchange brought no replies.
enum class ExchangeFailure {
    kNone,
    kRefused,        // a write outside the EEPROM interface, or too much for one frame
    kAnotherMaster,  // held back: another master's frames were seen on the line
    kSendFailed,     // the port refused the frame
    kNoReply,        // nothing matching before the time-out: lost
    kCirculating,    // the frame came back marked as having gone round an open ring
};

class Master {
  public:
    using Clock = std::chrono::steady_clock;

    Master(FrameChannel& channel, const Mac& interfaceMac,
           std::chrono::microseconds timeout = kDefaultFrameTimeout,
           std::chrono::milliseconds foreignQuiet = kDefaultForeignQuiet);

    // Sends the datagrams in one frame and gives their replies in the same order; none
    // when no matching reply came before the time-out (counted lost), when the datagrams
    // do not fit a frame or would write anywhere but 0502H-0507H, or while another master
    // runs the line (error and lastFailure say which).
    std::optional<std::vector<Datagram>> Exchange(std::vector<Datagram> datagrams,
                                                  std::string* error = nullptr);
    // Reads what arrives for the time given without sending, so that another master is
    // still heard while we keep quiet.
    void Listen(std::chrono::microseconds duration);

    // No frame is sent until the line has been free of foreign frames for the quiet time.
    bool HeldBack() const;
    // The largest frame the port takes now.
    size_t maxFrameBytes() const { return channel_.MaxFrameBytes(); }
    ExchangeFailure lastFailure() const { return lastFailure_; }

    // Frames sent; those of them that got no reply before their time-out; those that came
    // back circulating (not lost: the line returned them); foreign frames heard.
    uint64_t framesSent() const { return framesSent_; }
    uint64_t framesLost() const { return framesLost_; }
    uint64_t framesCirculating() const { return framesCirculating_; }
    uint64_t framesForeign() const { return framesForeign_; }
    const Mac& source() const { return source_; }

  private:
    enum class Arrival { kOther, kForeign, kReply, kCirculating };
    Arrival Classify(const std::optional<Frame>& frame, const std::vector<Datagram>& sent);
    // The next frame that arrives before the deadline.
    std::optional<std::vector<uint8_t>> ReceiveBefore(Clock::time_point deadline);
    std::optional<std::vector<Datagram>> Fail(ExchangeFailure failure, const char* reason,
                                              std::string* error);

    FrameChannel& channel_;
    Mac source_;
    std::chrono::microseconds timeout_;
    std::chrono::milliseconds foreignQuiet_;
    std::optional<Clock::time_point> lastForeign_;
    ExchangeFailure lastFailure_ = ExchangeFailure::kNone;
    uint8_t nextIndex_ = 0;
    uint64_t framesSent_ = 0;
    uint64_t framesLost_ = 0;
    uint64_t framesCirculating_ = 0;
    uint64_t framesForeign_ = 0;
};

// True for the commands that write a node's memory.
bool Writes(Command command);

// A datagram reading length bytes at ado of the node at position.
Datagram ReadAt(uint16_t position, uint16_t ado, uint16_t length);

}  // namespace pelvane::ecat
