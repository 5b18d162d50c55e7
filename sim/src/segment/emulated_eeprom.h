// An ESC's EEPROM interface, 0500H-050FH, over the node's SII image, as slow and as
// particular as a real one: a read takes its time, a command while busy is lost, error
// bits stay until cleared, and the EEPROM may belong to the node's processor.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ecat/registers.h"

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

inline constexpr uint16_t kEepromFirst = ecat::kRegEepromConfig;
inline constexpr std::size_t kEepromBytes = ecat::kEepromInterfaceBytes;

class EmulatedEeprom {
  public:
    using SteadyClock = std::chrono::steady_clock;

    // traits.eepromReadBytes, eepromEmulated, eepromChecksumError and eepromNotLoaded are
    // the device's own and stay; the rest follow Update. The size is the one word 003EH
    // of sii gives, as its maker writes it to match the part: addresses wrap there.
    EmulatedEeprom(std::vector<uint8_t> sii, const EscTraits& traits, SteadyClock::time_point now);

    // Before each frame: the traits that may change at run time, and a command that is
    // due completes.
    void Update(const EscTraits& traits, SteadyClock::time_point now);

    // offset from 0500H, below kEepromBytes.
    uint8_t Read(std::size_t offset) const { return registers_[offset]; }
    // What one datagram writes from 0500H + first on, by EtherCAT.
    void Write(std::size_t first, std::span<const uint8_t> in);

  private:
    uint16_t Control() const;
    void SetControl(uint16_t value);
    bool HeldByPdi() const;
    void Start(uint16_t command);
    void Complete();

    std::vector<uint8_t> sii_;
    uint64_t sizeWords_;
    std::size_t readWords_;
    bool notLoaded_;
    std::array<uint8_t, kEepromBytes> registers_{};
    std::chrono::nanoseconds busyTime_{};
    bool assignedSeen_;  // the traits' 0500H bit 0, so that only a change overrides the master
    SteadyClock::time_point now_;
    std::optional<SteadyClock::time_point> doneAt_;
};

}  // namespace kestrum::sim
