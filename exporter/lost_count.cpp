#include "lost_count.h"

#include <charconv>

namespace pelvane::exporter {

namespace {

constexpr std::string_view kLabel = "Lostcount:";

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<int64_t> ParseLostCount(std::string_view text) {
    if (!text.starts_with(kLabel)) return std::nullopt;
    const std::string_view digits = TrimBlanks(text.substr(kLabel.size()));
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
    int64_t value = 0;
    // from_chars ignores the locale and reports overflow instead of wrapping.
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

}  // namespace pelvane::exporter
