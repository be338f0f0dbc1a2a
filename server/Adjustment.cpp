#include "Adjustment.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace refserver {

namespace {

// Rec. 709 luminance weights.
constexpr double redWeight = 0.2126;
constexpr double greenWeight = 0.7152;
constexpr double blueWeight = 0.0722;

template <typename Sample> std::uint32_t load(const unsigned char* at) {
    Sample value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename Sample> void store(unsigned char* at, std::uint32_t value) {
    const auto sample = static_cast<Sample>(value);
    std::memcpy(at, &sample, sizeof sample);
}

} // namespace

Adjustment::Adjustment(const AdjustmentSettings& settings, const PixelLayout& layout)
    : settings_(settings), layout_(layout),
      saturate_(settings.saturation != 1.0 && layout.colorModel == modelRGB &&
                layout.colorChannels >= 3),
      identity_(settings.exposure == 0.0 && settings.contrast == 1.0 &&
                (settings.saturation == 1.0 || !saturate_) && !settings.invert) {
    const std::uint32_t maxValue = layout_.maxValue();
    const double gain = std::exp2(settings_.exposure);
    tone_.resize(maxValue + 1U);
    for (std::uint32_t value = 0; value <= maxValue; ++value) {
        const double exposed = static_cast<double>(value) / maxValue * gain;
        tone_[value] = (exposed - 0.5) * settings_.contrast + 0.5;
    }
}

void Adjustment::apply(unsigned char* pixels, std::size_t rowBytes, int width, int height,
                       const unsigned char* mask, std::size_t maskRowBytes) const {
    if (identity_ || width <= 0 || height <= 0 || layout_.colorChannels <= 0) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        unsigned char* row = pixels + static_cast<std::size_t>(y) * rowBytes;
        const unsigned char* maskRow =
            mask != nullptr ? mask + static_cast<std::size_t>(y) * maskRowBytes : nullptr;
        if (layout_.bytesPerSample == 1) {
            applyRow<std::uint8_t>(row, maskRow, width);
        } else {
            applyRow<std::uint16_t>(row, maskRow, width);
        }
    }
}

template <typename Sample>
void Adjustment::applyRow(unsigned char* row, const unsigned char* maskRow, int width) const {
    const std::uint32_t maxValue = layout_.maxValue();
    const auto fullScale = static_cast<double>(maxValue);
    const auto channels = static_cast<std::size_t>(layout_.colorChannels);
    const std::size_t pixelBytes = layout_.pixelBytes();
    constexpr std::size_t sampleBytes = sizeof(Sample);
    // Room for any channel count the host can announce.
    double values[256];
    std::uint32_t originals[256];
    const std::size_t used = std::min<std::size_t>(channels, 256);

    for (int x = 0; x < width; ++x) {
        unsigned char* pixel = row + static_cast<std::size_t>(x) * pixelBytes;
        double weight = 1.0;
        if (maskRow != nullptr) {
            const std::uint32_t m = std::min(
                load<Sample>(maskRow + static_cast<std::size_t>(x) * sampleBytes), maxValue);
            if (m == 0) {
                continue;
            }
            weight = m / fullScale;
        }
        for (std::size_t c = 0; c < used; ++c) {
            originals[c] = std::min(load<Sample>(pixel + c * sampleBytes), maxValue);
            values[c] = tone_[originals[c]];
        }
        if (saturate_) {
            const double luminance =
                redWeight * values[0] + greenWeight * values[1] + blueWeight * values[2];
            for (std::size_t c = 0; c < 3; ++c) {
                values[c] = luminance + (values[c] - luminance) * settings_.saturation;
            }
        }
        for (std::size_t c = 0; c < used; ++c) {
            double v = std::clamp(values[c], 0.0, 1.0);
            if (settings_.invert) {
                v = 1.0 - v;
            }
            const double original = originals[c];
            const double blended = original + (v * fullScale - original) * weight;
            const auto result =
                static_cast<std::uint32_t>(std::clamp(std::floor(blended + 0.5), 0.0, fullScale));
            store<Sample>(pixel + c * sampleBytes, result);
        }
    }
}

} // namespace refserver
