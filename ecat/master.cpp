#include "master.h"

#include "registers.h"

namespace pelvane::ecat {

namespace {

// Every ESC sets the locally administered bit of the source on the way.
constexpr uint8_t kLocalBit = 0x02;

bool WritesOnlyEeprom(const Datagram& datagram) {
    if (!Writes(datagram.command)) return true;
    const uint32_t first = datagram.ado;
    const uint32_t last = first + static_cast<uint32_t>(datagram.data.size());
    return !datagram.data.empty() && first >= kFirstWritable && last <= kLastWritable + 1u;
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

Master::Master(FrameChannel& channel, const Mac& interfaceMac, std::chrono::microseconds timeout)
    : channel_(channel), source_(interfaceMac), timeout_(timeout) {
    // A unicast source with the locally administered bit clear, so replies differ from it.
    source_[0] = static_cast<uint8_t>(source_[0] & ~(kLocalBit | 0x01));
}

bool Master::Matches(const Frame& reply, const std::vector<Datagram>& sent) const {
    if (reply.source == source_ || reply.datagrams.size() != sent.size()) return false;
    // A frame that went round a broken ring carries nothing to trust.
    for (const Datagram& back : reply.datagrams)
        if (back.circulating) return false;
    for (size_t i = 0; i < sent.size(); ++i) {
        const Datagram& back = reply.datagrams[i];
        if (back.index != sent[i].index || back.command != sent[i].command ||
            back.ado != sent[i].ado || back.data.size() != sent[i].data.size())
            return false;
    }
    return true;
}

std::optional<std::vector<Datagram>> Master::Exchange(std::vector<Datagram> datagrams,
                                                      std::string* error) {
    for (const Datagram& datagram : datagrams) {
        if (WritesOnlyEeprom(datagram)) continue;
        if (error) *error = "a write outside the EEPROM interface";
        return std::nullopt;
    }
    const uint8_t index = nextIndex_++;
    for (Datagram& datagram : datagrams) {
        datagram.index = index;
        datagram.wkc = 0;
        datagram.circulating = false;
    }
    const auto bytes = EncodeFrame(Frame{kBroadcastMac, source_, datagrams});
    if (!bytes) {
        if (error) *error = "the datagrams do not fit one frame";
        return std::nullopt;
    }
    ++framesSent_;
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    if (channel_.Send(*bytes)) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            const auto received = channel_.Receive(left);
            if (!received) break;
            std::string ignored;
            auto reply = DecodeFrame(*received, &ignored);
            // Late replies to earlier frames, and anything else, are passed over.
            if (reply && Matches(*reply, datagrams)) return std::move(reply->datagrams);
        }
    }
    ++framesLost_;
    if (error) *error = "no reply within the frame time-out";
    return std::nullopt;
}

}  // namespace pelvane::ecat
