// GBK through iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>

#include "controller/gbk_convert.h"

namespace pelvane::gbk {
namespace {

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

// Bytes of the UTF-8 sequence that lead starts; 1 for a byte that starts none.
size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    return lead >= 0xC2 ? 2 : 1;
}

// Converts all of text. Where the converter refuses, marker stands for what it refused:
// one byte, or with wholeUtf8 the whole UTF-8 sequence; then it goes on after it.
std::string Convert(iconv_t cd, std::string_view text, std::string_view marker, bool wholeUtf8) {
    std::string out;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        char chunk[256];
        char* at = chunk;
        size_t room = sizeof chunk;
        const size_t result = iconv(cd, &in, &inLeft, &at, &room);
        const int error = errno;
        out.append(chunk, static_cast<size_t>(at - chunk));
        if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
        out += marker;
        const size_t refused =
            wholeUtf8 ? std::min(inLeft, Utf8SequenceLength(static_cast<unsigned char>(*in))) : 1;
        in += refused;
        inLeft -= refused;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace

std::string Decode(std::string_view gbk) {
    const iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1)) return AsciiOnly(gbk);
    // An invalid byte, or a character cut off at the end: mark one byte, go on after it.
    std::string out = Convert(cd, gbk, kReplacement, false);
    iconv_close(cd);
    return out;
}

std::string Encode(std::string_view utf8) {
    const iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(utf8.size(), '?');
    std::string out = Convert(cd, utf8, "?", true);
    iconv_close(cd);
    return out;
}

}  // namespace pelvane::gbk
