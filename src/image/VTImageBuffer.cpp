#include "image/VTImageBuffer.h"

#include "image/Errors.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

namespace image {

namespace {

constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();

struct Layout {
    std::int32_t rowBytes;
    std::int32_t colBytes;
    std::int32_t planeBytes;
};

// The layout rules. Allocated buffers pad rows to 4 bytes; wrapped ones take
// the caller's minimum row length. Empty when a size does not fit in 32 bits.
std::optional<Layout> layoutFor(const PixelRect& area, std::int32_t sampleBytes,
                                const PixelFormat& pixelFormat, std::int64_t minimumRowBytes,
                                bool padToFour) {
    const std::int64_t samplesPerPixel = pixelFormat.samplesPerPixel();
    const std::int64_t sampleRow = area.width() * sampleBytes;
    if (sampleRow > int32Max || samplesPerPixel * sampleBytes > int32Max) {
        return std::nullopt;
    }
    std::int64_t row = sampleRow * samplesPerPixel;
    if (padToFour) {
        row = (row + 3) / 4 * 4;
    }
    row = std::max(row, minimumRowBytes);
    // nextRowPixelStride adds a pixel to a row, so that sum must fit as well.
    if (row + samplesPerPixel * sampleBytes > int32Max) {
        return std::nullopt;
    }
    std::int64_t plane = sampleBytes;
    if (pixelFormat.colorModel == colorModelPlanar) {
        plane = area.height() * row;
        if (plane > int32Max) {
            return std::nullopt;
        }
    }
    return Layout{static_cast<std::int32_t>(row),
                  static_cast<std::int32_t>(samplesPerPixel * sampleBytes),
                  static_cast<std::int32_t>(plane)};
}

} // namespace

VTImageBuffer::VTImageBuffer(unsigned char* samples, const PixelRect& area,
                             std::int32_t minimumRowBytes, std::int32_t sampleBytes,
                             PixelFormat pixelFormat)
    : data(samples), bytesPerSample(sampleBytes), bounds(area), format(std::move(pixelFormat)),
      maxValue(maxValueFor(sampleBytes)) {
    if (sampleBytes <= 0) {
        throw std::runtime_error(errors::badBytesPerSample);
    }
    format.totalChannels = format.channelsWithAlpha();
    const auto layout = layoutFor(area, sampleBytes, format, minimumRowBytes, false);
    if (!layout) {
        throw std::runtime_error(errors::rowTooLong);
    }
    rowBytes = layout->rowBytes;
    colBytes = layout->colBytes;
    planeBytes = layout->planeBytes;
    deriveStrides();
}

VTImageBuffer::VTImageBuffer(const VTImageBuffer& other)
    : data(other.data), rowBytes(other.rowBytes), colBytes(other.colBytes),
      bytesPerSample(other.bytesPerSample), planeBytes(other.planeBytes), bounds(other.bounds),
      pixelStride(other.pixelStride), rowStride(other.rowStride),
      nextRowPixelStride(other.nextRowPixelStride), planeStride(other.planeStride),
      format(other.format), maxValue(other.maxValue), reservedWord(other.reservedWord) {
    format.totalChannels = format.channelsWithAlpha();
}

VTImageBuffer::VTImageBuffer(const PixelRect& area, std::int32_t sampleBytes,
                             PixelFormat pixelFormat)
    : bytesPerSample(sampleBytes), bounds(area), format(std::move(pixelFormat)),
      maxValue(maxValueFor(sampleBytes)) {
    if (sampleBytes <= 0) {
        throw std::runtime_error(errors::badBytesPerSample);
    }
    format.totalChannels = format.channelsWithAlpha();
    const auto layout = layoutFor(area, sampleBytes, format, 0, true);
    if (!layout) {
        throw std::bad_alloc();
    }
    rowBytes = layout->rowBytes;
    colBytes = layout->colBytes;
    planeBytes = layout->planeBytes;
    deriveStrides();

    const std::size_t planes =
        format.colorModel == colorModelPlanar ? std::max<std::size_t>(format.totalChannels, 1) : 1;
    const std::size_t plane = static_cast<std::size_t>(area.height()) * rowBytes;
    if (plane != 0 && planes > std::numeric_limits<std::size_t>::max() / plane) {
        throw std::bad_alloc();
    }
    data = new unsigned char[plane * planes]();
    ownsData = true;
}

VTImageBuffer::~VTImageBuffer() {
    if (ownsData) {
        delete[] data;
    }
}

std::uint32_t VTImageBuffer::maxValueFor(std::int32_t sampleBytes) {
    switch (sampleBytes) {
    case 1:
        return 255;
    case 2:
        return 32768;
    case 4:
        return 1;
    default:
        if (sampleBytes <= 0) {
            return 0;
        }
        return sampleBytes >= 4 ? std::numeric_limits<std::uint32_t>::max()
                                : (1U << (8 * sampleBytes)) - 1U;
    }
}

unsigned char* VTImageBuffer::pixelAddress(std::int32_t x, std::int32_t y) const {
    const std::ptrdiff_t offset =
        static_cast<std::ptrdiff_t>(y - std::int64_t{bounds.top}) * rowBytes +
        static_cast<std::ptrdiff_t>(x - std::int64_t{bounds.left}) * colBytes;
    return data + offset;
}

void VTImageBuffer::deriveStrides() {
    pixelStride = colBytes / bytesPerSample;
    rowStride = rowBytes / bytesPerSample;
    nextRowPixelStride = pixelStride + rowStride;
    planeStride = planeBytes / bytesPerSample;
}

} // namespace image
