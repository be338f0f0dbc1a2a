#include "host/ColorConversion.h"

#include "hostapi/FilterInterface.h"

#include <algorithm>
#include <cmath>

namespace host {

using namespace hostapi;

namespace {

// Linear-light sRGB primaries and the D65 white.
constexpr double kWhiteX = 0.95047;
constexpr double kWhiteY = 1.0;
constexpr double kWhiteZ = 1.08883;

struct Rgb {
    double r = 0.0; // 0..1, sRGB-encoded
    double g = 0.0;
    double b = 0.0;
};

struct Decoded {
    Rgb rgb;
    bool inGamut = true;
};

double clamp01(double v, bool& inGamut) {
    if (v < -1e-9 || v > 1.0 + 1e-9) {
        inGamut = false;
    }
    return std::clamp(v, 0.0, 1.0);
}

double toLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double toEncoded(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

void rgbToXyz(const Rgb& c, double& x, double& y, double& z) {
    const double r = toLinear(c.r);
    const double g = toLinear(c.g);
    const double b = toLinear(c.b);
    x = 0.4124564 * r + 0.3575761 * g + 0.1804375 * b;
    y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
    z = 0.0193339 * r + 0.1191920 * g + 0.9503041 * b;
}

Decoded xyzToRgb(double x, double y, double z) {
    Decoded d;
    const double r = 3.2404542 * x - 1.5371385 * y - 0.4985314 * z;
    const double g = -0.9692660 * x + 1.8760108 * y + 0.0415560 * z;
    const double b = 0.0556434 * x - 0.2040259 * y + 1.0572252 * z;
    d.rgb.r = toEncoded(clamp01(r, d.inGamut));
    d.rgb.g = toEncoded(clamp01(g, d.inGamut));
    d.rgb.b = toEncoded(clamp01(b, d.inGamut));
    return d;
}

constexpr double kEpsilon = 216.0 / 24389.0; // (6/29)^3
constexpr double kKappa = 24389.0 / 27.0;

double labF(double t) {
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

double labFInverse(double f) {
    const double cube = f * f * f;
    return cube > kEpsilon ? cube : (116.0 * f - 16.0) / kKappa;
}

// Hue 0..360 from RGB, with the largest and smallest component.
double hueOf(const Rgb& c, double maximum, double delta) {
    if (delta <= 0.0) {
        return 0.0;
    }
    double h = 0.0;
    if (maximum == c.r) {
        h = std::fmod((c.g - c.b) / delta, 6.0);
    } else if (maximum == c.g) {
        h = (c.b - c.r) / delta + 2.0;
    } else {
        h = (c.r - c.g) / delta + 4.0;
    }
    h *= 60.0;
    return h < 0.0 ? h + 360.0 : h;
}

Rgb fromHueChroma(double hue, double chroma, double m) {
    const double hPrime = std::fmod(hue, 360.0) / 60.0;
    const double x = chroma * (1.0 - std::fabs(std::fmod(hPrime, 2.0) - 1.0));
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    if (hPrime < 1.0) {
        r = chroma;
        g = x;
    } else if (hPrime < 2.0) {
        r = x;
        g = chroma;
    } else if (hPrime < 3.0) {
        g = chroma;
        b = x;
    } else if (hPrime < 4.0) {
        g = x;
        b = chroma;
    } else if (hPrime < 5.0) {
        r = x;
        b = chroma;
    } else {
        r = chroma;
        b = x;
    }
    return Rgb{r + m, g + m, b + m};
}

double unit(std::int16_t component) {
    return std::clamp(static_cast<double>(component), 0.0, 255.0) / 255.0;
}

std::int16_t byteOf(double v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v), 0L, 255L));
}

bool knownSpace(std::int16_t space) {
    return space >= colorSpaceRGB && space <= colorSpaceXYZ;
}

Decoded decode(std::int16_t space, const ColorComponents& c) {
    Decoded d;
    switch (space) {
    case colorSpaceRGB:
        d.rgb = Rgb{unit(c[0]), unit(c[1]), unit(c[2])};
        break;
    case colorSpaceHSB: {
        const double v = unit(c[2]);
        const double chroma = v * unit(c[1]);
        d.rgb = fromHueChroma(std::fmod(std::max(0.0, static_cast<double>(c[0])), 360.0), chroma,
                              v - chroma);
        break;
    }
    case colorSpaceHSL: {
        const double l = unit(c[2]);
        const double chroma = (1.0 - std::fabs(2.0 * l - 1.0)) * unit(c[1]);
        d.rgb = fromHueChroma(std::fmod(std::max(0.0, static_cast<double>(c[0])), 360.0), chroma,
                              l - chroma / 2.0);
        break;
    }
    case colorSpaceCMYK: {
        // 255 = no ink: each channel is simply the product with the black.
        const double k = unit(c[3]);
        d.rgb = Rgb{unit(c[0]) * k, unit(c[1]) * k, unit(c[2]) * k};
        break;
    }
    case colorSpaceLab: {
        const double l = unit(c[0]) * 100.0;
        const double a = std::clamp(static_cast<double>(c[1]), 0.0, 255.0) - 128.0;
        const double b = std::clamp(static_cast<double>(c[2]), 0.0, 255.0) - 128.0;
        const double fy = (l + 16.0) / 116.0;
        d = xyzToRgb(kWhiteX * labFInverse(fy + a / 500.0), kWhiteY * labFInverse(fy),
                     kWhiteZ * labFInverse(fy - b / 200.0));
        break;
    }
    case colorSpaceGray:
        d.rgb = Rgb{unit(c[0]), unit(c[0]), unit(c[0])};
        break;
    case colorSpaceXYZ:
        d = xyzToRgb(unit(c[0]) * kWhiteX, unit(c[1]) * kWhiteY, unit(c[2]) * kWhiteZ);
        break;
    default:
        break;
    }
    return d;
}

ColorComponents encode(std::int16_t space, const Rgb& c) {
    ColorComponents out{0, 0, 0, 0};
    const double maximum = std::max({c.r, c.g, c.b});
    const double minimum = std::min({c.r, c.g, c.b});
    const double delta = maximum - minimum;
    switch (space) {
    case colorSpaceRGB:
        out = {byteOf(c.r * 255.0), byteOf(c.g * 255.0), byteOf(c.b * 255.0), 0};
        break;
    case colorSpaceHSB: {
        const double s = maximum > 0.0 ? delta / maximum : 0.0;
        out = {static_cast<std::int16_t>(std::lround(hueOf(c, maximum, delta)) % 360),
               byteOf(s * 255.0), byteOf(maximum * 255.0), 0};
        break;
    }
    case colorSpaceHSL: {
        const double l = (maximum + minimum) / 2.0;
        const double s = delta > 0.0 ? delta / (1.0 - std::fabs(2.0 * l - 1.0)) : 0.0;
        out = {static_cast<std::int16_t>(std::lround(hueOf(c, maximum, delta)) % 360),
               byteOf(s * 255.0), byteOf(l * 255.0), 0};
        break;
    }
    case colorSpaceCMYK: {
        if (maximum <= 0.0) {
            out = {255, 255, 255, 0};
            break;
        }
        // Ink fractions are (max - channel) / max; 255 stands for none.
        out = {byteOf(c.r / maximum * 255.0), byteOf(c.g / maximum * 255.0),
               byteOf(c.b / maximum * 255.0), byteOf(maximum * 255.0)};
        break;
    }
    case colorSpaceLab: {
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
        rgbToXyz(c, x, y, z);
        const double fx = labF(x / kWhiteX);
        const double fy = labF(y / kWhiteY);
        const double fz = labF(z / kWhiteZ);
        out = {byteOf((116.0 * fy - 16.0) * 2.55), byteOf(500.0 * (fx - fy) + 128.0),
               byteOf(200.0 * (fy - fz) + 128.0), 0};
        break;
    }
    case colorSpaceGray:
        out = {byteOf((0.299 * c.r + 0.587 * c.g + 0.114 * c.b) * 255.0), 0, 0, 0};
        break;
    case colorSpaceXYZ: {
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
        rgbToXyz(c, x, y, z);
        out = {byteOf(x / kWhiteX * 255.0), byteOf(y / kWhiteY * 255.0),
               byteOf(z / kWhiteZ * 255.0), 0};
        break;
    }
    default:
        break;
    }
    return out;
}

} // namespace

ColorConversionResult convertColor(std::int16_t sourceSpace, std::int16_t targetSpace,
                                   const ColorComponents& components) {
    ColorConversionResult result;
    if (!knownSpace(sourceSpace) || !knownSpace(targetSpace)) {
        result.components = components;
        return result;
    }
    result.ok = true;
    if (sourceSpace == targetSpace) {
        result.components = components;
        return result;
    }
    const Decoded decoded = decode(sourceSpace, components);
    result.components = encode(targetSpace, decoded.rgb);
    result.inGamut = decoded.inGamut;
    return result;
}

bool convertColor8(std::int16_t sourceSpace, std::int16_t targetSpace, std::uint8_t* colour) {
    if (!knownSpace(sourceSpace) || !knownSpace(targetSpace)) {
        return false;
    }
    // Where each space keeps its components in the four bytes.
    auto unpack = [](std::int16_t space, const std::uint8_t* c) -> ColorComponents {
        switch (space) {
        case colorSpaceCMYK:
            return {c[0], c[1], c[2], c[3]};
        case colorSpaceGray:
            return {c[3], 0, 0, 0};
        case colorSpaceHSB:
        case colorSpaceHSL:
            return {static_cast<std::int16_t>(c[1] * 360 / 256), c[2], c[3], 0};
        default:
            return {c[1], c[2], c[3], 0};
        }
    };
    auto pack = [](std::int16_t space, const ColorComponents& v, std::uint8_t* c) {
        auto b = [](std::int16_t x) {
            return static_cast<std::uint8_t>(std::clamp<int>(x, 0, 255));
        };
        switch (space) {
        case colorSpaceCMYK:
            c[0] = b(v[0]);
            c[1] = b(v[1]);
            c[2] = b(v[2]);
            c[3] = b(v[3]);
            break;
        case colorSpaceGray:
            c[0] = c[1] = c[2] = 0;
            c[3] = b(v[0]);
            break;
        case colorSpaceHSB:
        case colorSpaceHSL:
            c[0] = 0;
            c[1] = static_cast<std::uint8_t>((v[0] * 256 + 180) / 360 % 256);
            c[2] = b(v[1]);
            c[3] = b(v[2]);
            break;
        default:
            c[0] = 0;
            c[1] = b(v[0]);
            c[2] = b(v[1]);
            c[3] = b(v[2]);
            break;
        }
    };
    const ColorConversionResult converted =
        convertColor(sourceSpace, targetSpace, unpack(sourceSpace, colour));
    pack(targetSpace, converted.components, colour);
    return true;
}

} // namespace host
