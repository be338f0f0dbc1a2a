#include "Adjustment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using refserver::Adjustment;
using refserver::AdjustmentSettings;
using refserver::parseSettingsText;
using refserver::PixelLayout;

namespace {

AdjustmentSettings settingsOf(const std::string& text) {
    const auto parse = parseSettingsText(text);
    EXPECT_TRUE(parse.rejected.empty()) << text;
    return parse.settings;
}

// One pixel of `Sample`s through the adjustment, optionally under a mask.
template <typename Sample>
std::vector<std::uint32_t> adjustSamples(const Adjustment& adjustment,
                                         const std::vector<std::uint32_t>& samples,
                                         std::optional<std::uint32_t> mask) {
    std::vector<Sample> pixel(samples.begin(), samples.end());
    const auto maskSample = static_cast<Sample>(mask.value_or(0));
    adjustment.apply(reinterpret_cast<unsigned char*>(pixel.data()), pixel.size() * sizeof(Sample),
                     1, 1, mask ? reinterpret_cast<const unsigned char*>(&maskSample) : nullptr,
                     sizeof maskSample);
    return {pixel.begin(), pixel.end()};
}

std::vector<std::uint32_t> adjustPixel(const std::string& settings, const PixelLayout& layout,
                                       const std::vector<std::uint32_t>& samples,
                                       std::optional<std::uint32_t> mask = std::nullopt) {
    const Adjustment adjustment(settingsOf(settings), layout);
    return layout.bytesPerSample == 1 ? adjustSamples<std::uint8_t>(adjustment, samples, mask)
                                      : adjustSamples<std::uint16_t>(adjustment, samples, mask);
}

const PixelLayout rgb8{0, 3, false, 1};
const PixelLayout rgba8{0, 3, true, 1};
const PixelLayout rgba16{0, 3, true, 2};
const PixelLayout gray8{4, 1, false, 1};
const PixelLayout cmyk8{2, 4, false, 1};

} // namespace

TEST(Adjustment, EachOperationMovesSamplesAsItsNameSays) {
    struct Case {
        std::string settings;
        PixelLayout layout;
        std::vector<std::uint32_t> in;
        std::vector<std::uint32_t> out;
        std::optional<std::uint32_t> mask = std::nullopt;
    };
    const std::vector<Case> cases = {
        // Neutral settings change nothing, alpha included.
        {"", rgba8, {10, 128, 250, 77}, {10, 128, 250, 77}},
        {"invert=1", rgb8, {0, 10, 255}, {255, 245, 0}},
        {"invert=1", rgba16, {0, 1000, 32768, 5}, {32768, 31768, 0, 5}},
        // One stop doubles; clipping at full scale.
        {"exposure=1", gray8, {100}, {200}},
        {"exposure=1", gray8, {200}, {255}},
        {"exposure=-1", rgba16, {32768, 1000, 2, 9}, {16384, 500, 1, 9}},
        // Contrast 1.5 stretches the distance from mid-grey (127.5) by half.
        {"contrast=1.5", rgb8, {64, 128, 220}, {32, 128, 255}},
        {"contrast=0", rgb8, {0, 77, 255}, {128, 128, 128}},
        // Saturation 0 leaves the luminance in every colour channel.
        {"saturation=0", rgb8, {255, 0, 0}, {54, 54, 54}},
        {"saturation=0", rgba8, {0, 255, 0, 3}, {182, 182, 182, 3}},
        {"saturation=2", rgb8, {100, 100, 100}, {100, 100, 100}},
        // Saturation means nothing outside RGB; the tone operations apply.
        {"saturation=0", gray8, {40}, {40}},
        {"saturation=0;invert=1", cmyk8, {0, 50, 100, 255}, {255, 205, 155, 0}},
        // Exposure before contrast before inversion.
        {"exposure=1;contrast=1.5;invert=1", gray8, {70}, {109}},
        // Samples above full scale read as full scale; alpha stays as it is.
        {"invert=1", rgba16, {65535, 40000, 32769, 65535}, {0, 0, 0, 65535}},
        // The mask blends between old and adjusted; above full scale it is full.
        {"invert=1", rgb8, {10, 100, 200}, {57, 111, 171}, 51},
        {"invert=1", rgba16, {10, 100, 200, 7}, {16384, 16384, 16384, 7}, 16384},
        {"invert=1", rgba16, {10, 100, 200, 7}, {32758, 32668, 32568, 7}, 65535},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(adjustPixel(c.settings, c.layout, c.in, c.mask), c.out)
            << c.settings << " mask " << c.mask.value_or(0);
    }
}

TEST(Adjustment, ATileIsWalkedByItsRowBytesAndLeavesThePaddingAlone) {
    // Two rows of two RGB pixels, each row padded to 8 bytes.
    std::vector<unsigned char> tile = {1, 2, 3, 4,  5,  6,  0xEE, 0xEE,
                                       7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
    const std::vector<unsigned char> mask = {255, 0, 0xEE, 0, 255, 0xEE};
    Adjustment(settingsOf("invert=1"), rgb8).apply(tile.data(), 8, 2, 2, mask.data(), 3);
    const std::vector<unsigned char> expected = {254, 253, 252, 4,   5,   6,   0xEE, 0xEE,
                                                 7,   8,   9,   245, 244, 243, 0xEE, 0xEE};
    EXPECT_EQ(tile, expected);
}
