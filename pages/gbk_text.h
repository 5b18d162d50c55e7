// Controller text on screen: the controller speaks 8-bit GBK (code page 936).
#pragma once

#include <QString>
#include <string_view>

namespace pelvane {

// ASCII comes through unchanged; a byte that starts no valid character becomes U+FFFD.
QString FromGbk(std::string_view text);

}  // namespace pelvane
