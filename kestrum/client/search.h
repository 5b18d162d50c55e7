// Finding controllers by UDP broadcast.
#pragma once

#include <cstdint>

namespace kestrum {

// Writes the answering addresses, blank-separated, into out (capacity > 0).
int32_t SearchControllers(char* out, uint32_t capacity, uint32_t searchMs);

}  // namespace kestrum
