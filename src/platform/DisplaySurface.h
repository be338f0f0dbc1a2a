#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// An offscreen 24-bit surface whose rows run top-down, each padded to a
// multiple of 4 bytes, pixels stored blue, green, red: a memory device
// context with a DIB section on Windows, a plain buffer elsewhere. A plug-in
// hands context() to the host's display callback, which draws into it.
class DisplaySurface {
public:
    DisplaySurface() = default;
    DisplaySurface(const DisplaySurface&) = delete;
    DisplaySurface& operator=(const DisplaySurface&) = delete;
    virtual ~DisplaySurface() = default;

    // Replaces the pixels by a fresh surface of this size when it differs.
    virtual bool resize(int width, int height) = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Finished pixels: pending drawing is flushed before the pointer returns.
    virtual const std::uint8_t* pixels() = 0;
    virtual int rowBytes() const = 0;
    // What the host's display callback receives (an HDC on Windows).
    virtual void* context() const = 0;
};

std::unique_ptr<DisplaySurface> createDisplaySurface();

// The host's side: draws a block of 24-bit pixels (blue, green, red; rows of
// `rowBytes`) at (x, y) into the surface behind `context`. False when the
// context is not a surface.
bool drawIntoContext(void* context, int x, int y, int width, int height,
                     const std::uint8_t* bgrPixels, int rowBytes);

} // namespace platform
