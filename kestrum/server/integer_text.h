// Integers as bus files and @SIM commands write them.
#pragma once

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace kestrum::server {

// Decimal, or hexadecimal after "0x", with at most one leading '-'; nothing else may
// stand around it. nullopt when the text is not such a number or T cannot hold it.
template <typename T>
std::optional<T> ParseInteger(std::string_view s) {
    bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    // from_chars takes a sign of its own; one sign, in front, is all we allow.
    if (s.empty() || s.front() == '-' || s.front() == '+') return std::nullopt;
    int64_t v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    if (negative) v = -v;
    if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return std::nullopt;
    return static_cast<T>(v);
}

}  // namespace kestrum::server
