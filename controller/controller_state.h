// Process-wide values shared by the main window and the controller operations.
#pragma once

#include <cstdint>

#include "kestrum.h"

namespace pelvane {

// The one open controller link; 0 means not connected. Written only by the main window.
extern KST_HANDLE g_controllerHandle;
// Passed with every buffered command, in milliseconds.
extern uint32_t g_commandTimeout;
// 0 keeps the command log off; nothing in the program changes it.
extern int32_t g_commandLogMode;

inline constexpr uint32_t kDefaultCommandTimeoutMs = 1000;
inline constexpr uint32_t kReplyCapacity = 2048;

}  // namespace pelvane
