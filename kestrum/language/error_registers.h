// The slave controller's error-register block, 0300H..0313H, described once: for each
// byte its offset from 0300H, its name in our texts, what it counts and the ESC port it
// counts for. The command language serves the bytes as items 768..787, the gateway reads
// them in one datagram, the simulator keeps and moves them, and the clients judge them;
// each derives what it needs from this table. docs/protocol.md lists it, and a test holds
// the two together.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrum::language {

enum class ErrorKind : uint8_t {
    kInvalidFrame,    // a frame the port received broken
    kRxError,         // a physical-layer error at the port
    kForwarded,       // a broken frame the port received that a node before already marked
    kProcessingUnit,  // a broken frame the processing unit saw, whichever port it came by
    kPdi,             // an error of the node's own processing interface
    kPdiCode,         // the PDI error code: not a counter
    kLostLink,        // the port lost its link
};

// The words the register table of docs/protocol.md gives each kind.
constexpr std::string_view ErrorKindText(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::kInvalidFrame:
            return "invalid frame";
        case ErrorKind::kRxError:
            return "RX error";
        case ErrorKind::kForwarded:
            return "forwarded error";
        case ErrorKind::kProcessingUnit:
            return "processing-unit error";
        case ErrorKind::kPdi:
            return "PDI error";
        case ErrorKind::kPdiCode:
            return "PDI error code, not a counter";
        case ErrorKind::kLostLink:
            return "lost link";
    }
    return {};
}

inline constexpr int kEscPortCount = 4;
inline constexpr int kNoEscPort = -1;

struct ErrorRegister {
    int offset;             // from 0300H
    std::string_view name;  // "300H"
    ErrorKind kind;
    int escPort;  // 0..3, port 0 facing the master; kNoEscPort for the node as a whole
};

inline constexpr uint16_t kErrorRegisterBase = 0x0300;

// Each byte an 8-bit register; the counters stop at FFH.
inline constexpr auto kErrorRegisters = std::to_array<ErrorRegister>({
    {0x00, "300H", ErrorKind::kInvalidFrame, 0},
    {0x01, "301H", ErrorKind::kRxError, 0},
    {0x02, "302H", ErrorKind::kInvalidFrame, 1},
    {0x03, "303H", ErrorKind::kRxError, 1},
    {0x04, "304H", ErrorKind::kInvalidFrame, 2},
    {0x05, "305H", ErrorKind::kRxError, 2},
    {0x06, "306H", ErrorKind::kInvalidFrame, 3},
    {0x07, "307H", ErrorKind::kRxError, 3},
    {0x08, "308H", ErrorKind::kForwarded, 0},
    {0x09, "309H", ErrorKind::kForwarded, 1},
    {0x0A, "30AH", ErrorKind::kForwarded, 2},
    {0x0B, "30BH", ErrorKind::kForwarded, 3},
    {0x0C, "30CH", ErrorKind::kProcessingUnit, kNoEscPort},
    {0x0D, "30DH", ErrorKind::kPdi, kNoEscPort},
    {0x0E, "30EH", ErrorKind::kPdiCode, kNoEscPort},  // low byte
    {0x0F, "30FH", ErrorKind::kPdiCode, kNoEscPort},  // high byte
    {0x10, "310H", ErrorKind::kLostLink, 0},
    {0x11, "311H", ErrorKind::kLostLink, 1},
    {0x12, "312H", ErrorKind::kLostLink, 2},
    {0x13, "313H", ErrorKind::kLostLink, 3},
});

inline constexpr int kErrorRegisterCount = static_cast<int>(kErrorRegisters.size());

// The first four, 300H..303H, are the counters the window shows: what every controller
// answers (items 768..771), and which the controller it was made for counts past FFH.
inline constexpr int kWindowRegisterCount = 4;

// The register of that kind and port, -1 for none.
constexpr int ErrorRegisterOf(ErrorKind kind, int escPort = kNoEscPort) {
    for (const ErrorRegister& r : kErrorRegisters)
        if (r.kind == kind && r.escPort == escPort) return r.offset;
    return -1;
}

// Whether the byte at offset is a count: the PDI error code is none.
constexpr bool IsErrorCounter(int offset) {
    return offset >= 0 && offset < kErrorRegisterCount &&
           kErrorRegisters[static_cast<std::size_t>(offset)].kind != ErrorKind::kPdiCode;
}

// A write to any invalid-frame, RX-error or forwarded-error byte clears all of them; every
// other counter is cleared by a write of its own.
constexpr bool ClearedTogether(ErrorKind kind) {
    return kind == ErrorKind::kInvalidFrame || kind == ErrorKind::kRxError ||
           kind == ErrorKind::kForwarded;
}

namespace error_register_checks {

constexpr bool NamedByOffset(const ErrorRegister& r) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    const int address = kErrorRegisterBase + r.offset;
    return r.name.size() == 4 && r.name[0] == kDigits[static_cast<std::size_t>(address >> 8)] &&
           r.name[1] == kDigits[static_cast<std::size_t>((address >> 4) & 0xF)] &&
           r.name[2] == kDigits[static_cast<std::size_t>(address & 0xF)] && r.name[3] == 'H';
}

constexpr bool WellFormed() {
    for (std::size_t i = 0; i < kErrorRegisters.size(); ++i) {
        const ErrorRegister& r = kErrorRegisters[i];
        if (r.offset != static_cast<int>(i) || !NamedByOffset(r)) return false;
        if (r.escPort < kNoEscPort || r.escPort >= kEscPortCount) return false;
        // A kind and port name one register, but for the code's two bytes.
        if (ErrorRegisterOf(r.kind, r.escPort) != r.offset && r.kind != ErrorKind::kPdiCode)
            return false;
    }
    // The window's counters are a port's invalid frames and RX errors, ports 0 and 1.
    for (int i = 0; i < kWindowRegisterCount; ++i) {
        const ErrorRegister& r = kErrorRegisters[static_cast<std::size_t>(i)];
        if ((r.kind != ErrorKind::kInvalidFrame && r.kind != ErrorKind::kRxError) ||
            r.escPort < 0 || r.escPort > 1)
            return false;
    }
    return true;
}

static_assert(WellFormed(), "kErrorRegisters: offsets in order, names by address, one per port");

}  // namespace error_register_checks

}  // namespace kestrum::language
