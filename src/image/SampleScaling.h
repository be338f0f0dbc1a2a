#pragma once

// The rules that scale one sample between the host's depths: 8-bit 0..255,
// 16-bit 0..32768 (the host's full scale, not 65535) and float 0.0..1.0.
// The plug-in, the host stand-in and the tests all scale with these, so
// that the document a server sees and the one the host shows agree to the
// last step.

#include <cstdint>

namespace image {

// Rounds to nearest: 255 becomes 32768, 128 becomes 16448, 254 becomes 32640.
inline std::uint16_t convert8To16Sample(std::uint8_t value) {
    return static_cast<std::uint16_t>((std::uint32_t{value} * 32768U + 128U) / 255U);
}

// Rounds to nearest: 32768 becomes 255, 16384 becomes 128. Inputs above
// 32768 are outside the host's range; they saturate at 255 here and in
// every vector variant of the span conversion alike.
inline std::uint8_t convert16To8Sample(std::uint16_t value) {
    const std::uint32_t scaled = (std::uint32_t{value} * 255U + 16384U) >> 15;
    return static_cast<std::uint8_t>(scaled > 255U ? 255U : scaled);
}

inline float convert8ToFloatSample(std::uint8_t value) {
    return static_cast<float>(value) / 255.0F;
}

} // namespace image
