// The parameter reader against any bytes at all: it must never read past the
// block (AddressSanitizer checks every access; libFuzzer hands each input
// over in a heap block of exactly its size), and what it reads must be a map
// that the writer encodes and the reader reads back unchanged.

#include "proxy/ParameterMap.h"

#include <boost/any.hpp>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool sameValue(const boost::any& a, const boost::any& b) {
    if (a.type() != b.type()) {
        return false;
    }
    if (const auto* text = boost::any_cast<std::string>(&a)) {
        return *text == boost::any_cast<std::string>(b);
    }
    if (const auto* integer = boost::any_cast<int>(&a)) {
        return *integer == boost::any_cast<int>(b);
    }
    if (const auto* flag = boost::any_cast<bool>(&a)) {
        return *flag == boost::any_cast<bool>(b);
    }
    if (const auto* real = boost::any_cast<double>(&a)) {
        // Bit for bit: a NaN read from the block stays that NaN.
        const double other = boost::any_cast<double>(b);
        return std::memcmp(real, &other, sizeof other) == 0;
    }
    return false;
}

bool sameMaps(const proxy::ParameterMap& a, const proxy::ParameterMap& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || !sameValue(i->second, j->second)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const proxy::ParameterMap map = proxy::deserializeParameters(data, size);
    // Each entry comes from a record of at least a header.
    if (map.size() > size / proxy::parameterHeaderSize) {
        __builtin_trap();
    }
    const proxy::ParameterMap again = proxy::deserializeParameters(proxy::serializeParameters(map));
    if (!sameMaps(map, again)) {
        __builtin_trap();
    }
    return 0;
}
