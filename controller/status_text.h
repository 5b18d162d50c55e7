// What a library, query or controller status means, in words.
#pragma once

#include <cstdint>
#include <string>

namespace pelvane {

// The controller's own error codes pass through the library unchanged. Their numbers are
// its maker's: a caller may tell that the controller refused, never why by the number.
constexpr bool IsControllerError(int32_t status) {
    return status >= 1 && status <= 9999;
}

std::string StatusText(int32_t status);

}  // namespace pelvane
