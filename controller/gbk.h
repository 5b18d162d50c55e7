// The controller's 8-bit texts are GBK (code page 936).
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// ASCII comes through unchanged; a byte that starts no valid character becomes U+FFFD.
std::string GbkToUtf8(std::string_view gbk);

}  // namespace pelvane
