// Arbitrary controller replies through the reply scanners. The first byte picks how many
// numbers ParseNumbers and ScanBytes are asked for; the rest is the reply text.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "controller/drive_status.h"
#include "controller/queries.h"
#include "controller/reply_scan.h"

namespace {

constexpr int32_t kMaxCount = 20;
constexpr float kSentinel = -12345.0f;

// strtoll in the C locale reads the same grammar; clamped to 32 bits it must agree.
void CheckInteger(const char* text) {
    int32_t value = 7;
    const bool found = pelvane::ScanInteger(text, &value);
    char* end = nullptr;
    errno = 0;
    const long long reference = std::strtoll(text, &end, 10);
    const bool referenceFound = end != text;
    if (found != referenceFound) __builtin_trap();
    if (!found) {
        if (value != 7) __builtin_trap();
        return;
    }
    const long long clamped = reference > INT32_MAX   ? INT32_MAX
                              : reference < INT32_MIN ? INT32_MIN
                                                      : reference;
    if (value != clamped) __builtin_trap();
}

void CheckWord(const char* text) {
    char word[pelvane::kIdentityFieldSize + 1];
    word[pelvane::kIdentityFieldSize] = 'G';
    std::memcpy(word, "old", 4);
    const bool found = pelvane::ScanWord(text, word, pelvane::kIdentityFieldSize);
    if (word[pelvane::kIdentityFieldSize] != 'G') __builtin_trap();
    if (!found) {
        if (std::strcmp(word, "old") != 0) __builtin_trap();
        return;
    }
    const std::size_t length = strnlen(word, pelvane::kIdentityFieldSize);
    if (length == 0 || length == pelvane::kIdentityFieldSize) __builtin_trap();
}

void CheckNumbers(const char* text, int32_t count) {
    float values[kMaxCount];
    for (float& value : values) value = kSentinel;
    const int32_t result = pelvane::ParseNumbers(text, count, values);
    if (result != 0 && result != pelvane::kResultNotANumber) __builtin_trap();
    for (int32_t i = 0; i < kMaxCount; ++i) {
        if (i >= count && values[i] != kSentinel) __builtin_trap();
        if (std::isnan(values[i])) __builtin_trap();
        const int32_t word = pelvane::TableValueToStatusWord(values[i]);
        if (std::fabs(static_cast<double>(values[i])) < 1e9 &&
            word != static_cast<int32_t>(values[i])) {
            __builtin_trap();
        }
    }
}

// A register block: never written past count, every byte 0..255, and the bytes printed
// back read the same.
void CheckBytes(const char* text, int32_t count) {
    int32_t values[kMaxCount + 1];
    for (int32_t& value : values) value = -1;
    if (!pelvane::ScanBytes(text, count, values)) return;
    std::string again;
    for (int32_t i = 0; i < count; ++i) {
        if (values[i] < 0 || values[i] > 255) __builtin_trap();
        again += (i > 0 ? " " : "") + std::to_string(values[i]);
    }
    if (values[count] != -1) __builtin_trap();
    // Leading zeros read as the same byte; compare the numbers, not the spelling.
    int32_t reread[kMaxCount + 1];
    if (!pelvane::ScanBytes(again.c_str(), count, reread)) __builtin_trap();
    if (std::memcmp(reread, values, sizeof(int32_t) * static_cast<size_t>(count)) != 0)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int32_t count = data[0] % kMaxCount;
    // Like a reply buffer: zero-terminated; an embedded zero simply ends the text.
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckNumbers(text.c_str(), count);
    CheckBytes(text.c_str(), count);
    CheckInteger(text.c_str());
    CheckWord(text.c_str());
    return 0;
}
