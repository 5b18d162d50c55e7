#include "controller/reply_scan.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "controller/result_codes.h"

// ParseNumbers lives here rather than with the table read so that code which only
// parses (the fuzz target) does not pull in the controller library.

namespace pelvane {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The C locale's white space, fixed so that no locale can widen it.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Called only for spans that from_chars found outside the float range: such a value is
// either above 3e38 or below 1e-45, so the decimal order of its first significant digit
// tells which. The counts saturate long before int64 could overflow.
bool Overflows(const char* first, const char* last) {
    constexpr int64_t kCap = 1'000'000'000;
    const char* p = first;
    if (p != last && *p == '-') ++p;
    int64_t order = 0;
    bool significant = false;
    for (; p != last && IsDigit(*p); ++p) {
        if (*p != '0') significant = true;
        if (significant && order < kCap) ++order;
    }
    if (p != last && *p == '.') {
        for (++p; p != last && IsDigit(*p); ++p) {
            if (significant) continue;
            if (*p != '0') {
                significant = true;
            } else if (order > -kCap) {
                --order;
            }
        }
    }
    if (p != last && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negative = false;
        if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
        int64_t exponent = 0;
        for (; p != last && IsDigit(*p); ++p) {
            if (exponent < kCap) exponent = exponent * 10 + (*p - '0');
        }
        order += negative ? -exponent : exponent;
    }
    return order > 0;
}

// Converts the decimal number at first: optional '-', digits with an optional fraction,
// optional exponent. Infinity, NaN and hexadecimal spellings ("0x1A") are refused; the C
// library's strtod would take them, and depends on the locale's decimal point besides.
// Parsing straight into float rounds once, to the nearest float; beyond the float range
// the value becomes infinity or zero with its sign, as IEEE rounding gives.
// Returns the end of the number, or first when nothing could be taken.
const char* ConvertDecimal(const char* first, const char* last, float* value) {
    const char* p = first;
    if (p != last && *p == '-') ++p;
    if (p == last || !(IsDigit(*p) || *p == '.')) return first;
    // A hexadecimal reply read as its leading 0 would pass for a real value.
    if (last - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return first;
    float parsed = 0.0f;
    const auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (error == std::errc::invalid_argument || end == first) return first;
    if (error == std::errc::result_out_of_range) {
        const float magnitude =
            Overflows(first, end) ? std::numeric_limits<float>::infinity() : 0.0f;
        parsed = *first == '-' ? -magnitude : magnitude;
    }
    *value = parsed;
    return end;
}

}  // namespace

bool ScanInteger(const char* text, int32_t* value) {
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit(*p)) return false;
    // One past INT32_MAX is the magnitude of INT32_MIN; anything larger saturates.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; IsDigit(*p); ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) {
        *value = static_cast<int32_t>(-magnitude);
    } else {
        *value = magnitude >= kLimit ? std::numeric_limits<int32_t>::max()
                                     : static_cast<int32_t>(magnitude);
    }
    return true;
}

bool ScanWord(const char* text, char* word, std::size_t capacity) {
    const char* p = text;
    while (IsSpace(*p)) ++p;
    if (*p == '\0' || capacity == 0) return false;
    std::size_t length = 0;
    while (p[length] != '\0' && !IsSpace(p[length])) ++length;
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(word, p, length);
    word[length] = '\0';
    return true;
}

int32_t TableValueToStatusWord(float value) {
    if (std::isnan(value)) return std::numeric_limits<int32_t>::min();
    // 2^31 is exact in float; the lower limit -2^31 itself converts exactly.
    if (value >= 0x1p31f) return std::numeric_limits<int32_t>::max();
    if (value < -0x1p31f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t ParseNumbers(const char* text, int32_t count, float* values) {
    if (text == nullptr) return kResultNotANumber;
    if (values == nullptr && count > 0) return kResultBadArgument;
    const char* p = text;
    const char* const last = text + std::strlen(text);
    while (*p == ' ') ++p;
    if (!IsDigit(*p) && *p != '-') return kResultNotANumber;
    for (int32_t i = 0; i < count; ++i) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == '\0' || *p == '\r' || *p == '\n') return 0;
        if (!IsDigit(*p) && *p != '-') return 0;
        const char* const end = ConvertDecimal(p, last, &values[i]);
        if (end == p) return kResultNotANumber;
        p = end;
    }
    return 0;
}

bool ScanBytes(const char* text, int32_t count, int32_t* values) {
    const char* p = text;
    const char* end = text + std::strlen(text);
    for (int32_t i = 0; i < count; ++i) {
        if (i > 0 && (p == end || *p++ != ' ')) return false;
        int value = 0;
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc() || next == p || !IsDigit(*p) || value > 255) return false;
        values[i] = value;
        p = next;
    }
    return p == end || *p == '\r' || *p == '\n';
}

}  // namespace pelvane
