// A node's error registers 300H to 313H as one block, by offset from 300H, with the ESC
// ports 0..3 each counter belongs to: lookups into the language's table
// (kestrum/language/error_registers.h). The first four are the window's receive-error
// counters; all of them are 8-bit registers that stop at FFH.
#pragma once

#include <string>

#include "kestrum/language/error_registers.h"

namespace pelvane {

inline constexpr int kRegisterCount = kestrum::language::kErrorRegisterCount;

constexpr int InvalidFrameRegister(int escPort) {
    return kestrum::language::ErrorRegisterOf(kestrum::language::ErrorKind::kInvalidFrame, escPort);
}
constexpr int RxErrorRegister(int escPort) {
    return kestrum::language::ErrorRegisterOf(kestrum::language::ErrorKind::kRxError, escPort);
}
constexpr int ForwardedRegister(int escPort) {
    return kestrum::language::ErrorRegisterOf(kestrum::language::ErrorKind::kForwarded, escPort);
}
inline constexpr int kProcessingUnitRegister =
    kestrum::language::ErrorRegisterOf(kestrum::language::ErrorKind::kProcessingUnit);
inline constexpr int kPdiRegister =
    kestrum::language::ErrorRegisterOf(kestrum::language::ErrorKind::kPdi);
constexpr int LostLinkRegister(int escPort) {
    return kestrum::language::ErrorRegisterOf(kestrum::language::ErrorKind::kLostLink, escPort);
}
// 30EH/30FH hold the PDI error code, no count: never read as a counter.
constexpr bool RegisterIsCounter(int reg) {
    return kestrum::language::IsErrorCounter(reg);
}

// "300H" .. "313H".
std::string RegisterName(int reg);

}  // namespace pelvane
