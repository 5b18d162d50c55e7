#include "controller/gbk.h"

#include <algorithm>
#include <cstring>

#include "controller/gbk_convert.h"

namespace pelvane {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// Most controller text is ASCII; skip the converter for it.
std::string GbkToUtf8(std::string_view gbk) {
    return IsAscii(gbk) ? std::string(gbk) : gbk::Decode(gbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
    return IsAscii(utf8) ? std::string(utf8) : gbk::Encode(utf8);
}

std::string DecodeControllerField(const char* field, size_t fieldSize) {
    return GbkToUtf8(std::string_view(field, strnlen(field, fieldSize)));
}

}  // namespace pelvane
