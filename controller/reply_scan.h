// Scanning of controller replies, independent of the process locale.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pelvane {

// Reads a signed decimal integer after leading white space, stopping at the first other
// character. Values beyond 32 bits saturate. Returns false and leaves value untouched
// when no digit is found.
bool ScanInteger(const char* text, int32_t* value);

// Copies the first white-space-delimited word into word (capacity bytes, terminator
// included), cut to fit. Returns false and leaves word untouched when there is none.
bool ScanWord(const char* text, char* word, std::size_t capacity);

// Reads exactly count decimal numbers 0..255, separated by single blanks, then the end
// of the text or of its line. False, with values partly written, for anything else.
bool ScanBytes(const char* text, int32_t count, int32_t* values);

// A table value as a status word: truncated toward zero, saturated at the 32-bit
// limits; NaN gives INT32_MIN so that it cannot pass for a plausible status word.
int32_t TableValueToStatusWord(float value);

// Reads up to count decimal numbers, separated by blanks, into values in order; the end
// of the text or of its line ends the list early with success. kResultNotANumber when
// the text does not start with a number or one cannot be read.
int32_t ParseNumbers(const char* text, int32_t count, float* values);

}  // namespace pelvane
