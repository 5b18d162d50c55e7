// One open controller link: its socket, the request counter and the state that
// keeps a silent controller from costing more than one time-out.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "kestrum/client/net.h"
#include "kestrum/wire/wire.h"

namespace kestrum {

inline constexpr uint32_t kDefaultTimeoutMs = 1000;

class Link {
  public:
    // socket: as ConnectWithin gives it.
    explicit Link(net::Socket socket);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // 0 restores the default.
    void SetTimeout(uint32_t timeoutMs) {
        timeoutMs_.store(timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs);
    }
    uint32_t timeout() const { return timeoutMs_.load(); }

    // Sends one command and waits for its reply until timeoutMs passed. Returns 0 or
    // the controller's error code with what it printed in text, or one of our codes.
    int32_t Call(wire::Kind kind, std::string_view command, uint32_t timeoutMs, std::string& text);

    // Wakes a call blocked on this link and ends the connection; the socket
    // stays valid until the last user lets go of the link.
    void Shutdown();

  private:
    enum class ReadResult { kData, kWouldBlock, kTimeout, kFailed };

    int32_t DiscardOverdue();
    int32_t Send(const std::string& frame, const net::Deadline& deadline);
    int32_t Await(const net::Deadline& deadline, std::string& text);
    // Takes in bytes until the outstanding reply is complete (true), or until nothing more
    // comes in time (false; a failure is left in failure_). Without a deadline it takes
    // only what has already arrived.
    bool ReceiveReply(const net::Deadline* deadline);
    // With a deadline waits for bytes until then, without one never blocks.
    ReadResult ReadSome(const net::Deadline* deadline);
    // Runs buffered bytes through the assembler until a frame is whole or they run out.
    wire::ReplyAssembler::State FeedBuffered();
    int32_t Fail(int32_t code);
    bool Acceptable(const wire::ReplyHeader& header) const;

    net::Socket socket_;
    std::atomic<uint32_t> timeoutMs_{kDefaultTimeoutMs};

    std::mutex mutex_;  // one call at a time, even if the caller breaks that promise
    uint32_t nextSeq_ = 1;
    std::optional<uint32_t> pending_;  // seq of the request still waiting for its reply
    int32_t failure_ = 0;              // set once the link is beyond use
    wire::ReplyAssembler assembler_;
    std::array<unsigned char, 16384> buffer_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

}  // namespace kestrum
