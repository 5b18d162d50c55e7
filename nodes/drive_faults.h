// Drives whose status word (6041H) shows a fault. A drive at fault is its own state, not
// the bus's: neither the verdict nor an exit code hears of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelvane {

inline constexpr int32_t kStatusWordFaultBit = 0x0008;

struct DriveFault {
    int32_t node = 0;
    int32_t statusWord = 0;
};

// The nodes of statusWords, by position, whose word has the fault bit; an unread word, or
// one wider than 16 bits that no drive gives, is none.
std::vector<DriveFault> DriveFaults(const std::vector<int32_t>& statusWords);

// "drives: Node4 fault (status word 0218H), Node7 fault (status word 0008H)", or
// "drives: no fault".
std::string DriveFaultsText(const std::vector<DriveFault>& faults);

}  // namespace pelvane
