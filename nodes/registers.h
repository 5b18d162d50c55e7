// A node's error counters 300H to 313H as one block, by offset from 300H, with the ESC
// ports 0..3 each counter belongs to. The first four are the window's receive-error
// counters; all of them are 8-bit registers that stop at FFH.
#pragma once

#include <string>

namespace pelvane {

inline constexpr int kRegisterCount = 20;  // 300H..313H

constexpr int InvalidFrameRegister(int escPort) {
    return 2 * escPort;
}
constexpr int RxErrorRegister(int escPort) {
    return 2 * escPort + 1;
}
constexpr int ForwardedRegister(int escPort) {
    return 8 + escPort;
}
inline constexpr int kProcessingUnitRegister = 12;  // 30CH
inline constexpr int kPdiRegister = 13;             // 30DH
constexpr int LostLinkRegister(int escPort) {
    return 16 + escPort;
}
// 30EH/30FH hold the PDI error code, no count: never read as a counter.
constexpr bool RegisterIsCounter(int reg) {
    return reg >= 0 && reg < kRegisterCount && reg != 14 && reg != 15;
}

// "300H" .. "313H".
std::string RegisterName(int reg);

}  // namespace pelvane
