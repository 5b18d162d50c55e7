// The headless programs' reading of a node's DL status and error counters 300H..313H:
// in bulk where the controller answers "?NODE_REGS", item by item where only
// "?NODE_INFO" knows them, and only the four receive-error counters from a controller
// that knows neither.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/read_failure.h"
#include "nodes/registers.h"

namespace pelvane {

enum class RegisterSource {
    kBulk,          // two "?NODE_REGS" a node
    kItems,         // "?NODE_INFO" a register
    kCountersOnly,  // 300H..303H alone, as the window reads them: no topology
};

// "bulk", "items" or "counters".
const char* RegisterSourceName(RegisterSource source);

struct NodeRegisters {
    std::optional<uint16_t> dlStatus;
    std::array<std::optional<int32_t>, kRegisterCount> counters;
    // The first of 300H..303H that brought no value.
    std::optional<ReadFailure> failure;
};

// A change in how the link's registers are read, and the answer that made it.
struct RegisterStep {
    RegisterSource to = RegisterSource::kItems;
    ReadFailure why;
    // The controller answers wider values than a byte: each counter is their low byte.
    bool lowByte = false;
};

// "registers: the controller refused ?NODE_REGS(0,0,272,2) with Error 4; reading items".
std::string RegisterStepText(const RegisterStep& step);

class RegisterPoll {
  public:
    // Reads one node on the open link. status gets the result of the last query sent.
    //
    // Our extensions are optional, and only behaviour tells whether a controller knows
    // them: any refusal, an empty or non-numeric reply or a value out of a register's
    // range leaves a source for good while it has never served on this link, and only for
    // this node and this poll once it has. A failed link is no such answer.
    NodeRegisters Read(int32_t node, int32_t& status);

    RegisterSource source() const { return source_; }
    // Every change since the link opened, in order; each is said once.
    const std::vector<RegisterStep>& steps() const { return steps_; }
    // A controller on a new link may know more.
    void Reset() { *this = {}; }

  private:
    // Each fills out and returns the answer that says the source does not serve, if any.
    std::optional<ReadFailure> ReadBulk(int32_t node, NodeRegisters& out, int32_t& status);
    std::optional<ReadFailure> ReadItems(int32_t node, NodeRegisters& out, int32_t& status);
    void ReadCounters(int32_t node, NodeRegisters& out, int32_t& status);

    RegisterSource source_ = RegisterSource::kBulk;
    std::array<bool, 2> served_{};  // bulk and items: it brought a value on this link
    std::vector<RegisterStep> steps_;
};

}  // namespace pelvane
