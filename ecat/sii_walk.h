// One node's SII read a little at a time, so that no read of it holds a scan: its EEPROM
// is driven only for as long as each call allows, and the categories are walked again
// over the words read so far whenever the words they asked for are in.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ecat/eeprom.h"
#include "ecat/master.h"
#include "ecat/sii.h"

namespace kestrum::ecat {

// Words 0008H-000FH as read: vendor, product, revision, serial.
using IdentityWords = std::array<uint8_t, 16>;

class SiiWalk {
  public:
    using Clock = std::chrono::steady_clock;
    using Progress = EepromPort::Progress;
    // The identity words alone, or the whole SII.
    enum class Scope { kIdentity, kWhole };

    SiiWalk(Master& master, uint16_t position, Scope scope)
        : port_(master, position), position_(position), scope_(scope) {}

    // Goes on until done, failed, or the deadline; one step at least.
    Progress Continue(Clock::time_point deadline);

    uint16_t position() const { return position_; }
    Scope scope() const { return scope_; }
    // Once done, for the whole SII.
    const SiiInfo& info() const { return info_; }
    // Once read, whatever became of the rest.
    std::optional<IdentityWords> identity() const;
    // Once failed: why, and in words the reason names.
    SiiFault fault() const { return fault_; }
    const std::string& detail() const { return detail_; }
    uint16_t lastStatus() const { return port_.lastStatus(); }
    int commands() const { return port_.commands(); }

  private:
    bool Have(uint32_t word, uint32_t count) const;
    void Store(uint32_t word, const std::vector<uint8_t>& data);
    // The walk over the words read so far: done, failed, or waiting for words.
    Progress Walk();
    // One step of reading the words the walk waits for, no frame waiting past deadline.
    Progress Fetch(Clock::time_point deadline);
    Progress Fail(SiiFault fault, std::string detail);

    EepromPort port_;
    uint16_t position_ = 0;
    Scope scope_;
    bool offered_ = false;
    std::vector<uint8_t> image_;  // 2 bytes a word, grown as words come in
    std::vector<bool> have_;
    uint32_t needFrom_ = 0, needTo_ = 0;  // the words the walk waits for
    bool reading_ = false;                // a read of needFrom_ has begun
    SiiInfo info_;
    SiiFault fault_ = SiiFault::kNone;
    std::string detail_;
};

}  // namespace kestrum::ecat
