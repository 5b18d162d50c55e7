#include "kestrum/client/address.h"

namespace kestrum {

std::optional<uint32_t> ParseIPv4(std::string_view text) {
    if (text.empty() || text.size() > kMaxAddressLength) return std::nullopt;
    uint32_t value = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        // Plain comparisons, not isdigit: the locale must not widen what we accept.
        std::size_t start = pos;
        uint32_t octet = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            octet = octet * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
        }
        std::size_t digits = pos - start;
        if (digits == 0 || octet > 255 || (digits > 1 && text[start] == '0')) return std::nullopt;
        value = value << 8 | octet;
    }
    if (pos != text.size()) return std::nullopt;
    return value;
}

}  // namespace kestrum
