// Takes nodes found in INIT to PREOP so that their mailboxes open, as a master does: SM0
// and SM1 set from the SII's standard mailbox words, then PREOP asked for in AL control.
// The scans that follow show whether the node got there; 0134H says why not. Nodes
// raised go back to INIT when the gateway stops. Used only when the user asks for it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ecat/master.h"
#include "ecat/scan.h"

namespace kestrum::ecat {

class StateRaiser {
  public:
    using Clock = std::chrono::steady_clock;
    // How long a node may take to reach PREOP, and how long one that did not is left alone.
    static constexpr std::chrono::seconds kRaiseWait{3};
    static constexpr std::chrono::seconds kRetryAfter{10};

    explicit StateRaiser(Master& master) : master_(master) {}

    // Asks nodes in INIT with a standard mailbox in their SII for PREOP, and follows those
    // asked before.
    void Follow(const BusScan& scan, Clock::time_point now);
    // Back to INIT with every node raised, at the positions they had.
    void LowerAll();

    std::vector<std::string> TakeNotes() { return std::exchange(notes_, {}); }

  private:
    struct Raised {
        uint16_t position = 0;
        uint32_t vendorId = 0, productCode = 0, serial = 0;
        Clock::time_point askedAt{};
        bool reached = false;
        bool givenUp = false;
    };
    bool Ask(uint16_t position, const NodeScan& node);
    Raised* Find(uint16_t position, const NodeScan& node);

    Master& master_;
    std::vector<Raised> raised_;
    std::vector<std::string> notes_;
};

}  // namespace kestrum::ecat
