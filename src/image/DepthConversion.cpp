#include "image/DepthConversion.h"

#include "image/Convert16To8Span.h"
#include "image/Image.h"
#include "image/SingleChannelImage.h"

#include <algorithm>
#include <cstddef>

namespace image {

namespace {

// Walks the 8-bit source over the overlap and writes each converted sample
// into the destination's row, pixel by pixel.
template <typename Destination, typename Rule>
void convertFrom8(const VTImageBuffer& source, VTImageBuffer& destination, Rule rule) {
    const PixelRect area = source.bounds.intersection(destination.bounds);
    Image<unsigned char>::LeftToRightTopToBottomConstIterator it(source);
    it.begin(area, nullptr, 0.0, 1.0);
    if (!it.valid()) {
        return;
    }
    auto* target = reinterpret_cast<Destination*>(destination.pixelAddress(area.left, area.top));
    for (; it.valid(); it.next()) {
        if (it.atRowStart()) {
            target = reinterpret_cast<Destination*>(destination.pixelAddress(area.left, it.y()));
        }
        *target = rule(*it.pixel());
        target += destination.pixelStride;
    }
}

template <typename T> bool allSamplesEqual(const VTImageBuffer& mask, T full) {
    typename SingleChannelImage<T>::LeftToRightTopToBottomConstIterator it(mask);
    for (; it.valid(); it.next()) {
        if (*it.pixel() != full) {
            return false;
        }
    }
    return true;
}

} // namespace

void convert16To8(const VTImageBuffer& source, VTImageBuffer& destination) {
    const PixelRect area = source.bounds.intersection(destination.bounds);
    if (area.isEmpty()) {
        return;
    }
    // Never more channels than the destination pixel holds, whatever the
    // source claims.
    const std::uint32_t channels =
        std::min(source.format.totalChannels, destination.format.totalChannels);
    // Rows are one contiguous span only when pixels sit back to back.
    const bool contiguous = source.format.totalChannels == destination.format.totalChannels &&
                            source.pixelStride == static_cast<std::int32_t>(channels) &&
                            destination.pixelStride == static_cast<std::int32_t>(channels);
    const auto width = static_cast<std::size_t>(area.width());
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const auto* from =
            reinterpret_cast<const std::uint16_t*>(source.pixelAddress(area.left, y));
        std::uint8_t* to = destination.pixelAddress(area.left, y);
        if (contiguous) {
            convert16To8Span(from, to, width * channels);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x) {
            for (std::uint32_t c = 0; c < channels; ++c) {
                to[static_cast<std::ptrdiff_t>(c) * destination.planeStride] =
                    convert16To8Sample(from[static_cast<std::ptrdiff_t>(c) * source.planeStride]);
            }
            from += source.pixelStride;
            to += destination.pixelStride;
        }
    }
}

void convert8To8(const VTImageBuffer& source, VTImageBuffer& destination) {
    convertFrom8<std::uint8_t>(source, destination, [](std::uint8_t v) { return v; });
}

void convert8To16(const VTImageBuffer& source, VTImageBuffer& destination) {
    convertFrom8<std::uint16_t>(source, destination, convert8To16Sample);
}

void convert8ToFloat(const VTImageBuffer& source, VTImageBuffer& destination) {
    convertFrom8<float>(source, destination, convert8ToFloatSample);
}

PixelRect nonZeroBoundingBox(const VTImageBuffer& mask) {
    const PixelRect& bounds = mask.bounds;
    PixelRect box(bounds.right, bounds.bottom, bounds.left, bounds.top);
    const auto width = static_cast<std::ptrdiff_t>(bounds.width());
    const std::ptrdiff_t step = mask.pixelStride;
    for (std::int32_t y = bounds.top; y < bounds.bottom && width > 0; ++y) {
        const unsigned char* row = mask.pixelAddress(bounds.left, y);
        std::ptrdiff_t first = 0;
        while (first < width && row[first * step] == 0) {
            ++first;
        }
        if (first == width) {
            continue;
        }
        std::ptrdiff_t last = width - 1;
        while (row[last * step] == 0) {
            --last;
        }
        box.left = std::min(box.left, static_cast<std::int32_t>(bounds.left + first));
        box.right = std::max(box.right, static_cast<std::int32_t>(bounds.left + last + 1));
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y + 1);
    }
    return box.isEmpty() ? PixelRect() : box;
}

bool isFullySelected(const VTImageBuffer& mask) {
    switch (mask.bytesPerSample) {
    case 1:
        return allSamplesEqual<unsigned char>(mask, 255);
    case 2:
        return allSamplesEqual<unsigned short>(mask, 32768);
    case 4:
        return allSamplesEqual<float>(mask, 1.0F);
    default:
        return false;
    }
}

} // namespace image
