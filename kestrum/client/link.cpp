#include "kestrum/client/link.h"

#include "kestrum.h"

namespace kestrum {

Link::Link(net::Socket socket)
    : socket_(std::move(socket)),
      assembler_(wire::MakeReplyAssembler(
          [this](const wire::ReplyHeader& header) { return Acceptable(header); })) {}

bool Link::Acceptable(const wire::ReplyHeader& header) const {
    // A status outside the controller's range would pass for one of our own codes.
    return pending_ && header.seq == *pending_ && wire::IsControllerStatus(header.status);
}

void Link::Shutdown() {
    socket_.Shutdown();
}

int32_t Link::Fail(int32_t code) {
    failure_ = code;
    Shutdown();
    return code;
}

int32_t Link::Call(wire::Kind kind, std::string_view command, uint32_t timeoutMs,
                   std::string& text) {
    std::lock_guard lock(mutex_);
    if (failure_ != 0) return failure_;
    if (int32_t status = DiscardOverdue(); status != 0) return status;

    wire::Request request;
    request.kind = kind;
    request.seq = nextSeq_++;  // wraps to 0 after 0xFFFFFFFF
    request.timeoutMs = timeoutMs;
    request.command.assign(command);
    std::string frame = wire::EncodeRequest(request);

    net::Deadline deadline(timeoutMs);
    pending_ = request.seq;
    if (int32_t status = Send(frame, deadline); status != 0) return status;
    return Await(deadline, text);
}

int32_t Link::DiscardOverdue() {
    // Also reads on a healthy link, so a dropped connection shows before a command goes out.
    ReceiveReply(nullptr);  // an overdue reply that has come is dropped: its caller gave up
    if (failure_ != 0) return failure_;
    return pending_ ? KST_ERR_REPLY_OVERDUE : 0;
}

int32_t Link::Send(const std::string& frame, const net::Deadline& deadline) {
    const auto* data = reinterpret_cast<const unsigned char*>(frame.data());
    std::size_t sent = 0;
    while (sent < frame.size()) {
        std::size_t n = 0;
        const net::Io result = socket_.SendSome(data + sent, frame.size() - sent, n);
        if (result == net::Io::kDone) {
            sent += n;
            continue;
        }
        if (result != net::Io::kWouldBlock) return Fail(KST_ERR_LINK_CLOSED);
        if (net::WaitFor(socket_.get(), net::Direction::kWrite, deadline) !=
            net::WaitResult::kReady) {
            if (sent == 0) {
                // Nothing went out: nothing is owed to us and the link stays usable.
                pending_.reset();
                return KST_ERR_TIMEOUT;
            }
            // Half a frame cannot be taken back; the stream is out of step for good.
            Fail(KST_ERR_LINK_CLOSED);
            return KST_ERR_TIMEOUT;
        }
    }
    return 0;
}

int32_t Link::Await(const net::Deadline& deadline, std::string& text) {
    if (ReceiveReply(&deadline)) {
        text.swap(assembler_.payload());
        return assembler_.header().status;
    }
    return failure_ != 0 ? failure_ : KST_ERR_TIMEOUT;  // pending_ stays: now it is overdue
}

bool Link::ReceiveReply(const net::Deadline* deadline) {
    for (;;) {
        switch (FeedBuffered()) {
            case wire::ReplyAssembler::State::kFrame:
                pending_.reset();
                return true;
            case wire::ReplyAssembler::State::kMalformed:
                Fail(KST_ERR_MALFORMED_REPLY);
                return false;
            case wire::ReplyAssembler::State::kNeedMore:
                break;
        }
        if (ReadSome(deadline) != ReadResult::kData) return false;
    }
}

Link::ReadResult Link::ReadSome(const net::Deadline* deadline) {
    std::size_t n = 0;
    switch (socket_.ReceiveSome(buffer_.data(), buffer_.size(), deadline, n)) {
        case net::Io::kDone:
            begin_ = 0;
            end_ = n;
            return ReadResult::kData;
        case net::Io::kWouldBlock:
            return ReadResult::kWouldBlock;
        case net::Io::kTimeout:
            return ReadResult::kTimeout;
        case net::Io::kSystem:
            Fail(KST_ERR_SYSTEM);
            return ReadResult::kFailed;
        case net::Io::kClosed:
            break;
    }
    Fail(KST_ERR_LINK_CLOSED);
    return ReadResult::kFailed;
}

wire::ReplyAssembler::State Link::FeedBuffered() {
    if (assembler_.malformed()) return wire::ReplyAssembler::State::kMalformed;
    auto state = wire::ReplyAssembler::State::kNeedMore;
    // Feed also when the buffer is empty: it releases the last frame handed out.
    do {
        std::size_t consumed = 0;
        state = assembler_.Feed(buffer_.data() + begin_, end_ - begin_, consumed);
        begin_ += consumed;
    } while (state == wire::ReplyAssembler::State::kNeedMore && begin_ < end_);
    return state;
}

}  // namespace kestrum
