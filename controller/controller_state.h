// Process-wide values shared by the main window and the controller operations.
#pragma once

#include <cstdint>

#include "kestrum.h"

namespace pelvane {

// The one open controller link; 0 means not connected. Per thread, as the command
// time-out: each polling thread of the exporter keeps a link of its own, and the window,
// with its one thread, sees no difference.
extern thread_local KST_HANDLE g_controllerHandle;
// Passed with every buffered command, in milliseconds.
extern thread_local uint32_t g_commandTimeout;
// 0 keeps the command log off; nothing in the program changes it.
extern int32_t g_commandLogMode;

inline constexpr uint32_t kDefaultCommandTimeoutMs = 1000;
inline constexpr uint32_t kReplyCapacity = 2048;

}  // namespace pelvane
