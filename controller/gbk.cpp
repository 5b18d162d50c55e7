#include "gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace pelvane {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Without a GBK converter keep what is ASCII.
std::string AsciiOnly(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x80) {
            out += c;
        } else {
            out += kReplacement;
        }
    }
    return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    // Most controller text is ASCII; skip the converter for it.
    if (IsAscii(gbk)) return std::string(gbk);
    const iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return AsciiOnly(gbk);
    std::string out;
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    while (inLeft > 0) {
        char chunk[256];
        char* at = chunk;
        size_t room = sizeof chunk;
        const size_t result = iconv(cd, &in, &inLeft, &at, &room);
        const int error = errno;
        out.append(chunk, static_cast<size_t>(at - chunk));
        if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
        // An invalid byte, or a character cut off at the end: mark one byte, go on after it.
        out += kReplacement;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace pelvane
