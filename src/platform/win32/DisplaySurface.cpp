#include "platform/DisplaySurface.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace platform {

namespace {

int paddedRowBytes(int width) {
    return (width * 3 + 3) / 4 * 4;
}

BITMAPINFO topDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    // Negative: rows run top-down.
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

class Win32DisplaySurface final : public DisplaySurface {
public:
    Win32DisplaySurface() : context_(::CreateCompatibleDC(nullptr)) {}
    ~Win32DisplaySurface() override {
        if (context_ != nullptr) {
            if (original_ != nullptr) {
                ::SelectObject(context_, original_);
            }
            ::DeleteDC(context_);
        }
        if (bitmap_ != nullptr) {
            ::DeleteObject(bitmap_);
        }
    }

    bool resize(int width, int height) override {
        if (context_ == nullptr || width <= 0 || height <= 0) {
            return false;
        }
        if (bitmap_ != nullptr && width == width_ && height == height_) {
            return true;
        }
        BITMAPINFO info = topDownInfo(width, height);
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(context_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap == nullptr || bits == nullptr) {
            return false;
        }
        HGDIOBJ previous = ::SelectObject(context_, bitmap);
        if (original_ == nullptr) {
            original_ = previous;
        }
        if (bitmap_ != nullptr) {
            ::DeleteObject(bitmap_);
        }
        bitmap_ = bitmap;
        bits_ = static_cast<std::uint8_t*>(bits);
        width_ = width;
        height_ = height;
        return true;
    }
    int width() const override { return width_; }
    int height() const override { return height_; }
    const std::uint8_t* pixels() override {
        ::GdiFlush();
        return bits_;
    }
    int rowBytes() const override { return paddedRowBytes(width_); }
    void* context() const override { return context_; }

private:
    HDC context_;
    HGDIOBJ original_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

} // namespace

std::unique_ptr<DisplaySurface> createDisplaySurface() {
    return std::make_unique<Win32DisplaySurface>();
}

bool drawIntoContext(void* context, int x, int y, int width, int height,
                     const std::uint8_t* bgrPixels, int rowBytes) {
    HDC dc = static_cast<HDC>(context);
    if (dc == nullptr || bgrPixels == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    const DWORD type = ::GetObjectType(dc);
    if (type != OBJ_MEMDC && type != OBJ_DC) {
        return false;
    }
    // A DIB's rows are padded to 4 bytes; repack rows of any other stride.
    const int dibRowBytes = paddedRowBytes(width);
    const std::uint8_t* source = bgrPixels;
    std::vector<std::uint8_t> repacked;
    if (rowBytes != dibRowBytes) {
        repacked.assign(static_cast<std::size_t>(dibRowBytes) * static_cast<std::size_t>(height),
                        0);
        for (int row = 0; row < height; ++row) {
            std::memcpy(repacked.data() + static_cast<std::size_t>(row) * dibRowBytes,
                        bgrPixels + static_cast<std::ptrdiff_t>(row) * rowBytes,
                        static_cast<std::size_t>(width) * 3);
        }
        source = repacked.data();
    }
    BITMAPINFO info = topDownInfo(width, height);
    const int lines =
        ::SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0,
                            0, static_cast<UINT>(height), source, &info, DIB_RGB_COLORS);
    return lines > 0;
}

} // namespace platform
