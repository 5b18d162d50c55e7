// EtherCAT frames on Ethernet: Ethertype 88A4H, the type-1 header, then datagrams, all
// little-endian. What comes back from a segment is untrusted: decoding checks every
// length and never reads past the bytes it was given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrum::ecat {

inline constexpr uint16_t kEthertype = 0x88A4;
inline constexpr std::size_t kEthernetHeaderBytes = 14;
inline constexpr std::size_t kMinFrameBytes = 60;     // without the FCS; shorter ones are padded
inline constexpr std::size_t kMaxFrameBytes = 1514;   // 1500-byte payload
inline constexpr std::size_t kDatagramOverhead = 12;  // 10-byte header, 2-byte working counter
inline constexpr std::size_t kMaxDatagramData = 1486;

// The layout within a frame: the EtherCAT header after the Ethernet one, then datagrams of
// a 10-byte header (command, index, ADP, ADO, length and flags, IRQ), data and a working
// counter.
inline constexpr std::size_t kSourceMacOffset = 6;
inline constexpr std::size_t kEcatHeaderBytes = 2;
inline constexpr std::size_t kDatagramHeaderBytes = 10;
inline constexpr std::size_t kDatagramAdpOffset = 2;
inline constexpr std::size_t kDatagramFlagsOffset = 6;
inline constexpr std::size_t kWkcBytes = 2;
inline constexpr uint16_t kLengthMask = 0x07FF;
inline constexpr uint16_t kCirculatingBit = 0x4000;
inline constexpr uint16_t kMoreBit = 0x8000;
inline constexpr uint16_t kTypeDatagrams = 1;
// Every slave controller sets this bit of the source's first byte on a frame it processed
// (the locally administered bit): a master tells its replies from its requests by it.
inline constexpr uint8_t kProcessedBit = 0x02;

using Mac = std::array<uint8_t, 6>;
inline constexpr Mac kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

enum class Command : uint8_t {
    kNop = 0,
    kAprd = 1,
    kApwr = 2,
    kAprw = 3,
    kFprd = 4,
    kFpwr = 5,
    kFprw = 6,
    kBrd = 7,
    kBwr = 8,
    kBrw = 9,
    kLrd = 10,
    kLwr = 11,
    kLrw = 12,
    kArmw = 13,
    kFrmw = 14,
};

struct Datagram {
    Command command = Command::kNop;
    uint8_t index = 0;
    uint16_t adp = 0;  // position (as -k for auto-increment), station address, or low half
    uint16_t ado = 0;  // register offset, or high half of a logical address
    bool circulating = false;
    uint16_t irq = 0;
    std::vector<uint8_t> data;
    uint16_t wkc = 0;
};

struct Frame {
    Mac destination = kBroadcastMac;
    Mac source{};
    std::vector<Datagram> datagrams;
};

// Ethernet header, EtherCAT header and datagrams, before padding.
std::size_t FrameBytes(const std::vector<Datagram>& datagrams);

// The frame on the wire, padded to kMinFrameBytes; none when there is no datagram, a
// datagram holds more than kMaxDatagramData bytes, or the frame exceeds kMaxFrameBytes.
std::optional<std::vector<uint8_t>> EncodeFrame(const Frame& frame);

// Reads a frame; bytes after the last datagram (its M bit clear) are padding. None, with
// a reason, for anything but a well-formed type-1 EtherCAT frame.
std::optional<Frame> DecodeFrame(std::span<const uint8_t> bytes, std::string* error);

// Whether a frame on the wire has passed a slave controller; marks it as one does.
bool Processed(std::span<const uint8_t> frame);
void MarkProcessed(std::span<uint8_t> frame);

// Little-endian fields of register data; offset and size must lie inside bytes.
uint16_t Le16(std::span<const uint8_t> bytes, std::size_t offset);
uint32_t Le32(std::span<const uint8_t> bytes, std::size_t offset);
void PutLe16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value);
void PutLe32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value);

}  // namespace kestrum::ecat
