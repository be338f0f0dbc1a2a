#pragma once

// The two records whose fields hold UTF-16 text: the document's name that
// the plug-in sends and the layer name of the server's answer to 28. The
// plug-in passes both on as bytes; only the server turns them into text and
// back, through the project's one UTF-8/UTF-16 conversion.

#include <cstddef>
#include <cstdint>
#include <string>

namespace refserver {

// Writes `utf8` into a field of `fieldBytes` bytes as little-endian UTF-16
// units followed by a zero unit; the rest of the field is zeroed. Units that
// leave no room for the terminator are dropped, and a surrogate pair is kept
// or dropped whole.
void writeUtf16Field(const std::string& utf8, std::uint8_t* field, std::size_t fieldBytes);

// The UTF-8 text of the little-endian UTF-16 units in a field, up to the
// first zero unit, never beyond `fieldBytes`.
std::string utf8FromUtf16Field(const std::uint8_t* field, std::size_t fieldBytes);

} // namespace refserver
