#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace refserver {

// UTF-16 code units of a UTF-8 text, at most `maxUnits` of them; a character
// that would not fit whole is left out with everything after it. Malformed
// bytes become U+FFFD.
std::vector<std::uint16_t> utf16Units(const std::string& utf8, std::size_t maxUnits);

// Writes the units into a byte field in little-endian order, followed by a
// zero unit, all within `fieldBytes` bytes; the rest of the field is zeroed.
// Keeps room for the terminator by dropping units that do not fit.
void writeUtf16Field(const std::string& utf8, unsigned char* field, std::size_t fieldBytes);

// The UTF-8 text of the little-endian UTF-16 units in `bytes`, up to the
// first zero unit, never beyond `byteCount`. Unpaired surrogates become
// U+FFFD.
std::string utf8FromUtf16Field(const unsigned char* bytes, std::size_t byteCount);

} // namespace refserver
