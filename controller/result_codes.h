// Query result codes besides 0 (success) and the library's own statuses.
#pragma once

#include <cstdint>

namespace pelvane {

// The controller printed nothing where a value was expected.
inline constexpr int32_t kResultEmptyReply = 30000;
// A table reply is not a number.
inline constexpr int32_t kResultNotANumber = 30001;
// A missing output place, or a node above what the command allows.
inline constexpr int32_t kResultBadArgument = 30002;
// A command that prints nothing on success printed text.
inline constexpr int32_t kResultUnexpectedText = 30003;

}  // namespace pelvane
