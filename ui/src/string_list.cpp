#include "ui/string_list.h"

#include <algorithm>

namespace pelvane::ui {
namespace {

// Locale-free, so the list keeps one order on every system and in every language.
char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
    });
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

}  // namespace

size_t SortedInsertPosition(const StringList& entries, std::string_view text) {
    const auto it = std::upper_bound(
        entries.begin(), entries.end(), text,
        [](std::string_view value, const std::string& entry) { return LessIgnoringCase(value, entry); });
    return static_cast<size_t>(it - entries.begin());
}

int FindStringPrefix(const StringList& entries, std::string_view prefix) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (StartsWithIgnoringCase(entries[i], prefix)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace pelvane::ui
