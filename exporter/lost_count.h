// The number in the lost-count text the window shows ("Lostcount:3").
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelvane::exporter {

// Empty unless the text is "Lostcount:" and a decimal number that fits, blanks allowed
// around it; the controller's text is not trusted to be either.
std::optional<int64_t> ParseLostCount(std::string_view text);

}  // namespace pelvane::exporter
