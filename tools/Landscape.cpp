#include "Landscape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace demo {

namespace {

struct Colour {
    double r;
    double g;
    double b;
};

Colour mix(const Colour& a, const Colour& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(const Colour& c, double k) {
    return {c.r * k, c.g * k, c.b * k};
}

double smooth(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Value noise on an integer lattice, smoothly interpolated.
double lattice(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393U +
                      static_cast<std::uint32_t>(y) * 668265263U + seed * 2246822519U;
    h = (h ^ (h >> 13U)) * 1274126177U;
    return static_cast<double>((h ^ (h >> 16U)) & 0xFFFFU) / 65535.0;
}

double noise(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    const double tx = smooth(0.0, 1.0, x - fx);
    const double ty = smooth(0.0, 1.0, y - fy);
    const double top =
        lattice(ix, iy, seed) + (lattice(ix + 1, iy, seed) - lattice(ix, iy, seed)) * tx;
    const double bottom = lattice(ix, iy + 1, seed) +
                          (lattice(ix + 1, iy + 1, seed) - lattice(ix, iy + 1, seed)) * tx;
    return top + (bottom - top) * ty;
}

double fractal(double x, double y, std::uint32_t seed, int octaves) {
    double sum = 0.0;
    double amplitude = 0.5;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += noise(x, y, seed + static_cast<std::uint32_t>(octave)) * amplitude;
        x *= 2.03;
        y *= 2.03;
        amplitude *= 0.5;
    }
    return sum;
}

class Scene {
public:
    Scene(int width, int height)
        : width_(width), height_(height), horizon_(height * 0.58), sunX_(width * 0.67),
          sunY_(height * 0.27) {}

    // Everything above the water line at (x, y), in linear 0..1.
    Colour above(double x, double y) const {
        const double u = x / width_;
        Colour c = sky(x, y);
        // Three ranges, far to near: each hides what lies behind it.
        const Colour haze = horizonColour();
        struct Range {
            double base;
            double height;
            double frequency;
            std::uint32_t seed;
            Colour colour;
        };
        const Range ranges[] = {
            {1.02, 0.62, 2.2, 11, {0.30, 0.22, 0.36}},
            {1.02, 0.40, 4.0, 23, {0.13, 0.12, 0.20}},
            {1.02, 0.22, 7.0, 37, {0.04, 0.07, 0.06}},
        };
        for (const Range& range : ranges) {
            const double ridge =
                horizon_ *
                (range.base - range.height * fractal(u * range.frequency, 0.5, range.seed, 6));
            if (y >= ridge) {
                // Light from the sun grazes the slopes; distance fades them.
                const double shade = 0.75 + 0.5 * fractal(u * 60.0, y * 0.02, range.seed + 5, 4);
                const double mist = smooth(horizon_ * 0.8, horizon_, y);
                c = mix(scaled(range.colour, shade), haze, 0.12 + 0.25 * mist);
            }
        }
        return c;
    }

    Colour at(int px, int py) const {
        const double x = px + 0.5;
        const double y = py + 0.5;
        const double shore =
            horizon_ + (height_ - horizon_) * (0.72 + 0.14 * fractal(x / width_ * 4.0, 0.0, 71, 5));
        if (y < horizon_) {
            return above(x, y);
        }
        if (y >= shore) {
            return meadow(x, y, shore);
        }
        // The water mirrors the sky and the hills, broken by ripples that
        // grow towards the viewer.
        const double distance = (y - horizon_) / (height_ - horizon_);
        const double ripple =
            std::sin(y * 0.9 + 6.0 * fractal(x * 0.01, y * 0.08, 53, 3)) * (1.0 + 14.0 * distance);
        const double mirrored = std::max(0.0, 2.0 * horizon_ - y - 1.0);
        const Colour reflected = above(x + ripple, mirrored);
        const Colour deep{0.03, 0.08, 0.12};
        return mix(scaled(reflected, 0.7), deep, 0.3 + 0.5 * distance);
    }

private:
    Colour horizonColour() const { return {1.00, 0.66, 0.38}; }

    Colour sky(double x, double y) const {
        const double t = std::pow(std::clamp(y / horizon_, 0.0, 1.0), 1.6);
        const Colour zenith{0.06, 0.16, 0.42};
        Colour c = mix(zenith, horizonColour(), t);
        const double d = std::hypot(x - sunX_, y - sunY_);
        const double radius = height_ * 0.045;
        const double glow = std::exp(-d / (height_ * 0.16));
        c = mix(c, Colour{1.0, 0.86, 0.62}, 0.75 * glow);
        // Long clouds lit from below near the sun.
        const double cloud =
            smooth(0.52, 0.78, fractal(x / width_ * 3.0, y / height_ * 14.0, 97, 6));
        const double band =
            smooth(0.05, 0.35, y / horizon_) * (1.0 - smooth(0.75, 0.95, y / horizon_));
        const Colour lit = mix(Colour{0.55, 0.32, 0.36}, Colour{1.0, 0.58, 0.40}, glow * 1.6);
        c = mix(c, lit, cloud * band * 0.85);
        if (d < radius) {
            c = mix(c, Colour{1.0, 0.97, 0.86}, smooth(radius, radius * 0.8, d));
        }
        return c;
    }

    Colour meadow(double x, double y, double shore) const {
        const double t = (y - shore) / std::max(1.0, height_ - shore);
        const double grass = fractal(x * 0.05, y * 0.2, 131, 5);
        const Colour dark{0.05, 0.10, 0.04};
        const Colour warm{0.30, 0.32, 0.10};
        return scaled(mix(warm, dark, 0.4 + 0.6 * t), 0.6 + 0.8 * grass);
    }

    double width_;
    double height_;
    double horizon_;
    double sunX_;
    double sunY_;
};

std::uint16_t encode(double linear) {
    // A display gamma, so that the file looks as intended.
    const double v = std::pow(std::clamp(linear, 0.0, 1.0), 1.0 / 2.2);
    return static_cast<std::uint16_t>(std::lround(v * 65535.0));
}

} // namespace

host::FileImage paintLandscape(int width, int height) {
    host::FileImage image;
    image.width = width;
    image.height = height;
    image.channels = 3;
    image.depth = 16;
    image.samples.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3U);
    const Scene scene(width, height);
    std::size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Colour c = scene.at(x, y);
            image.samples[at++] = encode(c.r);
            image.samples[at++] = encode(c.g);
            image.samples[at++] = encode(c.b);
        }
    }
    return image;
}

} // namespace demo
