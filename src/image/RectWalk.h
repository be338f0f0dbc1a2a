#pragma once

#include "image/PixelRect.h"
#include "image/ProgressObserver.h"
#include "image/VTImageBuffer.h"

#include <cstddef>
#include <cstdint>

namespace image {

// The position state that every image iterator shares: a walk over a
// rectangle of a record, left to right and top to bottom, in elements of
// `Element` (a sample type, const for reading). The iterators add their own
// notion of validity on top.
template <typename Element> class RectWalk {
public:
    // columnStep: elements from one pixel to the next in a row.
    RectWalk(const VTImageBuffer& image, std::int32_t columnStep)
        : image_(&image), columnStep_(columnStep) {}

    // Places the walk on the first pixel of `area`, which must lie inside the
    // image's bounds; an empty area leaves it past the end (y = bottom).
    // Returns whether there is a pixel to visit.
    bool start(const PixelRect& area, ProgressObserver* observer, double low, double high) {
        rect_ = area;
        observer_ = observer;
        low_ = low;
        high_ = high;
        x_ = area.left;
        visited_ = 0;
        if (area.isEmpty()) {
            y_ = area.bottom;
            pixel_ = nullptr;
            total_ = 0;
            return false;
        }
        y_ = area.top;
        total_ = area.width() * area.height();
        rowSkip_ = static_cast<std::ptrdiff_t>(image_->rowStride) - area.width() * columnStep_;
        pixel_ = reinterpret_cast<Element*>(image_->data) +
                 (static_cast<std::ptrdiff_t>(y_) - image_->bounds.top) * image_->rowStride +
                 (static_cast<std::ptrdiff_t>(x_) - image_->bounds.left) * columnStep_;
        return true;
    }

    // Moves one pixel on; returns true when that completed a row. The pointer
    // is not moved past the last row so that it never leaves the block.
    bool advance() {
        ++visited_;
        pixel_ += columnStep_;
        ++x_;
        if (x_ != rect_.right) {
            return false;
        }
        ++y_;
        x_ = rect_.left;
        if (y_ < rect_.bottom) {
            pixel_ += rowSkip_;
        }
        return true;
    }

    void reportProgress() const {
        if (observer_ != nullptr) {
            observer_->progress(low_ + (high_ - low_) * static_cast<double>(visited_) /
                                           static_cast<double>(total_));
        }
    }

    [[nodiscard]] const VTImageBuffer& image() const { return *image_; }
    [[nodiscard]] const PixelRect& rect() const { return rect_; }
    [[nodiscard]] Element* pixel() const { return pixel_; }
    [[nodiscard]] std::int32_t x() const { return x_; }
    [[nodiscard]] std::int32_t y() const { return y_; }

private:
    const VTImageBuffer* image_;
    PixelRect rect_;
    std::int32_t x_ = 0;
    std::int32_t y_ = 0;
    Element* pixel_ = nullptr;
    std::int64_t visited_ = 0;
    std::int64_t total_ = 0;
    ProgressObserver* observer_ = nullptr;
    double low_ = 0.0;
    double high_ = 1.0;
    std::ptrdiff_t columnStep_;
    std::ptrdiff_t rowSkip_ = 0;
};

} // namespace image
