#include "platform/DisplaySurface.h"

#include <cstring>
#include <vector>

namespace platform {

namespace {

// What a context points to. A plug-in library and its host each carry their
// own copy of this code, so the layout and the tag are the contract between
// them: keep both unchanged.
struct SurfaceContext {
    std::uint64_t tag;
    std::int32_t width;
    std::int32_t height;
    std::int32_t rowBytes;
    std::int32_t reserved;
    std::uint8_t* pixels;
};

constexpr std::uint64_t kSurfaceTag = 0x5356'4453'5552'4631ULL; // "SVDSURF1"

int paddedRowBytes(int width) {
    return (width * 3 + 3) / 4 * 4;
}

class PosixDisplaySurface final : public DisplaySurface {
public:
    PosixDisplaySurface() { context_.tag = kSurfaceTag; }
    ~PosixDisplaySurface() override { context_.tag = 0; }

    bool resize(int width, int height) override {
        if (width <= 0 || height <= 0) {
            return false;
        }
        if (width == context_.width && height == context_.height) {
            return true;
        }
        pixels_.assign(
            static_cast<std::size_t>(paddedRowBytes(width)) * static_cast<std::size_t>(height), 0);
        context_.width = width;
        context_.height = height;
        context_.rowBytes = paddedRowBytes(width);
        context_.pixels = pixels_.data();
        return true;
    }
    int width() const override { return context_.width; }
    int height() const override { return context_.height; }
    const std::uint8_t* pixels() override { return pixels_.data(); }
    int rowBytes() const override { return context_.rowBytes; }
    void* context() const override { return const_cast<SurfaceContext*>(&context_); }

private:
    SurfaceContext context_{};
    std::vector<std::uint8_t> pixels_;
};

} // namespace

std::unique_ptr<DisplaySurface> createDisplaySurface() {
    return std::make_unique<PosixDisplaySurface>();
}

bool drawIntoContext(void* context, int x, int y, int width, int height,
                     const std::uint8_t* bgrPixels, int rowBytes) {
    if (context == nullptr || bgrPixels == nullptr || width < 0 || height < 0) {
        return false;
    }
    // Only the tag tells a surface: `context` must at least be readable
    // memory of a context's size, as any pointer a plug-in hands over is.
    auto* surface = static_cast<SurfaceContext*>(context);
    if (surface->tag != kSurfaceTag || surface->pixels == nullptr) {
        return false;
    }
    // Clipped to the surface, as drawing into a device context is.
    for (int row = 0; row < height; ++row) {
        const int targetY = y + row;
        if (targetY < 0 || targetY >= surface->height) {
            continue;
        }
        const int first = x < 0 ? -x : 0;
        const int last = x + width > surface->width ? surface->width - x : width;
        if (first >= last) {
            continue;
        }
        std::memcpy(surface->pixels + static_cast<std::ptrdiff_t>(targetY) * surface->rowBytes +
                        static_cast<std::ptrdiff_t>(x + first) * 3,
                    bgrPixels + static_cast<std::ptrdiff_t>(row) * rowBytes +
                        static_cast<std::ptrdiff_t>(first) * 3,
                    static_cast<std::size_t>(last - first) * 3);
    }
    return true;
}

} // namespace platform
