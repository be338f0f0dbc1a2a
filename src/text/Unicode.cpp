#include "text/Unicode.h"

#include <cstddef>
#include <cstdint>

namespace text {

namespace {

constexpr char32_t replacement = U'\uFFFD';

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xE000;
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
        return;
    }
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10U)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FFU)));
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0U | (c >> 6U)));
        out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0U | (c >> 12U)));
        out.push_back(static_cast<char>(0x80U | ((c >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0U | (c >> 18U)));
        out.push_back(static_cast<char>(0x80U | ((c >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | ((c >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
    }
}

// The character that starts at `at`, and how many bytes it takes; a
// malformed start takes one byte and reads as the replacement character.
char32_t decodeUtf8(std::string_view utf8, std::size_t at, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    length = 1;
    std::size_t extra = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        return lead;
    }
    if ((lead & 0xE0U) == 0xC0U) {
        extra = 1;
        c = lead & 0x1FU;
    } else if ((lead & 0xF0U) == 0xE0U) {
        extra = 2;
        c = lead & 0x0FU;
    } else if ((lead & 0xF8U) == 0xF0U) {
        extra = 3;
        c = lead & 0x07U;
    } else {
        return replacement;
    }
    if (utf8.size() - at <= extra) {
        return replacement;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(utf8[at + k]);
        if ((next & 0xC0U) != 0x80U) {
            return replacement;
        }
        c = (c << 6U) | (next & 0x3FU);
    }
    static constexpr char32_t shortest[] = {0, 0x80, 0x800, 0x10000};
    if (c < shortest[extra] || c > 0x10FFFF || isSurrogate(c)) {
        return replacement;
    }
    length = extra + 1;
    return c;
}

} // namespace

std::u16string utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t length = 0;
        appendUtf16(out, decodeUtf8(utf8, at, length));
        at += length;
    }
    return out;
}

std::string utf8FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t unit = utf16[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10U) + (utf16[i + 1] - 0xDC00U));
            ++i;
        } else {
            appendUtf8(out, isSurrogate(unit) ? replacement : unit);
        }
    }
    return out;
}

} // namespace text
