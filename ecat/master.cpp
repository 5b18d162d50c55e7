#include "ecat/master.h"

#include <algorithm>

#include "ecat/registers.h"

namespace kestrum::ecat {

namespace {

constexpr uint8_t kRepeatRequest = 0x02;

bool Within(const Datagram& datagram, uint32_t first, uint32_t length) {
    return datagram.ado >= first && datagram.ado + datagram.data.size() <= first + length;
}

}  // namespace

// Reads of registers and the EEPROM interface's control and address; a node's open
// mailbox; state changes when permitted: nothing else ever leaves the gateway, whatever
// code a caller puts in a datagram.
bool Master::Allowed(const Datagram& datagram) const {
    const uint32_t first = datagram.ado;
    const uint32_t end = first + static_cast<uint32_t>(datagram.data.size());
    switch (datagram.command) {
        case Command::kAprd:
            return end <= kFirstMemoryAddress || MailboxAllows(datagram);
        case Command::kFprd:
        case Command::kBrd:
            return end <= kFirstMemoryAddress;
        case Command::kApwr:
            if (datagram.data.empty()) return false;
            if (first >= kFirstWritable && end <= kLastWritable + 1u) return true;
            if (stateChanges_ && (Within(datagram, kRegSyncManager0, 2 * kSyncManagerBytes) ||
                                  (first == kRegAlControl && datagram.data.size() == 2)))
                return true;
            return MailboxAllows(datagram);
        default:
            return false;
    }
}

bool Master::MailboxAllows(const Datagram& datagram) const {
    const auto box = mailboxes_.find(static_cast<uint16_t>(0x10000u - datagram.adp));
    if (box == mailboxes_.end()) return false;
    const MailboxArea& area = box->second;
    if (datagram.command == Command::kAprd)
        return Within(datagram, area.sendStart, area.sendLength);
    if (datagram.ado == area.receiveStart && datagram.data.size() == area.receiveLength)
        return true;
    return datagram.ado == kRegSm1Activate && datagram.data.size() == 1 &&
           datagram.data[0] == (area.sendActivate ^ kRepeatRequest);
}

void Master::OpenMailbox(uint16_t position, const MailboxArea& area) {
    mailboxes_[position] = area;
}

void Master::CloseMailbox(uint16_t position) {
    mailboxes_.erase(position);
}

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

Datagram WriteAt(uint16_t position, uint16_t ado, std::vector<uint8_t> data) {
    Datagram datagram = ReadAt(position, ado, 0);
    datagram.command = Command::kApwr;
    datagram.data = std::move(data);
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

void Master::Settle(Clock::time_point now) {
    for (auto& sentAt : awaited_) {
        if (!sentAt || now - *sentAt < kLostAfter) continue;
        sentAt.reset();
        ++framesLost_;
    }
}

uint8_t Master::TakeIndex(const std::array<bool, kIndices>& taken) {
    // An index whose frame may still be answered is not used again: its late reply would
    // pass for the new frame's, whose reads look alike.
    for (size_t tries = 0; tries < kIndices; ++tries) {
        const uint8_t index = nextIndex_++;
        if (!awaited_[index] && !taken[index]) return index;
    }
    // Every index waits: the frame waiting longest is given up as lost.
    std::optional<uint8_t> oldest;
    for (size_t i = 0; i < kIndices; ++i)
        if (!taken[i] && awaited_[i] && (!oldest || *awaited_[i] < *awaited_[*oldest]))
            oldest = static_cast<uint8_t>(i);
    const uint8_t index = oldest.value_or(nextIndex_);
    if (awaited_[index]) ++framesLost_;
    awaited_[index].reset();
    nextIndex_ = static_cast<uint8_t>(index + 1);
    return index;
}

bool Master::FromForeignSource(std::span<const uint8_t> bytes) {
    if (bytes.size() < kEthernetHeaderBytes) return false;
    if ((bytes[12] << 8 | bytes[13]) != kEthertype) return false;
    Mac sender;
    std::copy_n(bytes.begin() + kSourceMacOffset, sender.size(), sender.begin());
    sender[0] = static_cast<uint8_t>(sender[0] & ~kProcessedBit);
    return sender != source_;
}

Master::Arrival Master::Classify(std::span<const uint8_t> bytes, const std::optional<Frame>& frame,
                                 const std::vector<Datagram>& sent) {
    // Every EtherCAT frame we did not send is another master's, coming or going, whether
    // or not we can read it.
    if (FromForeignSource(bytes)) {
        ++framesForeign_;
        lastForeign_ = Clock::now();
        return Arrival::kForeign;
    }
    // Our own frame seen unprocessed is no reply.
    if (!frame || frame->source == source_ || frame->datagrams.empty()) return Arrival::kOther;
    const uint8_t index = frame->datagrams.front().index;
    if (awaited_[index] && (sent.empty() || index != sent.front().index)) {
        awaited_[index].reset();
        ++framesLate_;
        return Arrival::kLate;
    }
    // A reply of another shape is no reply.
    if (frame->datagrams.size() != sent.size()) return Arrival::kOther;
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
        Classify(*received, DecodeFrame(*received, nullptr), {});
    Settle(Clock::now());
}

std::optional<std::vector<Datagram>> Master::Exchange(std::vector<Datagram> datagrams,
                                                      std::string* error,
                                                      std::optional<Clock::time_point> waitUntil) {
    std::vector<std::vector<Datagram>> frames;
    frames.push_back(std::move(datagrams));
    return std::move(ExchangeAll(std::move(frames), error, waitUntil).front());
}

bool Master::Refused(const std::vector<std::vector<Datagram>>& frames, std::string* error) {
    // Frames in flight together must differ by their index.
    if (frames.size() > kIndices) {
        Fail(ExchangeFailure::kRefused, "more frames than indices", error);
        return true;
    }
    for (const auto& datagrams : frames) {
        for (const Datagram& datagram : datagrams) {
            if (Allowed(datagram)) continue;
            Fail(ExchangeFailure::kRefused,
                 Writes(datagram.command) ? "a write the gateway may not make"
                                          : "a command the gateway never sends",
                 error);
            return true;
        }
    }
    // Our frames would disturb that master's cycle.
    if (!HeldBack()) return false;
    Fail(ExchangeFailure::kAnotherMaster, "another master's frames are on the line", error);
    return true;
}

std::optional<std::vector<std::vector<uint8_t>>> Master::Encode(
    std::vector<std::vector<Datagram>>& frames, std::string* error) {
    std::vector<std::vector<uint8_t>> encoded;
    std::array<bool, kIndices> taken{};
    for (auto& datagrams : frames) {
        const uint8_t index = TakeIndex(taken);
        taken[index] = true;
        for (Datagram& datagram : datagrams) {
            datagram.index = index;
            datagram.wkc = 0;
            datagram.circulating = false;
        }
        auto bytes = EncodeFrame(Frame{kBroadcastMac, source_, datagrams});
        if (!bytes || bytes->size() > maxFrameBytes()) {
            Fail(ExchangeFailure::kRefused, "the datagrams do not fit one frame", error);
            return std::nullopt;
        }
        encoded.push_back(std::move(*bytes));
    }
    return encoded;
}

std::vector<std::optional<std::vector<Datagram>>> Master::ExchangeAll(
    std::vector<std::vector<Datagram>> frames, std::string* error,
    std::optional<Clock::time_point> waitUntil) {
    std::vector<std::optional<std::vector<Datagram>>> replies(frames.size());
    if (Refused(frames, error)) return replies;
    Settle(Clock::now());
    const auto encoded = Encode(frames, error);
    if (!encoded) return replies;
    lastFailure_ = ExchangeFailure::kNone;
    // All sent at once, so that frames lost together cost one time-out, not one each.
    std::vector<Flight> flights;
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint8_t index = frames[i].front().index;
        ++framesSent_;
        if (!channel_.Send((*encoded)[i])) {
            ++framesLost_;
            Fail(ExchangeFailure::kSendFailed, "the port refused the frame", error);
            break;
        }
        flights.push_back({i, index, Clock::now()});
    }
    if (flights.empty()) return replies;
    const auto last = flights.back().sentAt;
    auto deadline = last + timeout_;
    if (waitUntil) deadline = std::min(deadline, std::max(*waitUntil, last + kShortestWait));
    Collect(frames, flights, deadline, replies, error);
    return replies;
}

void Master::Collect(const std::vector<std::vector<Datagram>>& frames,
                     const std::vector<Flight>& flights, Clock::time_point deadline,
                     std::vector<std::optional<std::vector<Datagram>>>& replies,
                     std::string* error) {
    std::array<int, kIndices> flightOf;
    flightOf.fill(-1);
    for (size_t f = 0; f < flights.size(); ++f) flightOf[flights[f].index] = static_cast<int>(f);
    size_t waiting = flights.size();
    while (waiting > 0) {
        const auto received = ReceiveBefore(deadline);
        if (!received) break;
        auto reply = DecodeFrame(*received, nullptr);
        const int f =
            reply && !reply->datagrams.empty() ? flightOf[reply->datagrams.front().index] : -1;
        static const std::vector<Datagram> kNone;
        // Late replies to earlier frames, and anything else, are passed over.
        switch (Classify(*received, reply, f >= 0 ? frames[flights[f].frame] : kNone)) {
            case Arrival::kReply:
                replies[flights[f].frame] = std::move(reply->datagrams);
                break;
            case Arrival::kCirculating:
                ++framesCirculating_;
                Fail(ExchangeFailure::kCirculating, "the frame came back circulating", error);
                break;
            default:
                continue;
        }
        flightOf[flights[f].index] = -1;
        --waiting;
    }
    for (const Flight& flight : flights) {
        if (flightOf[flight.index] < 0) continue;
        // Its reply may still come: it is lost only once kLostAfter has passed without it.
        awaited_[flight.index] = flight.sentAt;
        if (lastFailure_ == ExchangeFailure::kNone)
            Fail(ExchangeFailure::kNoReply, "no reply within the frame time-out", error);
    }
}

}  // namespace kestrum::ecat
