// The controller's 8-bit texts are GBK (code page 936).
#pragma once

#include <string>
#include <string_view>

namespace pelvane {

// ASCII comes through unchanged; a byte that starts no valid character becomes U+FFFD.
std::string GbkToUtf8(std::string_view gbk);
// ASCII comes through unchanged; a character GBK cannot hold, or bytes that are not
// UTF-8, become '?'.
std::string Utf8ToGbk(std::string_view utf8);

// A zero-terminated GBK field of at most fieldSize bytes; reads no further even without a
// zero.
std::string DecodeControllerField(const char* field, size_t fieldSize);

}  // namespace pelvane
