// The headless programs' reading of a node's DL status and error counters 300H..313H:
// in bulk where the controller answers "?NODE_REGS", item by item where only
// "?NODE_INFO" knows them, and only the four receive-error counters from a controller
// that knows neither.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "nodes/registers.h"

namespace pelvane {

enum class RegisterSource {
    kBulk,          // two "?NODE_REGS" a node
    kItems,         // "?NODE_INFO" a register
    kCountersOnly,  // 300H..303H alone, as the window reads them: no topology
};

struct NodeRegisters {
    std::optional<uint16_t> dlStatus;
    std::array<std::optional<int32_t>, kRegisterCount> counters;
};

class RegisterPoll {
  public:
    // Reads one node on the open link. A source the controller refuses with an error code
    // is left for good; one that gave an odd reply is left for this node only. status gets
    // the result of the last query sent.
    NodeRegisters Read(int32_t node, int32_t& status);

    RegisterSource source() const { return source_; }
    // A controller on a new link may know more.
    void Reset() { source_ = RegisterSource::kBulk; }

    enum class Answer { kRead, kOdd, kRefused };

  private:
    Answer ReadBulk(int32_t node, NodeRegisters& out, int32_t& status);
    Answer ReadItems(int32_t node, NodeRegisters& out, int32_t& status);
    void ReadCounters(int32_t node, NodeRegisters& out, int32_t& status);

    RegisterSource source_ = RegisterSource::kBulk;
};

}  // namespace pelvane
