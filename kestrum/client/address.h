// Controller addresses as the caller types them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrum {

inline constexpr std::size_t kMaxAddressLength = 254;

// Strict dotted quad "a.b.c.d", each part 0 to 255 in decimal without leading zeros,
// as an IPv4 address in host order. Anything else, including names and the short forms
// inet_aton accepts, is refused: the caller must never end up on an address it did not type.
std::optional<uint32_t> ParseIPv4(std::string_view text);

}  // namespace kestrum
