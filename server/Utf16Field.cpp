#include "Utf16Field.h"

#include "text/Unicode.h"

#include <cstring>

namespace refserver {

namespace {

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}

} // namespace

void writeUtf16Field(const std::string& utf8, std::uint8_t* field, std::size_t fieldBytes) {
    std::memset(field, 0, fieldBytes);
    if (fieldBytes < 2) {
        return;
    }
    std::u16string units = text::utf16FromUtf8(utf8);
    const std::size_t room = fieldBytes / 2 - 1;
    if (units.size() > room) {
        std::size_t kept = room;
        if (kept > 0 && isHighSurrogate(units[kept - 1])) {
            --kept;
        }
        units.resize(kept);
    }
    for (std::size_t k = 0; k < units.size(); ++k) {
        field[2 * k] = static_cast<std::uint8_t>(units[k] & 0xFFU);
        field[2 * k + 1] = static_cast<std::uint8_t>(units[k] >> 8U);
    }
}

std::string utf8FromUtf16Field(const std::uint8_t* field, std::size_t fieldBytes) {
    std::u16string units;
    for (std::size_t k = 0; k + 1 < fieldBytes; k += 2) {
        const auto unit = static_cast<char16_t>(field[k] | (field[k + 1] << 8U));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    return text::utf8FromUtf16(units);
}

} // namespace refserver
