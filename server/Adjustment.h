#pragma once

#include "AdjustmentSettings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace refserver {

// How the samples of a tile lie: interleaved pixels of `colorChannels` colour
// samples followed by one alpha sample when `hasAlpha`, each sample 1 byte
// (0..255) or 2 bytes (0..32768) in the machine's byte order.
struct PixelLayout {
    int colorModel = 0; // the host's codes: RGB 0, CMYK 2, Lab 3, Gray 4, ...
    int colorChannels = 3;
    bool hasAlpha = false;
    int bytesPerSample = 1;

    int totalChannels() const { return colorChannels + (hasAlpha ? 1 : 0); }
    std::size_t pixelBytes() const {
        return static_cast<std::size_t>(totalChannels()) * static_cast<std::size_t>(bytesPerSample);
    }
    // Full scale of a sample: 255 or 32768.
    std::uint32_t maxValue() const { return bytesPerSample == 1 ? 255U : 32768U; }
};

// The adjustment of a set of settings, prepared for one pixel layout.
// Per colour sample: exposure, then contrast, then (RGB only) saturation
// around the pixel's luminance, then clipping to full scale, then inversion.
// Alpha samples are left as they are. Samples above full scale (a 16-bit
// sample can hold up to 65535) are read as full scale.
class Adjustment {
public:
    static constexpr int modelRGB = 0;

    Adjustment(const AdjustmentSettings& settings, const PixelLayout& layout);

    // Adjusts a tile in place. `mask`, when given, holds one sample per pixel
    // of the same size as the tile's samples (0 unselected, full scale
    // selected) with rows `maskRowBytes` apart; each pixel then moves from
    // its old to its adjusted value in proportion to its mask value.
    void apply(unsigned char* pixels, std::size_t rowBytes, int width, int height,
               const unsigned char* mask = nullptr, std::size_t maskRowBytes = 0) const;

    bool isIdentity() const { return identity_; }

private:
    template <typename Sample>
    void applyRow(unsigned char* row, const unsigned char* maskRow, int width) const;

    AdjustmentSettings settings_;
    PixelLayout layout_;
    bool saturate_;
    bool identity_;
    // Exposure and contrast of every possible sample value, unclipped, as a
    // fraction of full scale.
    std::vector<double> tone_;
};

} // namespace refserver
