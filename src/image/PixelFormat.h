#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace image {

// Colour model codes; the first four coincide with the host's colour-services
// space codes.
enum ColorModel : std::uint32_t {
    colorModelRGB = 0,
    colorModelCMYK = 2,
    colorModelLab = 3,
    colorModelGray = 4,
    colorModelPlanar = 100, // every channel stored as a plane of its own
    colorModelDuotone = 500,
};

enum ProfileKind : std::uint32_t {
    profileKindICC = 5000,
    profileKindNone = 9999,
};

// What the samples of an image mean. A value type, copied wholesale; the field
// order is part of the record layout.
struct PixelFormat {
    std::uint32_t colorModel = colorModelRGB;
    std::uint32_t colorChannels = 0; // alpha excluded
    bool hasAlpha = false;
    std::uint32_t modelFlag = 1; // carried along, never interpreted
    std::uint32_t alphaLast = 1; // 0: alpha is the first sample of a pixel
    std::uint32_t totalChannels = 0;
    std::uint32_t reservedZero = 0;
    std::uint32_t profileKind = profileKindNone;
    std::shared_ptr<std::vector<unsigned char>> iccProfile;
    std::vector<unsigned char> extraBytes;

    PixelFormat() = default;
    PixelFormat(std::uint32_t model, std::uint32_t colorChannelCount, bool withAlpha);

    // colorChannels plus the alpha sample, if any.
    [[nodiscard]] std::uint32_t channelsWithAlpha() const {
        return colorChannels + (hasAlpha ? 1U : 0U);
    }
    // Index of the first colour sample within a pixel.
    [[nodiscard]] std::uint32_t firstColorIndex() const {
        return hasAlpha && alphaLast == 0 ? 1U : 0U;
    }
    // Index of the alpha sample within a pixel (meaningful when hasAlpha).
    [[nodiscard]] std::uint32_t alphaIndex() const { return alphaLast == 1 ? colorChannels : 0U; }
    // Samples that one pixel occupies in a row: planar images keep one.
    [[nodiscard]] std::uint32_t samplesPerPixel() const;
};

} // namespace image
