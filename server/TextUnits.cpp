#include "TextUnits.h"

#include <cstring>

namespace refserver {

namespace {

constexpr char32_t replacement = 0xFFFD;

// Decodes one character at `i`, advancing past it.
char32_t decodeUtf8(const std::string& text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) {
        return lead;
    }
    std::size_t extra = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return replacement;
    }
    for (std::size_t k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return replacement;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return replacement;
    }
    return code;
}

void appendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::vector<std::uint16_t> utf16Units(const std::string& utf8, std::size_t maxUnits) {
    std::vector<std::uint16_t> units;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t code = decodeUtf8(utf8, i);
        if (code >= 0x10000) {
            if (units.size() + 2 > maxUnits) {
                break;
            }
            const char32_t offset = code - 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (offset >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            if (units.size() + 1 > maxUnits) {
                break;
            }
            units.push_back(static_cast<std::uint16_t>(code));
        }
    }
    return units;
}

void writeUtf16Field(const std::string& utf8, unsigned char* field, std::size_t fieldBytes) {
    std::memset(field, 0, fieldBytes);
    const std::size_t capacity = fieldBytes / 2;
    if (capacity == 0) {
        return;
    }
    const std::vector<std::uint16_t> units = utf16Units(utf8, capacity - 1);
    for (std::size_t k = 0; k < units.size(); ++k) {
        field[2 * k] = static_cast<unsigned char>(units[k] & 0xFF);
        field[2 * k + 1] = static_cast<unsigned char>(units[k] >> 8);
    }
}

std::string utf8FromUtf16Field(const unsigned char* bytes, std::size_t byteCount) {
    std::string text;
    const std::size_t count = byteCount / 2;
    for (std::size_t k = 0; k < count; ++k) {
        const auto unit = static_cast<char32_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < count) {
            const auto low = static_cast<char32_t>(bytes[2 * k + 2] | (bytes[2 * k + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        appendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? replacement : unit);
    }
    return text;
}

} // namespace refserver
