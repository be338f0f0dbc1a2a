#pragma once

#include <string>
#include <string_view>

namespace text {

// UTF-8 <-> UTF-16, as the system's code page 65001 conversions behave:
// malformed input is not an error. A byte that does not start or continue a
// well-formed UTF-8 sequence (overlong forms, surrogates and values beyond
// U+10FFFF included) becomes U+FFFD, and so does an unpaired surrogate on
// the way back. Embedded NULs are converted like any other character.
std::u16string utf16FromUtf8(std::string_view utf8);
std::string utf8FromUtf16(std::u16string_view utf16);

} // namespace text
