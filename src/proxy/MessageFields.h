#pragma once

// The texts in the fixed fields of the message records: buffer names, the
// profile's name, the new-layer texts. A field holds its text and a NUL, or,
// written by a careless peer, text up to its last byte; a reader never looks
// beyond the field.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace msg {

// The text of a field of `fieldBytes` bytes: up to its first NUL, or the
// whole field when no NUL comes first.
inline std::string fieldText(const char* field, std::size_t fieldBytes) {
    return {field, std::find(field, field + fieldBytes, '\0')};
}

template <std::size_t N> std::string fieldText(const char (&field)[N]) {
    return fieldText(field, N);
}

// Writes `text` with its NUL into a field, zeros behind it. False, and the
// field untouched, when text and NUL do not fit.
template <std::size_t N> bool writeFieldText(char (&field)[N], const std::string& text) {
    if (text.size() >= N) {
        return false;
    }
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size());
    return true;
}

} // namespace msg
