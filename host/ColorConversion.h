#pragma once

#include <array>
#include <cstdint>

namespace host {

// Colour conversion as the host's colour services offer it, between the
// colour-services spaces (hostapi::colorSpaceRGB ... colorSpaceXYZ) with
// these component ranges:
//   RGB   R, G, B 0..255, sRGB-encoded
//   HSB   H 0..359 degrees, S and B 0..255
//   HSL   H 0..359 degrees, S and L 0..255
//   CMYK  C, M, Y, K 0..255 with 255 = no ink (naive device CMYK)
//   Lab   L 0..255 for 0..100, a and b 0..255 for -128..127 (offset 128),
//         CIE L*a*b* relative to the D65 white of sRGB
//   Gray  gray 0..255 in [0]: Rec. 601 luma of the RGB colour
//   XYZ   X, Y, Z 0..255, each relative to the D65 white (white = 255)
// Every conversion goes through RGB; results are rounded to the nearest
// integer and clamped to the space's range.
using ColorComponents = std::array<std::int16_t, 4>;

struct ColorConversionResult {
    ColorComponents components{};
    // False when the colour had to be clamped to fit the target.
    bool inGamut = true;
    // False when either space is not one of the seven.
    bool ok = false;
};

ColorConversionResult convertColor(std::int16_t sourceSpace, std::int16_t targetSpace,
                                   const ColorComponents& components);

// The ColorSpace suite's 8-bit form: four bytes per colour with RGB as
// 0,R,G,B, CMYK as C,M,Y,K, Lab as 0,L,a,b, Gray as 0,0,0,gray, XYZ as
// 0,X,Y,Z and HSB / HSL as 0,H,S,B with H scaled to 0..255 (360 degrees =
// 256). False when a space is not one of the seven.
bool convertColor8(std::int16_t sourceSpace, std::int16_t targetSpace, std::uint8_t* colour);

} // namespace host
