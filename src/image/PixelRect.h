#pragma once

#include <cstdint>

namespace image {

// A rectangle in image coordinates; right and bottom are exclusive. The field
// order is part of the record layout that other code relies on.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    PixelRect() = default;
    PixelRect(std::int32_t leftEdge, std::int32_t topEdge, std::int32_t rightEdge,
              std::int32_t bottomEdge);

    void set(std::int32_t leftEdge, std::int32_t topEdge, std::int32_t rightEdge,
             std::int32_t bottomEdge);

    [[nodiscard]] bool isEmpty() const { return right <= left || bottom <= top; }

    // Edge distances, widened so that extreme coordinates cannot overflow;
    // 0 when the edges are inverted.
    [[nodiscard]] std::int64_t width() const;
    [[nodiscard]] std::int64_t height() const;

    // All zeros, not merely some empty rectangle, when the two do not overlap.
    [[nodiscard]] PixelRect intersection(const PixelRect& other) const;

    // An empty rectangle is contained in anything.
    [[nodiscard]] bool contains(const PixelRect& inner) const;
};

bool operator==(const PixelRect& a, const PixelRect& b);
bool operator!=(const PixelRect& a, const PixelRect& b);

} // namespace image
