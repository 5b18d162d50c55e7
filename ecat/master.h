// Datagrams sent as one frame and their replies matched by index: the only way the
// gateway talks to a segment. It sends register reads (APRD, FPRD, BRD) below 1000H and
// APWR to the EEPROM interface's control and address; for a node whose mailbox is open,
// APRD of its SM1 area, APWR of its whole SM0 area and APWR of 080EH toggling the repeat
// request only; and, when state changes are permitted, APWR of 0800H-080FH and of AL
// control. It refuses everything else, so no scan can change a node's state, clear its
// counters or complete a buffer of its memory.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ecat/frame.h"
#include "ecat/raw_link.h"

namespace kestrum::ecat {

inline constexpr std::chrono::microseconds kDefaultFrameTimeout{50000};
// A frame without a reply this long after it was sent is lost; one answered before that,
// but after its time-out, is late.
inline constexpr std::chrono::milliseconds kLostAfter{500};
// A frame's index is one byte.
inline constexpr std::size_t kIndices = 256;
// A reply on any line comes well within this: the least a caller in a hurry waits.
inline constexpr std::chrono::milliseconds kShortestWait{1};
// How long the line must be free of another master's frames before we send again.
inline constexpr std::chrono::milliseconds kDefaultForeignQuiet{5000};

// Why an exchange brought no replies.
enum class ExchangeFailure {
    kNone,
    kRefused,        // a write outside the EEPROM interface, or too much for one frame
    kAnotherMaster,  // held back: another master's frames were seen on the line
    kSendFailed,     // the port refused the frame
    kNoReply,        // nothing matching before the time-out: late or lost
    kCirculating,    // the frame came back marked as having gone round an open ring
};

// A node's standard mailbox as its SyncManagers 0 and 1 hold it now.
struct MailboxArea {
    uint16_t receiveStart = 0, receiveLength = 0;  // SM0: master to node
    uint16_t sendStart = 0, sendLength = 0;        // SM1: node to master
    uint8_t sendActivate = 0;                      // 080EH as last read or written
};

class Master {
  public:
    using Clock = std::chrono::steady_clock;

    Master(FrameChannel& channel, const Mac& interfaceMac,
           std::chrono::microseconds timeout = kDefaultFrameTimeout,
           std::chrono::milliseconds foreignQuiet = kDefaultForeignQuiet);

    // Sends the datagrams in one frame and gives their replies in the same order; none
    // when no matching reply came before the time-out (the frame is then awaited as late
    // until kLostAfter), when the datagrams do not fit a frame, would read at 1000H or
    // above or write anywhere but 0502H-0507H, or while another master runs the line
    // (error and lastFailure say which).
    // waitUntil cuts the wait short for a caller whose time is up, never below
    // kShortestWait: a reply that comes later is late, not lost.
    std::optional<std::vector<Datagram>> Exchange(
        std::vector<Datagram> datagrams, std::string* error = nullptr,
        std::optional<Clock::time_point> waitUntil = std::nullopt);
    // The same for several frames (at most kIndices), sent one after the other at once
    // and answered within one time-out after the last: a result each, in order. lastFailure and
    // error tell the worst failure among them.
    std::vector<std::optional<std::vector<Datagram>>> ExchangeAll(
        std::vector<std::vector<Datagram>> frames, std::string* error = nullptr,
        std::optional<Clock::time_point> waitUntil = std::nullopt);
    // Reads what arrives for the time given without sending, so that another master is
    // still heard while we keep quiet.
    void Listen(std::chrono::microseconds duration);

    // Counts as lost the frames still unanswered kLostAfter after they were sent.
    void Settle(Clock::time_point now);

    // The mailbox of the node at position may be written and read, as area says; closed,
    // it may not.
    void OpenMailbox(uint16_t position, const MailboxArea& area);
    void CloseMailbox(uint16_t position);
    // SyncManagers 0 and 1 and AL control may be written: nodes may be taken to PREOP.
    void PermitStateChanges() { stateChanges_ = true; }

    // No frame is sent until the line has been free of foreign frames for the quiet time.
    bool HeldBack() const;
    // The largest frame the port takes now.
    size_t maxFrameBytes() const { return channel_.MaxFrameBytes(); }
    ExchangeFailure lastFailure() const { return lastFailure_; }

    // Frames sent; those of them whose reply never came (counted kLostAfter after they
    // were sent, so the count never goes down); those whose reply came after their
    // time-out; those that came back circulating (not lost: the line returned them);
    // foreign frames heard.
    uint64_t framesSent() const { return framesSent_; }
    uint64_t framesLost() const { return framesLost_; }
    uint64_t framesLate() const { return framesLate_; }
    uint64_t framesCirculating() const { return framesCirculating_; }
    uint64_t framesForeign() const { return framesForeign_; }
    const Mac& source() const { return source_; }

  private:
    enum class Arrival { kOther, kForeign, kLate, kReply, kCirculating };
    // A frame sent and not answered yet.
    struct Flight {
        size_t frame;
        uint8_t index;
        Clock::time_point sentAt;
    };
    // Whether the frames may not go out: a datagram outside the guard, or another master.
    bool Refused(const std::vector<std::vector<Datagram>>& frames, std::string* error);
    // Each frame under an index of its own; none when one does not fit the port.
    std::optional<std::vector<std::vector<uint8_t>>> Encode(
        std::vector<std::vector<Datagram>>& frames, std::string* error);
    // Replies until each flight has one or the time-out after the last has passed; the
    // rest are awaited as late.
    void Collect(const std::vector<std::vector<Datagram>>& frames,
                 const std::vector<Flight>& flights, Clock::time_point deadline,
                 std::vector<std::optional<std::vector<Datagram>>>& replies, std::string* error);
    Arrival Classify(std::span<const uint8_t> bytes, const std::optional<Frame>& frame,
                     const std::vector<Datagram>& sent);
    bool FromForeignSource(std::span<const uint8_t> bytes);
    // The guard: what may leave the gateway.
    bool Allowed(const Datagram& datagram) const;
    bool MailboxAllows(const Datagram& datagram) const;
    // An index for the next frame, none of those taken for frames going out with it and,
    // while any is free, none still awaited.
    uint8_t TakeIndex(const std::array<bool, kIndices>& taken);
    // The next frame that arrives before the deadline.
    std::optional<std::vector<uint8_t>> ReceiveBefore(Clock::time_point deadline);
    std::optional<std::vector<Datagram>> Fail(ExchangeFailure failure, const char* reason,
                                              std::string* error);

    FrameChannel& channel_;
    Mac source_;
    std::map<uint16_t, MailboxArea> mailboxes_;  // by position
    bool stateChanges_ = false;
    std::chrono::microseconds timeout_;
    std::chrono::milliseconds foreignQuiet_;
    std::optional<Clock::time_point> lastForeign_;
    ExchangeFailure lastFailure_ = ExchangeFailure::kNone;
    uint8_t nextIndex_ = 0;
    // When each index's frame was sent, while its reply is awaited after its time-out.
    std::array<std::optional<Clock::time_point>, kIndices> awaited_{};
    uint64_t framesSent_ = 0;
    uint64_t framesLost_ = 0;
    uint64_t framesLate_ = 0;
    uint64_t framesCirculating_ = 0;
    uint64_t framesForeign_ = 0;
};

// True for the commands that write a node's memory.
bool Writes(Command command);

// A datagram reading length bytes at ado of the node at position.
Datagram ReadAt(uint16_t position, uint16_t ado, uint16_t length);
// One writing data at ado of the node at position (APWR).
Datagram WriteAt(uint16_t position, uint16_t ado, std::vector<uint8_t> data);

}  // namespace kestrum::ecat
