#pragma once

#include <string>

namespace host {

// UTF-8 <-> UTF-16. Malformed input is not an error: an invalid UTF-8 byte
// becomes U+FFFD and a lone surrogate is carried through as it is, so that
// whatever a plug-in hands over can still be shown.
std::u16string utf16FromUtf8(const std::string& text);
std::string utf8FromUtf16(const std::u16string& text);

} // namespace host
