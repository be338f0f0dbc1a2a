#include "ByteFields.h"

#include <gtest/gtest.h>

namespace testing_support {

Bytes littleEndian(std::uint64_t value, std::size_t width) {
    Bytes bytes;
    for (std::size_t i = 0; i < width; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return bytes;
}

Bytes textBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes ByteReader::bytes(std::size_t count) {
    if (!fits(count)) {
        return {};
    }
    const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(offset_);
    offset_ += count;
    return Bytes(first, first + static_cast<std::ptrdiff_t>(count));
}

std::u16string ByteReader::utf16() {
    std::u16string units;
    for (std::uint16_t unit = u16(); unit != 0; unit = u16()) {
        units += static_cast<char16_t>(unit);
    }
    return units;
}

bool ByteReader::fits(std::size_t count) const {
    if (offset_ > bytes_.size() || bytes_.size() - offset_ < count) {
        ADD_FAILURE() << "read of " << count << " bytes at " << offset_ << " beyond "
                      << bytes_.size();
        return false;
    }
    return true;
}

std::uint64_t ByteReader::take(std::size_t count) {
    std::uint64_t value = 0;
    if (fits(count)) {
        for (std::size_t i = 0; i < count; ++i) {
            value |= std::uint64_t{bytes_[offset_ + i]} << (8 * i);
        }
        offset_ += count;
    }
    return value;
}

} // namespace testing_support
