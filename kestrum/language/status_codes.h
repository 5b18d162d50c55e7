// The controller's error codes for commands it cannot answer, alike from every server.
#pragma once

#include <cstdint>

namespace kestrum::language {

inline constexpr int32_t kUnknownCommand = 2001;
inline constexpr int32_t kBadArgument = 2002;
inline constexpr int32_t kNoSuchNode = 2003;
inline constexpr int32_t kSdoFailed = 3001;
inline constexpr int32_t kSiiUnread = 3002;  // a node's identity, not read from its SII

}  // namespace kestrum::language
