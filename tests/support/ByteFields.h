#pragma once

// The bytes of records and resources that another program reads (a host, the
// server, the system's loader): built field by field as a test expects them,
// and read back field by field, little-endian as both platforms store them.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// `value` as `width` little-endian bytes.
Bytes littleEndian(std::uint64_t value, std::size_t width = 4);

// The bytes of `text`, without a terminating NUL.
Bytes textBytes(const std::string& text);

// The parts one after the other.
Bytes joined(std::initializer_list<Bytes> parts);

// Reads little-endian fields off the front of some bytes, failing the test
// rather than reading past their end.
class ByteReader {
public:
    explicit ByteReader(const Bytes& bytes, std::size_t offset = 0)
        : bytes_(bytes), offset_(offset) {}

    std::size_t offset() const { return offset_; }
    void seek(std::size_t offset) { offset_ = offset; }
    void alignTo(std::size_t multiple) { offset_ = (offset_ + multiple - 1) / multiple * multiple; }
    bool atEnd() const { return offset_ == bytes_.size(); }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::int16_t i16() { return static_cast<std::int16_t>(take(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::int32_t i32() { return static_cast<std::int32_t>(take(4)); }
    Bytes bytes(std::size_t count);
    // A Pascal string, as stored.
    Bytes pascal() { return bytes(u8()); }
    // UTF-16 units up to a unit of 0, which is read but not kept.
    std::u16string utf16();

private:
    bool fits(std::size_t count) const;
    std::uint64_t take(std::size_t count);

    const Bytes& bytes_;
    std::size_t offset_;
};

} // namespace testing_support
