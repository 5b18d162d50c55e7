// One node's EEPROM interface (0500H-050FH) driven the way slave controllers want it:
// by time, never a command while busy, sticky errors cleared with command 000, and a
// word taken only when the address the node echoes is the one asked for.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ecat/master.h"

namespace kestrum::ecat {

// Why a node's SII could not be read; kNone when it was.
enum class SiiFault {
    kNone,
    kHeldByProcessor,  // 0500H or 0501H bit 0: the PDI owns the EEPROM
    kChecksumError,    // 0502H bit 11: the power-up load found a bad checksum
    kNotLoaded,        // 0502H bit 12
    kTimeout,          // busy past the deadline, or no answer
    kNotAnswered,      // the ownership read (0500H) got no answer
    kMalformed,        // read, but its categories make no sense
};
// As the report prints it: no full stop.
std::string_view SiiFaultText(SiiFault fault);

class EepromPort {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDeadline{20};
    // An EEPROM emulated by the node's processor (0502H bit 5) answers in milliseconds.
    static constexpr std::chrono::milliseconds kEmulatedDeadline{100};
    static constexpr std::chrono::microseconds kPollGap{150};
    static constexpr int kTries = 3;

    enum class Progress { kPending, kDone, kFailed };

    EepromPort(Master& master, uint16_t position) : master_(master), position_(position) {}

    // Whether EtherCAT may use the EEPROM now; none when the node did not answer.
    // waitUntil, here and in Step, cuts a frame's wait short when the caller's time is up.
    std::optional<bool> Offered(std::optional<Clock::time_point> waitUntil = std::nullopt);
    // 4 or 8 bytes from word on; none, with the fault, when it cannot be read.
    std::optional<std::vector<uint8_t>> Read(uint32_t word, SiiFault* fault);

    // The same a step at a time, so that a slow EEPROM never holds the caller: Begin, then
    // Step until it is done (data) or failed (fault). A step is one poll of the interface
    // and at most one command; it never waits.
    void Begin(uint32_t word);
    Progress Step(std::vector<uint8_t>* data, SiiFault* fault,
                  std::optional<Clock::time_point> waitUntil = std::nullopt);

    // Commands written to 0502H so far, clears included.
    int commands() const { return commands_; }
    // 0502H as last seen: its load bits tell a checksum error or an unloaded EEPROM.
    uint16_t lastStatus() const { return lastStatus_; }

  private:
    // What the interface is waited for: idle before our command, idle after a clear, or
    // idle with our word's data.
    enum class Phase { kBeforeCommand, kClearing, kReading };

    // 0502H-050FH in one read: status, echoed address and data.
    std::optional<std::vector<uint8_t>> Status();
    void Command(uint16_t command, std::optional<uint32_t> word);
    Progress Await(Phase phase);
    // The interface has not become idle within the deadline of the current wait.
    bool Expired() const;
    Progress Failed(SiiFault* fault) const;
    Progress Take(const std::vector<uint8_t>& block, std::vector<uint8_t>* data, SiiFault* fault);

    Master& master_;
    uint16_t position_;
    Phase phase_ = Phase::kBeforeCommand;
    uint32_t word_ = 0;
    int attempt_ = 0;
    Clock::time_point waitSince_{};
    std::optional<Clock::time_point> waitUntil_;  // the current step's
    int commands_ = 0;
    uint16_t lastStatus_ = 0;
};

}  // namespace kestrum::ecat
