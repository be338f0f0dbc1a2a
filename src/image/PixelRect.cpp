#include "image/PixelRect.h"

#include <algorithm>

namespace image {

PixelRect::PixelRect(std::int32_t leftEdge, std::int32_t topEdge, std::int32_t rightEdge,
                     std::int32_t bottomEdge)
    : left(leftEdge), top(topEdge), right(rightEdge), bottom(bottomEdge) {}

void PixelRect::set(std::int32_t leftEdge, std::int32_t topEdge, std::int32_t rightEdge,
                    std::int32_t bottomEdge) {
    left = leftEdge;
    top = topEdge;
    right = rightEdge;
    bottom = bottomEdge;
}

std::int64_t PixelRect::width() const {
    return std::max<std::int64_t>(0, std::int64_t{right} - left);
}

std::int64_t PixelRect::height() const {
    return std::max<std::int64_t>(0, std::int64_t{bottom} - top);
}

PixelRect PixelRect::intersection(const PixelRect& other) const {
    const PixelRect overlap(std::max(left, other.left), std::max(top, other.top),
                            std::min(right, other.right), std::min(bottom, other.bottom));
    return overlap.isEmpty() ? PixelRect() : overlap;
}

bool PixelRect::contains(const PixelRect& inner) const {
    return inner.isEmpty() || (inner.left >= left && inner.top >= top && inner.right <= right &&
                               inner.bottom <= bottom);
}

bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool operator!=(const PixelRect& a, const PixelRect& b) {
    return !(a == b);
}

} // namespace image
