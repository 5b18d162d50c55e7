// Texts to and from the controller, which speaks 8-bit GBK (code page 936). On screen
// they are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// The longest address handed to KST_FastOpen, in bytes.
inline constexpr size_t kMaxAddressLength = 254;

// The typed address in GBK, cut to kMaxAddressLength bytes, never inside a double-byte
// character.
std::string AddressForOpen(std::string_view typed);

// The Identity line, from the three fields of GetControllerInfo.
std::string FormatIdentityLine(std::string_view model, std::string_view version,
                               std::string_view id);

}  // namespace pelvane
