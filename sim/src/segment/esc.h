// One node's EtherCAT slave controller as a master sees it: its register memory, its
// counters and the EEPROM interface over the node's SII image.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/src/machine.h"
#include "sim/src/segment/emulated_eeprom.h"

namespace kestrum::sim {

// Registers live below 1000H; process RAM is not emulated and reads as 0.
inline constexpr std::size_t kEscRegisterBytes = 0x1000;

class EmulatedEsc {
  public:
    using SteadyClock = std::chrono::steady_clock;

    EmulatedEsc(const SegmentNode& node, SteadyClock::time_point now);

    // The same device at the same place: one that differs is a new ESC with fresh state.
    bool SameDevice(const SegmentNode& node) const;
    // Before each frame: takes the node's counters, AL state and EEPROM ownership now, and
    // whether another node follows on port 1.
    void Update(const SegmentNode& node, bool last, SteadyClock::time_point now);

    // address + size must not pass 64 KiB; the line checks that before.
    void Read(uint16_t address, std::span<uint8_t> out) const;
    void Write(uint16_t address, std::span<const uint8_t> in);

    uint16_t stationAddress() const;

  private:
    uint16_t Register16(std::size_t address) const;
    void SetRegister16(std::size_t address, uint16_t value);
    void ClearCounters();

    SegmentNode device_;
    EmulatedEeprom eeprom_;
    std::array<uint8_t, kEscRegisterBytes> registers_{};
    // The node's counters count on from the simulator's; a clear makes them the new zero.
    std::array<int32_t, 20> counters_{};
    std::array<int32_t, 20> clearedAt_{};
};

}  // namespace kestrum::sim
