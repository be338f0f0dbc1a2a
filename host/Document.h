#pragma once

#include "hostapi/FilterInterface.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

// A rectangle in the host's field order (top, left, bottom, right), built
// from the left-top-right-bottom order that reads more naturally in tests.
constexpr hostapi::VRect rectLTRB(std::int32_t left, std::int32_t top, std::int32_t right,
                                  std::int32_t bottom) {
    return hostapi::VRect{top, left, bottom, right};
}

constexpr bool isEmpty(const hostapi::VRect& r) {
    return r.top >= r.bottom || r.left >= r.right;
}

constexpr bool sameRect(const hostapi::VRect& a, const hostapi::VRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

enum class ColorMode { Gray, RGB, CMYK, Lab, Duotone, Multichannel };

// An 8-bit RGB colour, the way a user picks the foreground and background.
struct RGB8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// How the host counts the planes it offers (the in.../out... plane fields).
struct PlaneLayout {
    std::int16_t inLayerPlanes = 0;
    std::int16_t inTransparencyMask = 0;
    std::int16_t inNonLayerPlanes = 0;
    std::int16_t outLayerPlanes = 0;
    std::int16_t outTransparencyMask = 0;
    std::int16_t outNonLayerPlanes = 0;
};

// The image a filter is applied to, as the host holds it: one layer (or a
// flat image) of `colorChannels()` planes plus an optional transparency
// plane last, interleaved, at 8 or 16 bits per sample (16-bit samples run
// 0..32768), with an optional selection (8-bit, 255 = selected) and the
// document facts that the filter record and the properties report.
class Document {
public:
    // `channels` matters only for Multichannel; the other modes know theirs.
    Document(ColorMode mode, int depth, int width, int height, int channels = 0);

    static Document rgb(int width, int height, int depth = 8) {
        return Document(ColorMode::RGB, depth, width, height);
    }

    ColorMode mode() const { return mode_; }
    int depth() const { return depth_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int colorChannels() const { return colorChannels_; }
    // Colour planes plus the transparency plane.
    int planes() const { return colorChannels_ + (transparency_ ? 1 : 0); }
    int bytesPerSample() const { return depth_ / 8; }
    // 255 or 32768.
    std::uint32_t maxValue() const { return depth_ == 16 ? 32768U : 255U; }
    // The host's image mode for this colour mode and depth (RGB 8 is 3,
    // RGB 16 is RGB48 = 11, ...).
    std::int16_t imageMode() const;

    // Samples of all planes interleaved, rows without padding.
    std::size_t rowBytes() const {
        return static_cast<std::size_t>(width_) * static_cast<std::size_t>(planes()) *
               static_cast<std::size_t>(bytesPerSample());
    }
    std::uint8_t* data() { return pixels_.data(); }
    const std::uint8_t* data() const { return pixels_.data(); }
    std::uint32_t sample(int x, int y, int plane) const;
    void setSample(int x, int y, int plane, std::uint32_t value);
    // A sample of this document as 8 bits, and an 8-bit value as a sample of
    // this document: the plug-in's rules (image/Convert16To8Span.h,
    // image/DepthConversion.h) at 16 bits, the value itself at 8.
    std::uint8_t eightBitSample(std::uint32_t sample) const;
    std::uint32_t sampleFromEightBits(std::uint8_t value) const;
    // Every pixel gets these plane values (missing trailing planes keep theirs).
    void fill(const std::vector<std::uint32_t>& values);

    // A layer with a transparency plane (the last plane), filled with `alpha`.
    void addTransparency(std::uint32_t alpha);
    bool hasTransparency() const { return transparency_; }
    // Lock Transparent Pixels: filter cases 6 and 7 instead of 4 and 5.
    void setProtectedTransparency(bool locked) { protectedTransparency_ = locked; }
    bool protectedTransparency() const { return protectedTransparency_; }

    // Selection of width × height samples, 255 = fully selected.
    void setSelection(std::vector<std::uint8_t> mask);
    // Selects the rectangle (255) and nothing else (0).
    void selectRect(const hostapi::VRect& r);
    void clearSelection() { selection_.clear(); }
    bool hasSelection() const { return !selection_.empty(); }
    std::uint8_t selection(int x, int y) const;
    const std::vector<std::uint8_t>& selectionMask() const { return selection_; }

    // The part of the image the filter works on: the whole image unless a
    // smaller layer or a selection's bounds say otherwise.
    void setFilterRect(const hostapi::VRect& r) { filterRect_ = r; }
    hostapi::VRect filterRect() const;
    // The size of the whole document under the image (a floating selection
    // or a layer smaller than the canvas); the image size unless set.
    void setWholeSize(int width, int height);
    hostapi::VPoint wholeSize() const;

    // Derived from transparency, protection and selection unless overridden.
    std::int16_t filterCase() const;
    void overrideFilterCase(std::optional<std::int16_t> filterCase) {
        filterCaseOverride_ = filterCase;
    }
    PlaneLayout planeLayout() const;
    void overridePlaneLayout(std::optional<PlaneLayout> layout) { layoutOverride_ = layout; }

    // Reported through 'unnm' (UTF-16) and 'titl' (UTF-8).
    std::u16string name = u"Untitled-1";
    // Handed over as the filter record's ICC profile handle when not empty.
    std::vector<std::uint8_t> iccProfile;
    RGB8 foreground{0, 0, 0};
    RGB8 background{255, 255, 255};
    // Pixels per inch.
    double resolution = 72.0;

private:
    std::size_t offset(int x, int y, int plane) const;

    ColorMode mode_;
    int depth_;
    int width_;
    int height_;
    int colorChannels_;
    bool transparency_ = false;
    bool protectedTransparency_ = false;
    std::vector<std::uint8_t> pixels_;
    std::vector<std::uint8_t> selection_;
    std::optional<hostapi::VRect> filterRect_;
    std::optional<hostapi::VPoint> wholeSize_;
    std::optional<std::int16_t> filterCaseOverride_;
    std::optional<PlaneLayout> layoutOverride_;
};

} // namespace host
