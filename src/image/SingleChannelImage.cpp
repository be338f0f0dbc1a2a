#include "image/SingleChannelImage.h"

#include <cassert>

namespace image {

template <typename T> PixelFormat SingleChannelImage<T>::grayFormat() {
    return {colorModelGray, 1, false};
}

template <typename T>
SingleChannelImage<T>::SingleChannelImage(T* samples, const PixelRect& area,
                                          std::int32_t minimumRowBytes)
    : VTImageBuffer(reinterpret_cast<unsigned char*>(samples), area, minimumRowBytes, sizeof(T),
                    grayFormat()) {}

template <typename T>
SingleChannelImage<T>::SingleChannelImage(const VTImageBuffer& other) : VTImageBuffer(other) {}

template <typename T>
SingleChannelImage<T>::SingleChannelImage(const SingleChannelImage& other) : VTImageBuffer(other) {}

template <typename T>
SingleChannelImage<T>::SingleChannelImage(const PixelRect& area)
    : VTImageBuffer(area, sizeof(T), grayFormat()) {}

template <typename T> SingleChannelImage<T>::~SingleChannelImage() = default;

template <typename T> T* SingleChannelImage<T>::pixel(std::int32_t x, std::int32_t y) const {
    return reinterpret_cast<T*>(data) + (static_cast<std::ptrdiff_t>(y) - bounds.top) * rowStride +
           (static_cast<std::ptrdiff_t>(x) - bounds.left);
}

template <typename T>
SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::LeftToRightTopToBottomConstIterator(
    const VTImageBuffer& image)
    : walk_(image, 1) {
    valid_ = walk_.start(image.bounds, nullptr, 0.0, 1.0);
}

template <typename T>
SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::~LeftToRightTopToBottomConstIterator() =
    default;

template <typename T> void SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::reset() {
    begin(walk_.image().bounds, nullptr, 0.0, 1.0);
}

template <typename T>
void SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::begin(const PixelRect& rect,
                                                                       ProgressObserver* progress,
                                                                       double low, double high) {
    assert(walk_.image().bounds.contains(rect));
    valid_ = walk_.start(rect, progress, low, high);
}

template <typename T> void SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::next() {
    if (walk_.advance()) {
        if (walk_.y() == walk_.rect().bottom) {
            valid_ = false;
        }
        walk_.reportProgress();
    }
}

template <typename T>
bool SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::valid() const {
    return valid_;
}

template <typename T>
bool SingleChannelImage<T>::LeftToRightTopToBottomConstIterator::atRowStart() const {
    return walk_.x() == walk_.rect().left;
}

template class SingleChannelImage<unsigned char>;
template class SingleChannelImage<unsigned short>;
template class SingleChannelImage<float>;

} // namespace image
