#include "image/PixelFormat.h"

namespace image {

PixelFormat::PixelFormat(std::uint32_t model, std::uint32_t colorChannelCount, bool withAlpha)
    : colorModel(model), colorChannels(colorChannelCount), hasAlpha(withAlpha),
      totalChannels(channelsWithAlpha()) {}

std::uint32_t PixelFormat::samplesPerPixel() const {
    return colorModel == colorModelPlanar ? 1U : channelsWithAlpha();
}

} // namespace image
