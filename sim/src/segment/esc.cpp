#include "esc.h"

#include <algorithm>
#include <optional>

#include "registers.h"
#include "sii.h"

namespace kestrum::sim {
namespace {

namespace ecat = pelvane::ecat;

// An ET1100-like controller: ports 0 and 1 are MII, 2 and 3 absent.
constexpr uint8_t kEscType = 0x11;
constexpr uint8_t kEscRevision = 0x00;
constexpr uint16_t kEscBuild = 0x0003;
constexpr uint8_t kFmmus = 8;
constexpr uint8_t kSyncManagers = 8;
constexpr uint8_t kRamKib = 8;
constexpr uint8_t kPortDescriptor = 0x0F;

constexpr uint16_t kDlPdiOperational = 0x0001;
constexpr uint16_t kDlPort0Open = 0x0010 | 0x0200;  // link, communication
constexpr uint16_t kDlPort1Open = 0x0020 | 0x0800;
constexpr uint16_t kDlPort1Closed = 0x0400;
constexpr uint16_t kDlPorts23Closed = 0x1000 | 0x4000;

constexpr std::size_t kCounterClearFirst = 0x0300;
constexpr std::size_t kCounterClearLast = 0x030B;
constexpr std::size_t kOtherCounterFirst = 0x030C;
constexpr std::size_t kLostLinkLast = 0x0313;
constexpr std::size_t kPdiErrorCode = 0x030E;  // 2 bytes, a code rather than a counter

constexpr uint16_t kEepromWriteEnable = 0x0001;
constexpr uint16_t kEepromNack = 0x2000;
constexpr std::size_t kEepromWordsPerRead = 4;

uint8_t CounterByte(int32_t value) {
    return static_cast<uint8_t>(std::clamp<int32_t>(value, 0, 0xFF));
}

}  // namespace

EmulatedEsc::EmulatedEsc(const SegmentNode& node) : device_(node) {
    const auto alias = static_cast<uint16_t>(std::clamp<int32_t>(node.switchNo, 0, 0xFFFF));
    const ecat::IoCounts io{.inputs = node.inputCount,
                            .outputs = node.outputCount,
                            .ad = node.adCount,
                            .da = node.daCount,
                            .axes = node.axisCount};
    sii_ = ecat::BuildSii(ecat::SiiFor(static_cast<uint32_t>(node.vendorId),
                                       static_cast<uint32_t>(node.deviceId), 0, io),
                          alias);

    registers_[ecat::kRegType] = kEscType;
    registers_[0x0001] = kEscRevision;
    SetRegister16(0x0002, kEscBuild);
    registers_[0x0004] = kFmmus;
    registers_[0x0005] = kSyncManagers;
    registers_[0x0006] = kRamKib;
    registers_[0x0007] = kPortDescriptor;
    SetRegister16(ecat::kRegAlias, alias);
    SetRegister16(ecat::kRegAlStatus, ecat::kAlStateInit);
    SetRegister16(ecat::kRegEepromControl, ecat::kEepromReads8Bytes);
    Update(node, true);
}

bool EmulatedEsc::SameDevice(const SegmentNode& node) const {
    const SegmentNode& d = device_;
    return d.vendorId == node.vendorId && d.deviceId == node.deviceId &&
           d.switchNo == node.switchNo && d.axisCount == node.axisCount &&
           d.inputCount == node.inputCount && d.outputCount == node.outputCount &&
           d.adCount == node.adCount && d.daCount == node.daCount;
}

void EmulatedEsc::Update(const SegmentNode& node, bool last) {
    uint16_t dl = kDlPdiOperational | kDlPort0Open | kDlPorts23Closed;
    dl |= last ? kDlPort1Closed : kDlPort1Open;
    SetRegister16(ecat::kRegDlStatus, dl);
    for (std::size_t i = 0; i < counters_.size(); ++i) {
        counters_[i] = node.counters[i];
        // A counter set back below the last clear starts over from the simulator's value.
        if (counters_[i] < clearedAt_[i]) clearedAt_[i] = 0;
        registers_[ecat::kRegErrorCounters + i] = CounterByte(counters_[i] - clearedAt_[i]);
    }
}

void EmulatedEsc::Read(uint16_t address, std::span<uint8_t> out) const {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t at = std::size_t{address} + i;
        out[i] = at < registers_.size() ? registers_[at] : 0;
    }
}

// Only what a master may change on an ESC is kept; other writes are taken and ignored,
// as the ESC's read-only registers take them.
void EmulatedEsc::Write(uint16_t address, std::span<const uint8_t> in) {
    bool clearCounters = false;
    std::optional<uint16_t> command;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::size_t at = std::size_t{address} + i;
        const uint8_t value = in[i];
        if (at == ecat::kRegStationAddress || at == ecat::kRegStationAddress + 1) {
            registers_[at] = value;
        } else if (at >= kCounterClearFirst && at <= kCounterClearLast) {
            clearCounters = true;
        } else if (at >= kOtherCounterFirst && at <= kLostLinkLast && at != kPdiErrorCode &&
                   at != kPdiErrorCode + 1) {
            registers_[at] = 0;
        } else if (at == ecat::kRegEepromConfig) {
            registers_[at] = value & 0x01;  // bit 1 asks the PDI to let go; it never holds it
        } else if (at == ecat::kRegEepromControl) {
            registers_[at] = static_cast<uint8_t>((registers_[at] & ~kEepromWriteEnable) |
                                                  (value & kEepromWriteEnable));
        } else if (at == ecat::kRegEepromControl + 1) {
            command = static_cast<uint16_t>((value << 8) & ecat::kEepromCommandMask);
        } else if (at >= ecat::kRegEepromAddress && at < ecat::kRegEepromData + 8) {
            registers_[at] = value;
        }
    }
    if (clearCounters) ClearCounters();
    // After the loop, so that the address written with the command is the one used.
    if (command) RunEepromCommand(*command);
}

uint16_t EmulatedEsc::stationAddress() const {
    return Register16(ecat::kRegStationAddress);
}

uint16_t EmulatedEsc::Register16(std::size_t address) const {
    return static_cast<uint16_t>(registers_[address] | (registers_[address + 1] << 8));
}

void EmulatedEsc::SetRegister16(std::size_t address, uint16_t value) {
    registers_[address] = static_cast<uint8_t>(value & 0xFF);
    registers_[address + 1] = static_cast<uint8_t>(value >> 8);
}

void EmulatedEsc::ClearCounters() {
    clearedAt_ = counters_;
    std::fill(registers_.begin() + kCounterClearFirst, registers_.begin() + kCounterClearLast + 1,
              uint8_t{0});
}

// Every command completes at once, so busy is never seen set.
void EmulatedEsc::RunEepromCommand(uint16_t command) {
    uint16_t control = Register16(ecat::kRegEepromControl);
    control &= static_cast<uint16_t>(~(ecat::kEepromCommandMask | ecat::kEepromBusy));
    if (command == ecat::kEepromCommandRead) {
        control &= static_cast<uint16_t>(~ecat::kEepromErrorMask);
        const uint64_t first = Register16(ecat::kRegEepromAddress) |
                               (uint64_t{Register16(ecat::kRegEepromAddress + 2)} << 16);
        for (std::size_t i = 0; i < kEepromWordsPerRead; ++i) {
            const uint64_t byte = (first + i) * 2;
            const uint16_t word = byte + 1 < sii_.size()
                                      ? static_cast<uint16_t>(sii_[byte] | (sii_[byte + 1] << 8))
                                      : 0xFFFF;
            SetRegister16(ecat::kRegEepromData + 2 * i, word);
        }
    } else if (command == 0) {
        control &= static_cast<uint16_t>(~ecat::kEepromErrorMask);
    } else {
        control |= kEepromNack;
    }
    SetRegister16(ecat::kRegEepromControl, control);
}

}  // namespace kestrum::sim
