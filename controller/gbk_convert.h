// The system's GBK converter behind gbk.h: iconv (gbk_posix.cpp) or the Windows code
// page functions (gbk_windows.cpp). Called for text that is not all ASCII.
#pragma once

#include <string>
#include <string_view>

namespace pelvane::gbk {

inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

std::string Decode(std::string_view gbk);
std::string Encode(std::string_view utf8);

}  // namespace pelvane::gbk
