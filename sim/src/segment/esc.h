// One node's EtherCAT slave controller as a master sees it: its register memory, its
// counters, the EEPROM interface over the node's SII image, SyncManagers 0 and 1 with the
// node's mailbox, and the AL state a master asks for.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "kestrum_sim/line.h"
#include "sim/src/segment/emulated_eeprom.h"
#include "sim/src/segment/mailbox.h"

namespace kestrum::sim {

// Registers live below 1000H; above, only the mailbox areas keep anything: other memory
// reads as 0.
inline constexpr std::size_t kEscRegisterBytes = 0x1000;

class EmulatedEsc {
  public:
    using SteadyClock = std::chrono::steady_clock;

    EmulatedEsc(const SegmentNode& node, SteadyClock::time_point now);

    // The same device at the same place: one that differs is a new ESC with fresh state.
    bool SameDevice(const SegmentNode& node) const;
    // Before each frame: takes the node's counters, AL state and EEPROM ownership now, and
    // whether another node follows on port 1; the node serves its mailbox.
    void Update(const SegmentNode& node, bool last, SteadyClock::time_point now);

    // address + size must not pass 64 KiB; the line checks that before. False, with
    // nothing read or written, for an access a mailbox SyncManager refuses: it does not
    // count in the working counter.
    bool Read(uint16_t address, std::span<uint8_t> out);
    bool Write(uint16_t address, std::span<const uint8_t> in);

    uint16_t stationAddress() const;

  private:
    struct AlView {
        int32_t state = 0;
        bool error = false;
        int32_t code = 0;
        bool deviceId = false;
        bool operator==(const AlView&) const = default;
    };
    // A state a master asked for through AL control, and the simulator's AL view then:
    // it holds until the simulator changes that.
    struct Requested {
        AlView al;
        AlView simulator;
    };

    uint16_t Register16(std::size_t address) const;
    void SetRegister16(std::size_t address, uint16_t value);
    void ClearCounters();
    AlView Al() const;
    void ShowAl();
    void RequestState(uint8_t control);
    bool SyncManagersMatchSii() const;
    void WriteSyncManager(std::size_t at, uint8_t value);
    void SetSyncManager(std::size_t n, MailboxArea area, uint8_t control);
    // Opens or closes the mailbox as the AL state now asks.
    void Settle();
    void ServeMailbox(const SegmentNode& node);
    void ShowMailbox();

    SegmentNode device_;
    EmulatedEeprom eeprom_;
    std::array<uint8_t, kEscRegisterBytes> registers_{};
    // The node's counters count on from the simulator's; a clear makes them the new zero.
    ErrorRegisters counters_{};
    ErrorRegisters clearedAt_{};
    AlView simulator_;
    std::optional<Requested> requested_;
    EmulatedMailbox mailbox_;
    SteadyClock::time_point now_;
    int32_t startCounter_ = 0;  // the previous master's, until the mailbox first opens
    uint32_t emergenciesSeen_ = 0;
    uint16_t statusWord_ = 0;
};

}  // namespace kestrum::sim
