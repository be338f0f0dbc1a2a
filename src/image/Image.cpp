#include "image/Image.h"

#include <cassert>

namespace image {

template <typename T>
Image<T>::Image(T* samples, const PixelRect& area, std::int32_t minimumRowBytes,
                const PixelFormat& pixelFormat)
    : VTImageBuffer(reinterpret_cast<unsigned char*>(samples), area, minimumRowBytes, sizeof(T),
                    pixelFormat) {}

template <typename T> Image<T>::Image(const VTImageBuffer& other) : VTImageBuffer(other) {}

template <typename T> Image<T>::Image(const Image& other) : VTImageBuffer(other) {}

template <typename T>
Image<T>::Image(const PixelRect& area, const PixelFormat& pixelFormat)
    : VTImageBuffer(area, sizeof(T), pixelFormat) {}

template <typename T> Image<T>::~Image() = default;

template <typename T> T* Image<T>::pixel(std::int32_t x, std::int32_t y) const {
    return reinterpret_cast<T*>(pixelAddress(x, y));
}

template <typename T>
Image<T>::LeftToRightTopToBottomIterator::LeftToRightTopToBottomIterator(VTImageBuffer& image)
    : format_(image.format), walk_(image, image.pixelStride) {
    walk_.start(image.bounds, nullptr, 0.0, 1.0);
}

template <typename T>
Image<T>::LeftToRightTopToBottomIterator::~LeftToRightTopToBottomIterator() = default;

template <typename T> void Image<T>::LeftToRightTopToBottomIterator::reset() {
    begin(walk_.image().bounds, nullptr, 0.0, 1.0);
}

template <typename T>
void Image<T>::LeftToRightTopToBottomIterator::begin(const PixelRect& rect,
                                                     ProgressObserver* progress, double low,
                                                     double high) {
    assert(walk_.image().bounds.contains(rect));
    walk_.start(rect, progress, low, high);
}

template <typename T> void Image<T>::LeftToRightTopToBottomIterator::next() {
    if (walk_.advance()) {
        walk_.reportProgress();
    }
}

template <typename T> bool Image<T>::LeftToRightTopToBottomIterator::valid() const {
    return walk_.y() < walk_.rect().bottom;
}

template <typename T> bool Image<T>::LeftToRightTopToBottomIterator::atRowStart() const {
    return walk_.x() == walk_.rect().left;
}

template <typename T>
Image<T>::LeftToRightTopToBottomConstIterator::LeftToRightTopToBottomConstIterator(
    const VTImageBuffer& image)
    : format_(image.format), walk_(image, image.pixelStride) {
    valid_ = walk_.start(image.bounds, nullptr, 0.0, 1.0);
}

template <typename T>
Image<T>::LeftToRightTopToBottomConstIterator::~LeftToRightTopToBottomConstIterator() = default;

template <typename T> void Image<T>::LeftToRightTopToBottomConstIterator::reset() {
    begin(walk_.image().bounds, nullptr, 0.0, 1.0);
}

template <typename T>
void Image<T>::LeftToRightTopToBottomConstIterator::begin(const PixelRect& rect,
                                                          ProgressObserver* progress, double low,
                                                          double high) {
    assert(walk_.image().bounds.contains(rect));
    valid_ = walk_.start(rect, progress, low, high);
}

template <typename T> void Image<T>::LeftToRightTopToBottomConstIterator::next() {
    if (walk_.advance()) {
        if (walk_.y() == walk_.rect().bottom) {
            valid_ = false;
        }
        walk_.reportProgress();
    }
}

template <typename T> bool Image<T>::LeftToRightTopToBottomConstIterator::valid() const {
    return valid_;
}

template <typename T> bool Image<T>::LeftToRightTopToBottomConstIterator::atRowStart() const {
    return walk_.x() == walk_.rect().left;
}

template class Image<unsigned char>;
template class Image<unsigned short>;

} // namespace image
