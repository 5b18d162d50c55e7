#include "sim/src/segment/emulated_eeprom.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ecat/registers.h"
#include "ecat/sii.h"

namespace kestrum::sim {
namespace {

using ecat::kEepromBusy;
using ecat::kEepromChecksumError;
using ecat::kEepromCommandMask;
using ecat::kEepromCommandRead;
using ecat::kEepromCommandWrite;
using ecat::kEepromEmulated;
using ecat::kEepromMissingAck;
using ecat::kEepromNotLoaded;
using ecat::kEepromReads8Bytes;
using ecat::kEepromWriteEnable;
using ecat::kEepromWriteEnableError;

// Offsets into the interface from 0500H.
constexpr std::size_t kConfig = 0;
constexpr std::size_t kPdiAccess = ecat::kRegEepromPdiAccess - ecat::kRegEepromConfig;
constexpr std::size_t kControl = ecat::kRegEepromControl - ecat::kRegEepromConfig;
constexpr std::size_t kAddress = ecat::kRegEepromAddress - ecat::kRegEepromConfig;
constexpr std::size_t kData = ecat::kRegEepromData - ecat::kRegEepromConfig;

constexpr double kDefaultBusyMs = 0.3;
constexpr double kEmulatedBusyMs = 3.0;
constexpr double kMaxBusyMs = 1000.0;
constexpr std::size_t kSizeWord = ecat::kSiiEepromSizeWord;
constexpr uint64_t kWordsPerKbit = ecat::kEepromWordsPerKibibit;

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
    uint16_t control = readWords_ == 4 ? kEepromReads8Bytes : 0;
    if (traits.eepromEmulated) control |= kEepromEmulated;
    if (traits.eepromChecksumError) control |= kEepromChecksumError;
    if (traits.eepromNotLoaded) control |= kEepromNotLoaded;
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
            registers_[at] = static_cast<uint8_t>((registers_[at] & ~kEepromWriteEnable) |
                                                  (value & kEepromWriteEnable));
        } else if (at == kControl + 1) {
            command = static_cast<uint16_t>((value << 8) & kEepromCommandMask);
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
        control &= static_cast<uint16_t>(~(kEepromMissingAck | kEepromWriteEnableError));
    } else if (command == kEepromCommandRead) {
        SetControl(control | kEepromBusy | kEepromCommandRead);
        doneAt_ = now_ + busyTime_;
        if (busyTime_.count() == 0) Complete();
        return;
    } else if (command == kEepromCommandWrite && (control & kEepromWriteEnable) == 0) {
        control |= kEepromWriteEnableError;
    } else {
        control |= kEepromMissingAck;  // the image is not writable, and reload is not offered
    }
    SetControl(control);
}

void EmulatedEeprom::Complete() {
    doneAt_.reset();
    uint16_t control = Control() & static_cast<uint16_t>(~(kEepromBusy | kEepromCommandMask));
    if (notLoaded_) {
        SetControl(control | kEepromMissingAck);  // no EEPROM answers, the data stays as it was
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
