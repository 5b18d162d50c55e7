#include "ecat/frame.h"

#include <algorithm>

namespace kestrum::ecat {
namespace {

std::optional<Frame> Fail(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return std::nullopt;
}

}  // namespace

std::size_t FrameBytes(const std::vector<Datagram>& datagrams) {
    std::size_t bytes = kEthernetHeaderBytes + kEcatHeaderBytes;
    for (const Datagram& datagram : datagrams) bytes += kDatagramOverhead + datagram.data.size();
    return bytes;
}

std::optional<std::vector<uint8_t>> EncodeFrame(const Frame& frame) {
    if (frame.datagrams.empty()) return std::nullopt;
    for (const Datagram& datagram : frame.datagrams) {
        if (datagram.data.size() > kMaxDatagramData) return std::nullopt;
    }
    const std::size_t used = FrameBytes(frame.datagrams);
    if (used > kMaxFrameBytes) return std::nullopt;

    std::vector<uint8_t> bytes(std::max(used, kMinFrameBytes), 0);
    std::copy(frame.destination.begin(), frame.destination.end(), bytes.begin());
    std::copy(frame.source.begin(), frame.source.end(), bytes.begin() + 6);
    // The Ethertype alone is big-endian, as Ethernet has it.
    bytes[12] = static_cast<uint8_t>(kEthertype >> 8);
    bytes[13] = static_cast<uint8_t>(kEthertype & 0xFF);
    const auto length = static_cast<uint16_t>(used - kEthernetHeaderBytes - kEcatHeaderBytes);
    PutLe16(bytes, kEthernetHeaderBytes, static_cast<uint16_t>(length | (kTypeDatagrams << 12)));

    std::size_t at = kEthernetHeaderBytes + kEcatHeaderBytes;
    for (std::size_t i = 0; i < frame.datagrams.size(); ++i) {
        const Datagram& datagram = frame.datagrams[i];
        uint16_t flags = static_cast<uint16_t>(datagram.data.size());
        if (datagram.circulating) flags |= kCirculatingBit;
        if (i + 1 < frame.datagrams.size()) flags |= kMoreBit;
        bytes[at] = static_cast<uint8_t>(datagram.command);
        bytes[at + 1] = datagram.index;
        PutLe16(bytes, at + 2, datagram.adp);
        PutLe16(bytes, at + 4, datagram.ado);
        PutLe16(bytes, at + 6, flags);
        PutLe16(bytes, at + 8, datagram.irq);
        at += kDatagramHeaderBytes;
        std::copy(datagram.data.begin(), datagram.data.end(), bytes.begin() + at);
        at += datagram.data.size();
        PutLe16(bytes, at, datagram.wkc);
        at += kWkcBytes;
    }
    return bytes;
}

std::optional<Frame> DecodeFrame(std::span<const uint8_t> bytes, std::string* error) {
    if (bytes.size() < kEthernetHeaderBytes + kEcatHeaderBytes) {
        return Fail(error, "too short for EtherCAT");
    }
    if (((bytes[12] << 8) | bytes[13]) != kEthertype) return Fail(error, "not EtherCAT");
    const uint16_t header = Le16(bytes, kEthernetHeaderBytes);
    const int type = header >> 12;
    if (type != kTypeDatagrams) {
        return Fail(error, "not a datagram frame (type " + std::to_string(type) + ")");
    }
    const std::size_t begin = kEthernetHeaderBytes + kEcatHeaderBytes;
    const std::size_t end = begin + (header & kLengthMask);
    if (end > bytes.size()) return Fail(error, "the header length runs past the frame");
    if (end == begin) return Fail(error, "no datagram");

    Frame frame;
    std::copy_n(bytes.begin(), 6, frame.destination.begin());
    std::copy_n(bytes.begin() + 6, 6, frame.source.begin());
    std::size_t at = begin;
    for (int number = 1;; ++number) {
        const auto fail = [&](const char* what) {
            return Fail(error, "datagram " + std::to_string(number) + what);
        };
        if (end - at < kDatagramHeaderBytes) return fail(" runs past the frame");
        const uint16_t flags = Le16(bytes, at + 6);
        const std::size_t size = flags & kLengthMask;
        if (end - at - kDatagramHeaderBytes < size + kWkcBytes) {
            return fail(" runs past the frame");
        }
        Datagram& datagram = frame.datagrams.emplace_back();
        datagram.command = static_cast<Command>(bytes[at]);
        datagram.index = bytes[at + 1];
        datagram.adp = Le16(bytes, at + 2);
        datagram.ado = Le16(bytes, at + 4);
        datagram.circulating = (flags & kCirculatingBit) != 0;
        datagram.irq = Le16(bytes, at + 8);
        at += kDatagramHeaderBytes;
        datagram.data.assign(bytes.begin() + at, bytes.begin() + at + size);
        at += size;
        datagram.wkc = Le16(bytes, at);
        at += kWkcBytes;
        if ((flags & kMoreBit) == 0) break;
        if (at == end) return fail(" says more follow, but the frame ends");
    }
    return frame;
}

bool Processed(std::span<const uint8_t> frame) {
    return frame.size() > kSourceMacOffset && (frame[kSourceMacOffset] & kProcessedBit) != 0;
}

void MarkProcessed(std::span<uint8_t> frame) {
    if (frame.size() > kSourceMacOffset) frame[kSourceMacOffset] |= kProcessedBit;
}

// Callers check lengths first; out of range reads 0 and writes nothing rather than
// touching memory that is not there.
uint16_t Le16(std::span<const uint8_t> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 2) return 0;
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t Le32(std::span<const uint8_t> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return 0;
    return static_cast<uint32_t>(Le16(bytes, offset)) |
           (static_cast<uint32_t>(Le16(bytes, offset + 2)) << 16);
}

void PutLe16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value) {
    if (offset > bytes.size() || bytes.size() - offset < 2) return;
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return;
    PutLe16(bytes, offset, static_cast<uint16_t>(value & 0xFFFF));
    PutLe16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace kestrum::ecat
