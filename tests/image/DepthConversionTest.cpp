#include "image/DepthConversion.h"
#include "image/Image.h"
#include "image/PixelFormat.h"
#include "image/SampleScaling.h"
#include "image/SingleChannelImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using image::Image;
using image::PixelFormat;
using image::PixelRect;
using image::SingleChannelImage;

// A 4 x 1 mask holding 255, 128, 1, 0 at (3, 7), converted into a destination
// whose bounds start two columns further right: only the overlap changes.
template <typename T>
std::vector<T> convertMaskRow(void (*convert)(const image::VTImageBuffer&, image::VTImageBuffer&),
                              T sentinel) {
    SingleChannelImage<unsigned char> mask({3, 7, 7, 8});
    const unsigned char values[] = {255, 128, 1, 0};
    std::memcpy(mask.data, values, sizeof values);
    SingleChannelImage<T> destination({5, 7, 9, 8});
    std::fill(destination.pixel(5, 7), destination.pixel(9, 7), sentinel);
    convert(mask, destination);
    return {destination.pixel(5, 7), destination.pixel(9, 7)};
}

TEST(DepthConversion, MaskSamplesScaleToDocumentDepthOverTheOverlap) {
    EXPECT_EQ(convertMaskRow<unsigned char>(image::convert8To8, 77),
              (std::vector<unsigned char>{1, 0, 77, 77}));
    EXPECT_EQ(convertMaskRow<unsigned short>(image::convert8To16, 7777),
              (std::vector<unsigned short>{129, 0, 7777, 7777}));
    EXPECT_EQ(convertMaskRow<float>(image::convert8ToFloat, -1.0F),
              (std::vector<float>{1.0F / 255.0F, 0.0F, -1.0F, -1.0F}));
}

TEST(SampleScaling, EightBitSamplesScaleUpRoundedAndComeBackUnchanged) {
    // 254 is the one value where rounding with +127 instead of +128 gives
    // another sample (32639): a host that scaled so would disagree with us.
    const std::pair<std::uint8_t, std::uint16_t> to16[] = {
        {255, 32768}, {254, 32640}, {128, 16448}, {1, 129}, {0, 0}};
    for (const auto& [v, expected] : to16) {
        EXPECT_EQ(image::convert8To16Sample(v), expected);
    }
    EXPECT_EQ(image::convert8ToFloatSample(255), 1.0F);
    // Scaling up and back down gives every 8-bit value back.
    for (unsigned v = 0; v < 256; ++v) {
        const auto sample = static_cast<std::uint8_t>(v);
        EXPECT_EQ(image::convert16To8Sample(image::convert8To16Sample(sample)), sample);
    }
}

TEST(DepthConversion, NonZeroBoundingBox) {
    struct Point {
        std::int32_t x, y;
        unsigned char value;
    };
    struct Case {
        const char* name;
        PixelRect bounds;
        std::vector<Point> samples;
        PixelRect expected;
    };
    const PixelRect odd(100, 200, 137, 230); // rows padded by 3 bytes
    const Case cases[] = {
        {"all zero", odd, {}, {0, 0, 0, 0}},
        {"one pixel", {0, 0, 32, 32}, {{10, 20, 255}}, {10, 20, 11, 21}},
        {"a value of 1 counts", odd, {{110, 220, 1}}, {110, 220, 111, 221}},
        {"opposite corners", odd, {{100, 229, 9}, {136, 200, 9}}, odd},
        {"spread over rows",
         odd,
         {{120, 205, 3}, {104, 212, 3}, {130, 212, 3}},
         {104, 205, 131, 213}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SingleChannelImage<unsigned char> mask(c.bounds);
        // Row padding is not part of the mask, whatever it holds.
        for (std::int32_t y = c.bounds.top; y < c.bounds.bottom; ++y) {
            std::fill(mask.pixel(c.bounds.right, y), mask.pixel(c.bounds.left, y + 1), 0xFF);
        }
        for (const Point& p : c.samples) {
            *mask.pixel(p.x, p.y) = p.value;
        }
        EXPECT_EQ(image::nonZeroBoundingBox(mask), c.expected);
    }
}

template <typename T> void checkFullySelected(T full, T shortOfFull) {
    SingleChannelImage<T> mask({4, 4, 7, 6}); // rows of 3 samples, padded
    for (const PixelRect& notFull : {PixelRect(), PixelRect(6, 5, 7, 6), PixelRect(4, 4, 5, 5)}) {
        for (std::int32_t y = 4; y < 6; ++y) {
            for (std::int32_t x = 4; x < 7; ++x) {
                const bool inside = x >= notFull.left && x < notFull.right && y >= notFull.top &&
                                    y < notFull.bottom;
                *mask.pixel(x, y) = inside ? shortOfFull : full;
            }
        }
        EXPECT_EQ(image::isFullySelected(mask), notFull.isEmpty());
    }
    EXPECT_TRUE(image::isFullySelected(SingleChannelImage<T>(PixelRect())));
}

TEST(DepthConversion, FullySelectedMeansEverySampleAtFullScale) {
    checkFullySelected<unsigned char>(255, 254);
    checkFullySelected<unsigned short>(32768, 32767);
    checkFullySelected<unsigned short>(32768, 65535);
    checkFullySelected<float>(1.0F, 0.99999994F);

    std::vector<unsigned char> threeByteSamples(12, 0xFF);
    const image::VTImageBuffer unsupported(threeByteSamples.data(), {0, 0, 2, 2}, 0, 3,
                                           SingleChannelImage<float>::grayFormat());
    EXPECT_FALSE(image::isFullySelected(unsupported));
}

// A 16-bit sample pattern that runs through the whole range 0..32768.
unsigned short pattern(std::int32_t x, std::int32_t y, std::uint32_t c) {
    return static_cast<unsigned short>((x * 7919U + y * 104729U + c * 31U) % 32769U);
}

TEST(DepthConversion, SixteenToEightConvertsTheOverlapOnly) {
    struct Case {
        const char* name;
        PixelRect source, destination;
        std::uint32_t pixelChannels;
        std::uint32_t formatChannels; // fewer than pixelChannels: rows are not one span
        std::uint32_t destinationFormatChannels;
    };
    const Case cases[] = {
        {"narrow rows, scalar", {0, 0, 6, 4}, {3, 2, 9, 7}, 3, 3, 3},
        {"wide rows, vector path and tail", {-8, 5, 41, 12}, {0, 0, 45, 9}, 4, 4, 4},
        {"pixels wider than their channels", {0, 0, 30, 4}, {2, 1, 33, 3}, 4, 3, 3},
        {"destination with fewer channels", {0, 0, 30, 4}, {2, 1, 33, 3}, 4, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelFormat format(image::colorModelRGB, c.pixelChannels, false);
        Image<unsigned short> source(c.source, format);
        Image<unsigned char> destination(c.destination, format);
        for (std::int32_t y = c.source.top; y < c.source.bottom; ++y) {
            for (std::int32_t x = c.source.left; x < c.source.right; ++x) {
                for (std::uint32_t ch = 0; ch < c.pixelChannels; ++ch) {
                    source.pixel(x, y)[ch] = pattern(x, y, ch);
                }
            }
        }
        std::memset(destination.data, 0xAB,
                    static_cast<std::size_t>(destination.rowBytes * c.destination.height()));
        source.format = PixelFormat(image::colorModelRGB, c.formatChannels, false);
        destination.format = PixelFormat(image::colorModelRGB, c.destinationFormatChannels, false);

        image::convert16To8(source, destination);

        const PixelRect overlap = c.source.intersection(c.destination);
        const std::uint32_t converted = std::min(c.formatChannels, c.destinationFormatChannels);
        for (std::int32_t y = c.destination.top; y < c.destination.bottom; ++y) {
            for (std::int32_t x = c.destination.left; x < c.destination.right; ++x) {
                for (std::uint32_t ch = 0; ch < c.pixelChannels; ++ch) {
                    const bool inside = x >= overlap.left && x < overlap.right &&
                                        y >= overlap.top && y < overlap.bottom && ch < converted;
                    const unsigned expected =
                        inside ? image::convert16To8Sample(pattern(x, y, ch)) : 0xAB;
                    ASSERT_EQ(destination.pixel(x, y)[ch], expected)
                        << "x " << x << " y " << y << " channel " << ch;
                }
            }
        }
    }
}

} // namespace
