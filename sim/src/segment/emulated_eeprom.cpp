#include "sim/src/segment/emulated_eeprom.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestrum::sim {
namespace {

// 0502H, control and status.
constexpr uint16_t kWriteEnable = 0x0001;
constexpr uint16_t kEmulated = 0x0020;
constexpr uint16_t kReads8Bytes = 0x0040;
constexpr uint16_t kCommandMask = 0x0700;
constexpr uint16_t kCommandRead = 0x0100;
constexpr uint16_t kCommandWrite = 0x0200;
constexpr uint16_t kChecksumError = 0x0800;
constexpr uint16_t kNotLoaded = 0x1000;
constexpr uint16_t kNack = 0x2000;
constexpr uint16_t kWriteEnableError = 0x4000;
constexpr uint16_t kBusy = 0x8000;

constexpr std::size_t kConfig = 0;     // 0500H
constexpr std::size_t kPdiAccess = 1;  // 0501H
constexpr std::size_t kControl = 2;    // 0502H
constexpr std::size_t kAddress = 4;    // 0504H
constexpr std::size_t kData = 8;       // 0508H

constexpr double kDefaultBusyMs = 0.3;
constexpr double kEmulatedBusyMs = 3.0;
constexpr double kMaxBusyMs = 1000.0;
constexpr std::size_t kSizeWord = 0x003E;
constexpr uint64_t kWordsPerKbit = 64;

uint64_t SizeWords(const std::vector<uint8_t>& sii) {
    if (sii.size() < (kSizeWord + 1) * 2) return std::max<uint64_t>(sii.size() / 2, 1);
    const uint64_t kbitLessOne = sii[kSizeWord * 2] | (sii[kSizeWord * 2 + 1] << 8);
    return (kbitLessOne + 1) * kWordsPerKbit;
}

std::chrono::nanoseconds BusyTime(const EscTraits& traits) {
    const double ms =
        traits.eepromBusyMs.value_or(traits.eepromEmulated ? kEmulatedBusyMs : kDefaultBusyMs);
    // The loader bounds it already; NaN and the like become no wait rather than UB.
    const double bounded = std::isfinite(ms) ? std::clamp(ms, 0.0, kMaxBusyMs) : 0.0;
    return std::chrono::nanoseconds(static_cast<int64_t>(std::llround(bounded * 1e6)));
}

}  // namespace

EmulatedEeprom::EmulatedEeprom(std::vector<uint8_t> sii, const EscTraits& traits,
                               SteadyClock::time_point now)
    : sii_(std::move(sii)),
      sizeWords_(SizeWords(sii_)),
      readWords_(traits.eepromReadBytes == 4 ? 2 : 4),
      notLoaded_(traits.eepromNotLoaded),
      assignedSeen_(traits.eepromAssignedToPdi) {
    uint16_t control = readWords_ == 4 ? kReads8Bytes : 0;
    if (traits.eepromEmulated) control |= kEmulated;
    if (traits.eepromChecksumError) control |= kChecksumError;
    if (traits.eepromNotLoaded) control |= kNotLoaded;
    SetControl(control);
    registers_[kConfig] = traits.eepromAssignedToPdi ? 1 : 0;
    Update(traits, now);
}

void EmulatedEeprom::Update(const EscTraits& traits, SteadyClock::time_point now) {
    now_ = now;
    busyTime_ = BusyTime(traits);
    registers_[kPdiAccess] = traits.pdiAccessActive ? 1 : 0;
    // The master may have written 0500H since; only a new value from the simulator wins.
    if (traits.eepromAssignedToPdi != assignedSeen_) {
        assignedSeen_ = traits.eepromAssignedToPdi;
        registers_[kConfig] = assignedSeen_ ? 1 : 0;
    }
    if (doneAt_ && now >= *doneAt_) Complete();
}

// While busy, or while the processor holds the EEPROM, the ESC drops the whole write to
// 0502H-050FH, address and all; 0500H stays the master's to write.
void EmulatedEeprom::Write(std::size_t first, std::span<const uint8_t> in) {
    const bool locked = doneAt_.has_value() || HeldByPdi();
    std::optional<uint16_t> command;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::size_t at = first + i;
        const uint8_t value = in[i];
        if (at == kConfig) {
            registers_[at] = value & 0x01;  // bit 1 asks the processor to let go; it never does
        } else if (at == kPdiAccess || locked) {
            continue;
        } else if (at == kControl) {
            registers_[at] =
                static_cast<uint8_t>((registers_[at] & ~kWriteEnable) | (value & kWriteEnable));
        } else if (at == kControl + 1) {
            command = static_cast<uint16_t>((value << 8) & kCommandMask);
        } else {
            registers_[at] = value;
        }
    }
    // After the loop, so that the address written with the command is the one used.
    if (command) Start(*command);
}

uint16_t EmulatedEeprom::Control() const {
    return static_cast<uint16_t>(registers_[kControl] | (registers_[kControl + 1] << 8));
}

void EmulatedEeprom::SetControl(uint16_t value) {
    registers_[kControl] = static_cast<uint8_t>(value & 0xFF);
    registers_[kControl + 1] = static_cast<uint8_t>(value >> 8);
}

bool EmulatedEeprom::HeldByPdi() const {
    return ((registers_[kConfig] | registers_[kPdiAccess]) & 0x01) != 0;
}

// Error bits stay through reads; only command 000 clears them.
void EmulatedEeprom::Start(uint16_t command) {
    uint16_t control = Control();
    if (command == 0) {
        control &= static_cast<uint16_t>(~(kNack | kWriteEnableError));
    } else if (command == kCommandRead) {
        SetControl(control | kBusy | kCommandRead);
        doneAt_ = now_ + busyTime_;
        if (busyTime_.count() == 0) Complete();
        return;
    } else if (command == kCommandWrite && (control & kWriteEnable) == 0) {
        control |= kWriteEnableError;
    } else {
        control |= kNack;  // the image is not writable, and reload is not offered
    }
    SetControl(control);
}

void EmulatedEeprom::Complete() {
    doneAt_.reset();
    uint16_t control = Control() & static_cast<uint16_t>(~(kBusy | kCommandMask));
    if (notLoaded_) {
        SetControl(control | kNack);  // no EEPROM answers, the data stays as it was
        return;
    }
    SetControl(control);
    const uint64_t word = registers_[kAddress] | (registers_[kAddress + 1] << 8) |
                          (uint64_t{registers_[kAddress + 2]} << 16) |
                          (uint64_t{registers_[kAddress + 3]} << 24);
    // A real EEPROM takes as many address bits as it has; words it holds beyond the image
    // read erased.
    for (std::size_t i = 0; i < readWords_; ++i) {
        const uint64_t byte = ((word + i) % sizeWords_) * 2;
        const bool inside = byte + 1 < sii_.size();
        registers_[kData + 2 * i] = inside ? sii_[byte] : 0xFF;
        registers_[kData + 2 * i + 1] = inside ? sii_[byte + 1] : 0xFF;
    }
}

}  // namespace kestrum::sim
