#include "host/Document.h"

#include "image/Convert16To8Span.h"
#include "image/DepthConversion.h"

#include <algorithm>
#include <stdexcept>

namespace host {

using namespace hostapi;

namespace {

int channelsOf(ColorMode mode, int channels) {
    switch (mode) {
    case ColorMode::Gray:
    case ColorMode::Duotone:
        return 1;
    case ColorMode::RGB:
    case ColorMode::Lab:
        return 3;
    case ColorMode::CMYK:
        return 4;
    case ColorMode::Multichannel:
        return channels;
    }
    return channels;
}

} // namespace

Document::Document(ColorMode mode, int depth, int width, int height, int channels)
    : mode_(mode), depth_(depth), width_(width), height_(height),
      colorChannels_(channelsOf(mode, channels)) {
    if (depth != 8 && depth != 16) {
        throw std::invalid_argument("a document has 8 or 16 bits per sample");
    }
    if (width <= 0 || height <= 0 || colorChannels_ <= 0) {
        throw std::invalid_argument("a document needs pixels and channels");
    }
    pixels_.assign(rowBytes() * static_cast<std::size_t>(height), 0);
}

std::int16_t Document::imageMode() const {
    const bool deep = depth_ == 16;
    switch (mode_) {
    case ColorMode::Gray:
        return deep ? modeGray16 : modeGrayScale;
    case ColorMode::RGB:
        return deep ? modeRGB48 : modeRGBColor;
    case ColorMode::CMYK:
        return deep ? modeCMYK64 : modeCMYKColor;
    case ColorMode::Lab:
        return deep ? modeLab48 : modeLabColor;
    case ColorMode::Duotone:
        return deep ? modeDuotone16 : modeDuotone;
    case ColorMode::Multichannel:
        return deep ? modeDeepMultichannel : modeMultichannel;
    }
    return modeRGBColor;
}

std::size_t Document::offset(int x, int y, int plane) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || plane < 0 || plane >= planes()) {
        throw std::out_of_range("no such sample in the document");
    }
    return static_cast<std::size_t>(y) * rowBytes() +
           (static_cast<std::size_t>(x) * static_cast<std::size_t>(planes()) +
            static_cast<std::size_t>(plane)) *
               static_cast<std::size_t>(bytesPerSample());
}

std::uint32_t Document::sample(int x, int y, int plane) const {
    const std::size_t at = offset(x, y, plane);
    if (depth_ == 8) {
        return pixels_[at];
    }
    return static_cast<std::uint32_t>(pixels_[at] | (pixels_[at + 1] << 8));
}

void Document::setSample(int x, int y, int plane, std::uint32_t value) {
    const std::size_t at = offset(x, y, plane);
    value = std::min(value, maxValue());
    if (depth_ == 8) {
        pixels_[at] = static_cast<std::uint8_t>(value);
    } else {
        // Host byte order: the delivered buffers are read as native uint16.
        pixels_[at] = static_cast<std::uint8_t>(value & 0xFF);
        pixels_[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

std::uint8_t Document::eightBitSample(std::uint32_t sample) const {
    const std::uint32_t value = std::min(sample, maxValue());
    return depth_ == 16 ? image::convert16To8Sample(static_cast<std::uint16_t>(value))
                        : static_cast<std::uint8_t>(value);
}

std::uint32_t Document::sampleFromEightBits(std::uint8_t value) const {
    return depth_ == 16 ? image::convert8To16Sample(value) : value;
}

void Document::fill(const std::vector<std::uint32_t>& values) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            for (std::size_t p = 0; p < values.size() && static_cast<int>(p) < planes(); ++p) {
                setSample(x, y, static_cast<int>(p), values[p]);
            }
        }
    }
}

void Document::addTransparency(std::uint32_t alpha) {
    if (transparency_) {
        return;
    }
    const int oldPlanes = planes();
    const auto bps = static_cast<std::size_t>(bytesPerSample());
    std::vector<std::uint8_t> old = std::move(pixels_);
    transparency_ = true;
    pixels_.assign(rowBytes() * static_cast<std::size_t>(height_), 0);
    const std::size_t oldPixel = static_cast<std::size_t>(oldPlanes) * bps;
    for (std::size_t i = 0, n = static_cast<std::size_t>(width_) * height_; i < n; ++i) {
        std::copy_n(old.begin() + static_cast<std::ptrdiff_t>(i * oldPixel), oldPixel,
                    pixels_.begin() + static_cast<std::ptrdiff_t>(i * (oldPixel + bps)));
    }
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            setSample(x, y, oldPlanes, alpha);
        }
    }
}

void Document::setSelection(std::vector<std::uint8_t> mask) {
    if (mask.size() != static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {
        throw std::invalid_argument("a selection has one sample per pixel");
    }
    selection_ = std::move(mask);
}

void Document::selectRect(const VRect& r) {
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width_) * height_, 0);
    for (int y = std::max(0, r.top); y < std::min(height_, r.bottom); ++y) {
        for (int x = std::max(0, r.left); x < std::min(width_, r.right); ++x) {
            mask[static_cast<std::size_t>(y) * width_ + x] = 255;
        }
    }
    selection_ = std::move(mask);
}

std::uint8_t Document::selection(int x, int y) const {
    if (selection_.empty()) {
        return 255;
    }
    return selection_.at(static_cast<std::size_t>(y) * width_ + x);
}

VRect Document::filterRect() const {
    if (filterRect_) {
        return *filterRect_;
    }
    if (!selection_.empty()) {
        // The bounds of what is selected, as the host hands a selection over.
        VRect bounds{height_, width_, 0, 0};
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (selection_[static_cast<std::size_t>(y) * width_ + x] != 0) {
                    bounds.top = std::min(bounds.top, y);
                    bounds.left = std::min(bounds.left, x);
                    bounds.bottom = std::max(bounds.bottom, y + 1);
                    bounds.right = std::max(bounds.right, x + 1);
                }
            }
        }
        if (!isEmpty(bounds)) {
            return bounds;
        }
    }
    return rectLTRB(0, 0, width_, height_);
}

void Document::setWholeSize(int width, int height) {
    wholeSize_ = VPoint{height, width};
}

VPoint Document::wholeSize() const {
    return wholeSize_ ? *wholeSize_ : VPoint{height_, width_};
}

std::int16_t Document::filterCase() const {
    if (filterCaseOverride_) {
        return *filterCaseOverride_;
    }
    const bool selected = hasSelection();
    if (!transparency_) {
        return selected ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
    }
    if (protectedTransparency_) {
        return selected ? filterCaseProtectedTransparencyWithSelection
                        : filterCaseProtectedTransparencyNoSelection;
    }
    return selected ? filterCaseEditableTransparencyWithSelection
                    : filterCaseEditableTransparencyNoSelection;
}

PlaneLayout Document::planeLayout() const {
    if (layoutOverride_) {
        return *layoutOverride_;
    }
    PlaneLayout layout;
    const auto colour = static_cast<std::int16_t>(colorChannels_);
    const std::int16_t alpha = transparency_ ? 1 : 0;
    layout.inLayerPlanes = colour;
    layout.inTransparencyMask = alpha;
    layout.outLayerPlanes = colour;
    // Locked transparency: the filter may not change the transparency plane.
    layout.outTransparencyMask = protectedTransparency_ ? std::int16_t{0} : alpha;
    return layout;
}

} // namespace host
