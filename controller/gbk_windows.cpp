// GBK through the Windows code page functions (code page 936). They take int lengths, so
// long texts go through in pieces.
#include <windows.h>

#include <algorithm>

#include "controller/gbk_convert.h"

namespace pelvane::gbk {
namespace {

constexpr UINT kGbk = 936;
constexpr std::size_t kPiece = 1 << 16;

void AppendUtf8(std::wstring_view wide, std::string& out) {
    if (wide.empty()) return;
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, out.data() + at, size, nullptr, nullptr);
}

// A character GBK cannot hold, or bytes that are not UTF-8 (U+FFFD), become one '?'.
void AppendGbk(std::string_view utf8, std::string& out) {
    const int length = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (count <= 0) return;
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), count);
    // A character beyond U+FFFF is two UTF-16 units, yet one '?': its high half is kept.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[kept++] = wide[i];
        if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF) ++i;
    }
    wide.resize(kept);
    const int units = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0,
                                         "?", nullptr);
    if (size <= 0) return;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(size));
    WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), units, out.data() + at, size, "?",
                        nullptr);
}

}  // namespace

std::string Decode(std::string_view gbk) {
    // A pair of bytes at a time: a pair the converter refuses is no character, so only its
    // first byte is marked and decoding goes on after it. 80H and FFH start none in GBK,
    // although code page 936 gives 80H the euro sign.
    std::wstring wide;
    std::string out;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        wchar_t c = 0;
        if (lead < 0x80) {
            wide += static_cast<wchar_t>(lead);
            ++i;
        } else if (lead != 0x80 && lead != 0xFF && i + 1 < gbk.size() &&
                   MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, gbk.data() + i, 2, &c, 1) == 1) {
            wide += c;
            i += 2;
        } else {
            wide += L'\xFFFD';
            ++i;
        }
        if (wide.size() >= kPiece) {
            AppendUtf8(wide, out);
            wide.clear();
        }
    }
    AppendUtf8(wide, out);
    return out;
}

std::string Encode(std::string_view utf8) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        std::size_t end = std::min(utf8.size(), at + kPiece);
        // Cut before a lead byte, never inside a character.
        while (end < utf8.size() && end > at + 1 &&
               (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            --end;
        AppendGbk(utf8.substr(at, end - at), out);
        at = end;
    }
    return out;
}

}  // namespace pelvane::gbk
