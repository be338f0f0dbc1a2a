#include "proxy/ParameterMap.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace proxy {

namespace {

// One encoded value: its type code and bytes.
struct EncodedValue {
    ParameterType type = parameterText;
    std::vector<std::uint8_t> bytes;
};

template <typename T> std::vector<std::uint8_t> bytesOf(T value) {
    std::vector<std::uint8_t> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// False for a value type that has no encoding.
bool encode(const boost::any& value, EncodedValue& encoded) {
    if (const auto* text = boost::any_cast<std::string>(&value)) {
        encoded.type = parameterText;
        encoded.bytes.assign(text->begin(), text->end());
        encoded.bytes.push_back(0);
    } else if (const auto* real = boost::any_cast<double>(&value)) {
        encoded.type = parameterDouble;
        encoded.bytes = bytesOf(*real);
    } else if (const auto* integer = boost::any_cast<int>(&value)) {
        encoded.type = parameterInteger;
        encoded.bytes = bytesOf(static_cast<std::int32_t>(*integer));
    } else if (const auto* wide = boost::any_cast<long>(&value)) {
        encoded.type = parameterInteger;
        encoded.bytes = bytesOf(static_cast<std::int32_t>(*wide));
    } else if (const auto* flag = boost::any_cast<bool>(&value)) {
        encoded.type = parameterBool;
        encoded.bytes = bytesOf(static_cast<std::int32_t>(*flag ? 1 : 0));
    } else {
        return false;
    }
    return true;
}

template <typename T> T readAt(const std::uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

} // namespace

std::vector<std::uint8_t> serializeParameters(const ParameterMap& map) {
    if (map.empty()) {
        return {};
    }
    std::vector<std::uint8_t> block(4096, 0);
    std::size_t offset = 0;
    for (const auto& [key, value] : map) {
        EncodedValue encoded;
        if (!encode(value, encoded)) {
            continue;
        }
        if (encoded.bytes.size() >
            static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            throw std::length_error("parameter value too long for its record");
        }
        const std::size_t recordSize = parameterHeaderSize + encoded.bytes.size();
        if (recordSize > block.size() - offset) {
            block.resize(recordSize + 2 * block.size());
        }
        const auto length = static_cast<std::int32_t>(encoded.bytes.size());
        std::uint8_t* record = block.data() + offset;
        std::memcpy(record, &key, 4);
        std::memcpy(record + 4, &length, 4);
        record[8] = encoded.type;
        std::copy(encoded.bytes.begin(), encoded.bytes.end(), record + parameterHeaderSize);
        offset += recordSize;
    }
    block.resize(offset);
    return block;
}

ParameterMap deserializeParameters(const std::uint8_t* bytes, std::size_t size) {
    ParameterMap map;
    std::size_t offset = 0;
    while (offset < size) {
        if (size - offset < parameterHeaderSize) {
            break;
        }
        const auto key = readAt<std::int32_t>(bytes + offset);
        const auto length = readAt<std::int32_t>(bytes + offset + 4);
        const std::uint8_t type = bytes[offset + 8];
        offset += parameterHeaderSize;
        if (length < 0 || static_cast<std::size_t>(length) > size - offset) {
            break;
        }
        const std::uint8_t* value = bytes + offset;
        const auto valueSize = static_cast<std::size_t>(length);
        switch (type) {
        case parameterText:
            map[key] = std::string(value, std::find(value, value + valueSize, 0));
            break;
        case parameterDouble:
            if (valueSize >= sizeof(double)) {
                map[key] = readAt<double>(value);
            }
            break;
        case parameterInteger:
            if (valueSize >= sizeof(std::int32_t)) {
                map[key] = static_cast<int>(readAt<std::int32_t>(value));
            }
            break;
        case parameterBool:
            if (valueSize >= sizeof(std::int32_t)) {
                map[key] = readAt<std::int32_t>(value) != 0;
            }
            break;
        default:
            break;
        }
        offset += valueSize;
    }
    return map;
}

ParameterMap deserializeParameters(const std::vector<std::uint8_t>& bytes) {
    return deserializeParameters(bytes.data(), bytes.size());
}

} // namespace proxy
