// How our programs open a link and search for controllers, alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelvane {

inline constexpr uint32_t kConnectTimeoutMs = 500;
inline constexpr uint32_t kSearchTimeMs = 100;
inline constexpr std::size_t kSearchBufferSize = 10240;
// Room held back from the library, so the reply always ends in a zero.
inline constexpr uint32_t kSearchCapacity = 10230;

}  // namespace pelvane
