// Runs one controller command and collects what it printed.
#pragma once

#include <cstdint>

#include "kestrum.h"

namespace pelvane {

inline constexpr const char* kCommandLogFileName = "kstxcmd.txt";

// reply must hold kReplyCapacity bytes; it holds a zero-terminated text on return.
int32_t ExecuteCommand(KST_HANDLE handle, const char* command, char* reply);
int32_t DirectCommand(KST_HANDLE handle, const char* command, char* reply);

}  // namespace pelvane
