#include "ecat/master.h"

#include "ecat/registers.h"

namespace pelvane::ecat {

namespace {

// Reads of registers, and the EEPROM interface's control and address: nothing else ever
// leaves the gateway, whatever code a caller puts in a datagram.
bool Allowed(const Datagram& datagram) {
    switch (datagram.command) {
        case Command::kAprd:
        case Command::kFprd:
        case Command::kBrd:
            return true;
        case Command::kApwr: {
            const uint32_t first = datagram.ado;
            const uint32_t last = first + static_cast<uint32_t>(datagram.data.size());
            return !datagram.data.empty() && first >= kFirstWritable && last <= kLastWritable + 1u;
        }
        default:
            return false;
    }
}

}  // namespace

bool Writes(Command command) {
    switch (command) {
        case Command::kApwr:
        case Command::kAprw:
        case Command::kFpwr:
        case Command::kFprw:
        case Command::kBwr:
        case Command::kBrw:
        case Command::kLwr:
        case Command::kLrw:
        case Command::kArmw:
        case Command::kFrmw:
            return true;
        default:
            return false;
    }
}

Datagram ReadAt(uint16_t position, uint16_t ado, uint16_t length) {
    Datagram datagram;
    datagram.command = Command::kAprd;
    // Auto-increment: the node at position k is addressed by -k.
    datagram.adp = static_cast<uint16_t>(0x10000u - position);
    datagram.ado = ado;
    datagram.data.assign(length, 0);
    return datagram;
}

Master::Master(FrameChannel& channel, const Mac& interfaceMac, std::chrono::microseconds timeout,
               std::chrono::milliseconds foreignQuiet)
    : channel_(channel), source_(interfaceMac), timeout_(timeout), foreignQuiet_(foreignQuiet) {
    // A unicast source with the locally administered bit clear, so replies differ from it.
    source_[0] = static_cast<uint8_t>(source_[0] & ~(kProcessedBit | 0x01));
}

bool Master::HeldBack() const {
    return lastForeign_ && Clock::now() - *lastForeign_ < foreignQuiet_;
}

Master::Arrival Master::Classify(const std::optional<Frame>& frame,
                                 const std::vector<Datagram>& sent) {
    if (!frame) return Arrival::kOther;
    Mac sender = frame->source;
    sender[0] = static_cast<uint8_t>(sender[0] & ~kProcessedBit);
    if (sender != source_) {
        // Every EtherCAT frame we did not send is another master's, coming or going.
        ++framesForeign_;
        lastForeign_ = Clock::now();
        return Arrival::kForeign;
    }
    // Our own frame seen unprocessed, or a reply of another shape, is no reply.
    if (frame->source == source_ || frame->datagrams.size() != sent.size()) return Arrival::kOther;
    for (size_t i = 0; i < sent.size(); ++i) {
        const Datagram& back = frame->datagrams[i];
        if (back.index != sent[i].index || back.command != sent[i].command ||
            back.ado != sent[i].ado || back.data.size() != sent[i].data.size())
            return Arrival::kOther;
    }
    // A frame that went round a broken ring carries nothing to trust.
    for (const Datagram& back : frame->datagrams)
        if (back.circulating) return Arrival::kCirculating;
    return Arrival::kReply;
}

std::optional<std::vector<Datagram>> Master::Fail(ExchangeFailure failure, const char* reason,
                                                  std::string* error) {
    lastFailure_ = failure;
    if (error) *error = reason;
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> Master::ReceiveBefore(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    return channel_.Receive(left);
}

void Master::Listen(std::chrono::microseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (const auto received = ReceiveBefore(deadline))
        Classify(DecodeFrame(*received, nullptr), {});
}

std::optional<std::vector<Datagram>> Master::Exchange(std::vector<Datagram> datagrams,
                                                      std::string* error) {
    for (const Datagram& datagram : datagrams) {
        if (Allowed(datagram)) continue;
        return Fail(ExchangeFailure::kRefused,
                    Writes(datagram.command) ? "a write outside the EEPROM interface"
                                             : "a command the gateway never sends",
                    error);
    }
    // Our frames would disturb that master's cycle.
    if (HeldBack())
        return Fail(ExchangeFailure::kAnotherMaster, "another master's frames are on the line",
                    error);
    const uint8_t index = nextIndex_++;
    for (Datagram& datagram : datagrams) {
        datagram.index = index;
        datagram.wkc = 0;
        datagram.circulating = false;
    }
    const auto bytes = EncodeFrame(Frame{kBroadcastMac, source_, datagrams});
    if (!bytes || bytes->size() > maxFrameBytes())
        return Fail(ExchangeFailure::kRefused, "the datagrams do not fit one frame", error);
    ++framesSent_;
    const auto deadline = Clock::now() + timeout_;
    if (!channel_.Send(*bytes)) {
        ++framesLost_;
        return Fail(ExchangeFailure::kSendFailed, "the port refused the frame", error);
    }
    while (const auto received = ReceiveBefore(deadline)) {
        auto reply = DecodeFrame(*received, nullptr);
        // Late replies to earlier frames, and anything else, are passed over.
        switch (Classify(reply, datagrams)) {
            case Arrival::kReply:
                lastFailure_ = ExchangeFailure::kNone;
                return std::move(reply->datagrams);
            case Arrival::kCirculating:
                ++framesCirculating_;
                return Fail(ExchangeFailure::kCirculating, "the frame came back circulating",
                            error);
            default:
                break;
        }
    }
    ++framesLost_;
    return Fail(ExchangeFailure::kNoReply, "no reply within the frame time-out", error);
}

}  // namespace pelvane::ecat
