#include "sim/src/segment/mailbox.h"

#include <algorithm>

#include "sim/src/segment/coe_replies.h"

namespace kestrum::sim {
namespace {

// Replies and emergencies SM1 has no room for yet; a node out of memory drops more.
constexpr std::size_t kMaxQueued = 8;
constexpr uint8_t kMaxCounter = 7;

// The part of [address, address + size) inside an area, as offsets into the area.
struct Overlap {
    std::size_t first = 0, end = 0;
    bool lastByte = false;  // it reaches the area's last byte
};

std::optional<Overlap> OverlapOf(MailboxArea area, uint16_t address, std::size_t size) {
    const std::size_t areaEnd = std::size_t{area.start} + area.length;
    const std::size_t begin = std::max<std::size_t>(address, area.start);
    const std::size_t end = std::min(std::size_t{address} + size, areaEnd);
    if (begin >= end) return std::nullopt;
    return Overlap{begin - area.start, end - area.start, end == areaEnd};
}

}  // namespace

void EmulatedMailbox::Open(MailboxArea receive, MailboxArea send, int32_t lastCounter) {
    Close();
    open_ = true;
    receiveArea_ = receive;
    sendArea_ = send;
    receive_.assign(receive.length, 0);
    lastRequestCounter_ = static_cast<uint8_t>(std::clamp<int32_t>(lastCounter, 0, kMaxCounter));
}

void EmulatedMailbox::Close() {
    open_ = false;
    receive_.clear();
    receiveFull_ = false;
    send_.clear();
    sendFull_ = false;
    lastRead_.reset();
    queue_.clear();
    lastRequestCounter_ = 0;
}

bool EmulatedMailbox::Refuses(uint16_t address, std::size_t size, bool write) const {
    if (!open_) return false;
    const bool receive = OverlapOf(receiveArea_, address, size).has_value();
    const bool send = OverlapOf(sendArea_, address, size).has_value();
    return write ? send || (receive && receiveFull_) : receive || (send && !sendFull_);
}

void EmulatedMailbox::Read(uint16_t address, std::span<uint8_t> out) {
    if (!open_) return;
    const auto part = OverlapOf(sendArea_, address, out.size());
    if (!part) return;
    // The area's start within out, which may lie before out begins.
    const std::size_t skip = std::size_t{sendArea_.start} + part->first - address;
    for (std::size_t i = part->first; i < part->end; ++i)
        out[skip + i - part->first] = i < send_.size() ? send_[i] : 0;
    if (!part->lastByte) return;
    sendFull_ = false;
    lastRead_ = std::move(send_);
    send_.clear();
}

void EmulatedMailbox::Write(uint16_t address, std::span<const uint8_t> in, TimePoint now) {
    if (!open_) return;
    const auto part = OverlapOf(receiveArea_, address, in.size());
    if (!part) return;
    const std::size_t skip = std::size_t{receiveArea_.start} + part->first - address;
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(skip), part->end - part->first,
                receive_.begin() + static_cast<std::ptrdiff_t>(part->first));
    if (!part->lastByte) return;
    receiveFull_ = true;
    receivedAt_ = now;
}

void EmulatedMailbox::Serve(const CoeMailbox& box, uint16_t statusWord, TimePoint now) {
    if (!open_) return;
    if (receiveFull_) Take(box, statusWord);
    if (sendFull_ || queue_.empty() || queue_.front().due > now) return;
    send_ = std::move(queue_.front().message);
    queue_.erase(queue_.begin());
    sendFull_ = true;
}

void EmulatedMailbox::Take(const CoeMailbox& box, uint16_t statusWord) {
    receiveFull_ = false;
    const auto counter = static_cast<uint8_t>((receive_[kMailboxCounterByte] >> 4) & kMaxCounter);
    // The same request again, sent before its first copy was answered.
    if (counter != 0 && counter == lastRequestCounter_) return;
    lastRequestCounter_ = counter;
    auto reply = CoeReply(receive_, box, statusWord, sendArea_.length);
    if (reply)
        Queue(std::move(*reply), receivedAt_ + std::chrono::milliseconds(box.delayMs), counter);
}

void EmulatedMailbox::Post(std::vector<uint8_t> message, TimePoint now) {
    if (open_) Queue(std::move(message), now, 0);
}

void EmulatedMailbox::Place(std::vector<uint8_t> message) {
    if (!open_) return;
    counter_ = static_cast<uint8_t>(counter_ % kMaxCounter + 1);
    message[kMailboxCounterByte] |= static_cast<uint8_t>(counter_ << 4);
    send_ = std::move(message);
    sendFull_ = true;
}

void EmulatedMailbox::Repeat() {
    if (!open_ || !lastRead_) return;
    if (sendFull_) {
        queue_.insert(queue_.begin(), Pending{TimePoint::min(), std::move(send_)});
        if (queue_.size() > kMaxQueued) queue_.pop_back();
    }
    send_ = *lastRead_;
    sendFull_ = true;
}

void EmulatedMailbox::Queue(std::vector<uint8_t> message, TimePoint due, uint8_t avoid) {
    if (queue_.size() >= kMaxQueued) return;
    counter_ = static_cast<uint8_t>(counter_ % kMaxCounter + 1);
    if (counter_ == avoid) counter_ = static_cast<uint8_t>(counter_ % kMaxCounter + 1);
    message[kMailboxCounterByte] =
        static_cast<uint8_t>((message[kMailboxCounterByte] & 0x0F) | (counter_ << 4));
    const auto at = std::upper_bound(queue_.begin(), queue_.end(), due,
                                     [](TimePoint t, const Pending& p) { return t < p.due; });
    queue_.insert(at, Pending{due, std::move(message)});
}

}  // namespace kestrum::sim
