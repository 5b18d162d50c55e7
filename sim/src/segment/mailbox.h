// A node's standard mailbox as its slave controller and processor play it: SM0 takes one
// request from the master, SM1 holds one message for it, and replies that find SM1 full
// wait in a short queue.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

struct MailboxArea {
    uint16_t start = 0;
    uint16_t length = 0;
};

class EmulatedMailbox {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    bool open() const { return open_; }
    bool receiveFull() const { return receiveFull_; }
    bool sendFull() const { return sendFull_; }

    // Empty, with a request counter of lastCounter taken as the previous one.
    void Open(MailboxArea receive, MailboxArea send, int32_t lastCounter);
    // As in INIT: buffers, waiting replies and the counter are all forgotten.
    void Close();

    // The master's side, over memory [address, address + size). Refused: a write into
    // SM0 while it is full, a read of SM1 while it is empty, or either against an area's
    // direction. Read and Write only touch the areas' bytes.
    bool Refuses(uint16_t address, std::size_t size, bool write) const;
    void Read(uint16_t address, std::span<uint8_t> out);
    void Write(uint16_t address, std::span<const uint8_t> in, TimePoint now);

    // The node's side, before each frame: takes a request (dropping one whose counter
    // repeats the previous one), queues its reply delayMs after it arrived, and moves the
    // first due message into SM1 when SM1 is empty.
    void Serve(const CoeMailbox& box, uint16_t statusWord, TimePoint now);
    // Queues a message of the node's own, due at once.
    void Post(std::vector<uint8_t> message, TimePoint now);
    // Straight into SM1, as the node left it before a master came.
    void Place(std::vector<uint8_t> message);
    // The master lost what it read last: that goes back into SM1, ahead of what was there.
    void Repeat();

  private:
    struct Pending {
        TimePoint due;
        std::vector<uint8_t> message;
    };

    // Counters run 1..7 and skip the one the message answers.
    void Queue(std::vector<uint8_t> message, TimePoint due, uint8_t avoid);
    void Take(const CoeMailbox& box, uint16_t statusWord);

    bool open_ = false;
    MailboxArea receiveArea_, sendArea_;
    std::vector<uint8_t> receive_;
    bool receiveFull_ = false;
    TimePoint receivedAt_{};
    std::vector<uint8_t> send_;
    bool sendFull_ = false;
    std::optional<std::vector<uint8_t>> lastRead_;
    std::vector<Pending> queue_;  // by due time
    uint8_t lastRequestCounter_ = 0;
    uint8_t counter_ = 0;
};

}  // namespace kestrum::sim
