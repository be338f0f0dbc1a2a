// Colour conversion and the ColorSpace suite.

#include "HostTestSupport.h"
#include "host/ColorConversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using namespace host;
using namespace hostapi;
using host_testing::acquire;

::testing::AssertionResult near(const ColorComponents& actual, const ColorComponents& expected,
                                int tolerance) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::abs(actual[i] - expected[i]) > tolerance) {
            return ::testing::AssertionFailure()
                   << "component " << i << " is " << actual[i] << ", expected " << expected[i];
        }
    }
    return ::testing::AssertionSuccess();
}

// Reference values: sRGB with the D65 white, components 0..255 (Lab L
// scaled by 2.55, a and b offset by 128; HSB/HSL hue in degrees).
TEST(ColorConversion, KnownColoursConvertToTheirReferenceValues) {
    struct Case {
        const char* name;
        int16 from;
        ColorComponents in;
        int16 to;
        ColorComponents expected;
        int tolerance;
    };
    const Case cases[] = {
        // L 53.24, a 80.09, b 67.20
        {"red to Lab", colorSpaceRGB, {255, 0, 0, 0}, colorSpaceLab, {136, 208, 195, 0}, 0},
        {"white to Lab", colorSpaceRGB, {255, 255, 255, 0}, colorSpaceLab, {255, 128, 128, 0}, 0},
        {"black to Lab", colorSpaceRGB, {0, 0, 0, 0}, colorSpaceLab, {0, 128, 128, 0}, 0},
        // L 87.73, a -86.18, b 83.18
        {"green to Lab", colorSpaceRGB, {0, 255, 0, 0}, colorSpaceLab, {224, 42, 211, 0}, 0},
        // One step of L, a or b is up to 2 steps of RGB.
        {"Lab red to RGB", colorSpaceLab, {136, 208, 195, 0}, colorSpaceRGB, {255, 0, 0, 0}, 2},
        {"red to HSB", colorSpaceRGB, {255, 0, 0, 0}, colorSpaceHSB, {0, 255, 255, 0}, 0},
        {"teal to HSB", colorSpaceRGB, {0, 128, 128, 0}, colorSpaceHSB, {180, 255, 128, 0}, 0},
        {"green to HSL", colorSpaceRGB, {0, 255, 0, 0}, colorSpaceHSL, {120, 255, 128, 0}, 0},
        {"HSL blue to RGB", colorSpaceHSL, {240, 255, 128, 0}, colorSpaceRGB, {0, 0, 255, 0}, 1},
        // 255 is no ink.
        {"red to CMYK", colorSpaceRGB, {255, 0, 0, 0}, colorSpaceCMYK, {255, 0, 0, 255}, 0},
        {"gray, K", colorSpaceRGB, {128, 128, 128, 0}, colorSpaceCMYK, {255, 255, 255, 128}, 0},
        {"K to RGB", colorSpaceCMYK, {255, 255, 255, 128}, colorSpaceRGB, {128, 128, 128, 0}, 0},
        {"RGB to Gray (luma)", colorSpaceRGB, {10, 20, 30, 0}, colorSpaceGray, {18, 0, 0, 0}, 0},
        {"Gray to RGB", colorSpaceGray, {77, 0, 0, 0}, colorSpaceRGB, {77, 77, 77, 0}, 0},
        {"white to XYZ", colorSpaceRGB, {255, 255, 255, 0}, colorSpaceXYZ, {255, 255, 255, 0}, 0},
        // X 0.4125 / 0.9505, Y 0.2127, Z 0.0193 / 1.0888
        {"red to XYZ", colorSpaceRGB, {255, 0, 0, 0}, colorSpaceXYZ, {111, 54, 5, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ColorConversionResult result = convertColor(c.from, c.to, c.in);
        ASSERT_TRUE(result.ok);
        EXPECT_TRUE(near(result.components, c.expected, c.tolerance));
    }
    EXPECT_FALSE(convertColor(colorSpaceRGB, 7, {1, 2, 3, 0}).ok);
}

// 8-bit Lab and linear 8-bit XYZ are coarse in the dark, so a colour comes
// back only roughly; converting what came back lands on the same components.
TEST(ColorConversion, ColoursComeBackFromEverySpace) {
    const ColorComponents colours[] = {{0, 0, 0, 0},      {255, 255, 255, 0}, {200, 30, 90, 0},
                                       {12, 250, 140, 0}, {90, 90, 200, 0},   {255, 128, 0, 0}};
    const int16 spaces[] = {colorSpaceHSB, colorSpaceHSL, colorSpaceCMYK, colorSpaceLab,
                            colorSpaceXYZ};
    for (const int16 space : spaces) {
        for (const ColorComponents& rgb : colours) {
            SCOPED_TRACE(::testing::Message() << "space " << space << " colour " << rgb[0] << ","
                                              << rgb[1] << "," << rgb[2]);
            const ColorComponents there = convertColor(colorSpaceRGB, space, rgb).components;
            const ColorComponents back = convertColor(space, colorSpaceRGB, there).components;
            EXPECT_TRUE(near(back, rgb, 12));
            EXPECT_TRUE(near(convertColor(colorSpaceRGB, space, back).components, there, 1));
        }
    }
}

TEST(ColorConversion, LabOutsideSrgbIsClampedAndFlagged) {
    const ColorConversionResult result =
        convertColor(colorSpaceLab, colorSpaceRGB, {230, 0, 255, 0});
    EXPECT_FALSE(result.inGamut);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_GE(result.components[i], 0);
        EXPECT_LE(result.components[i], 255);
    }
    EXPECT_TRUE(convertColor(colorSpaceLab, colorSpaceRGB, {136, 128, 128, 0}).inGamut);
}

TEST(ColorSpaceSuite, Convert8PacksEachSpaceAtItsBytePositions) {
    FilterHost host(Document::rgb(2, 2));
    host.beginApplication();
    const auto* cs = acquire<ColorSpaceSuite>(host);
    ASSERT_NE(cs, nullptr);
    struct Case {
        int16 from;
        Color8 in;
        int16 to;
        Color8 expected;
    };
    const Case cases[] = {
        {colorSpaceRGB, {0, 255, 0, 0}, colorSpaceLab, {0, 136, 208, 195}},
        {colorSpaceRGB, {0, 255, 0, 0}, colorSpaceCMYK, {255, 0, 0, 255}},
        {colorSpaceRGB, {0, 10, 20, 30}, colorSpaceGray, {0, 0, 0, 18}},
        {colorSpaceGray, {0, 0, 0, 99}, colorSpaceRGB, {0, 99, 99, 99}},
        {colorSpaceCMYK, {255, 255, 255, 128}, colorSpaceGray, {0, 0, 0, 128}},
        {colorSpaceLab, {0, 255, 128, 128}, colorSpaceRGB, {0, 255, 255, 255}},
    };
    Color8 colours[6];
    for (std::size_t i = 0; i < 6; ++i) {
        std::memcpy(colours[i], cases[i].in, 4);
        // One call per case: the spaces differ.
        ASSERT_EQ(cs->Convert8(cases[i].from, cases[i].to, &colours[i], 1), 0);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(colours[i][k], cases[i].expected[k]) << "case " << i << " byte " << k;
        }
    }
    ASSERT_EQ(host.records().convert8.size(), 6U);
    EXPECT_NE(cs->Convert8(colorSpaceRGB, 9, colours, 1), 0);
}

} // namespace
