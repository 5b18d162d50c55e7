// Texts to and from the controller, which speaks 8-bit GBK (code page 936).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace pelvane {

// The longest address handed to KST_FastOpen, in bytes.
inline constexpr size_t kMaxAddressLength = 254;

// A zero-terminated field of at most fieldSize bytes; reads no further even without a zero.
QString DecodeControllerField(const char* field, size_t fieldSize);
// Cut to kMaxAddressLength bytes, never inside a double-byte character.
std::string AddressForOpen(const QString& typed);

// The Identity line, from the three fields of GetControllerInfo.
QString FormatIdentityLine(const QString& model, const QString& version, const QString& id);

}  // namespace pelvane
