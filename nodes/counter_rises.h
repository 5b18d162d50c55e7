// How far each node's error counters (300H to 313H) rose across a series of samples.
// Shared by the headless programs, so a command-line watch and an exporter count alike.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "nodes/error_poll.h"
#include "nodes/registers.h"

namespace pelvane {

// The counters are 8-bit registers that stop here.
inline constexpr int32_t kCounterSaturation = 255;

inline bool CounterSaturated(int32_t value) {
    return value >= kCounterSaturation;
}

// One step between two readings of a register.
struct CounterStep {
    int64_t rise = 0;
    // The register reached saturation: the true rise may be larger.
    bool atLeast = false;
};

// A fall means the node cleared the register: the new value is what was counted since.
CounterStep StepBetween(int32_t before, int32_t after);

struct RegisterRise {
    int32_t value = 0;  // latest reading, as read
    int64_t total = 0;  // rise since the first reading; never falls
    bool totalAtLeast = false;
    CounterStep last;   // rise from the reading before
    bool seen = false;  // read at least once
};

class CounterRises {
  public:
    // Takes the counters of nodes 0 to nodeCount - 1 from table; nodes beyond keep theirs.
    void Take(const ErrorCounterTable& table, int32_t nodeCount);
    // One reading of one register (an offset from 300H, below kRegisterCount); node must be
    // below kNodeTableSize. A register that was not read did not rise this time, and never
    // becomes a first reading.
    void Take(int32_t node, int reg, std::optional<int32_t> value);

    const RegisterRise& at(int32_t node, int reg) const {
        return registers_[static_cast<size_t>(node)][static_cast<size_t>(reg)];
    }
    // The rise since the first reading, as a step.
    CounterStep total(int32_t node, int reg) const {
        const RegisterRise& r = at(node, reg);
        return {r.total, r.totalAtLeast};
    }

  private:
    // On the heap: a session lives on the stack of threads that have little of it.
    std::vector<std::array<RegisterRise, kRegisterCount>> registers_ =
        std::vector<std::array<RegisterRise, kRegisterCount>>(kNodeTableSize);
};

}  // namespace pelvane
