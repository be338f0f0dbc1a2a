#pragma once

#include "image/PixelFormat.h"
#include "image/PixelRect.h"
#include "image/ProgressObserver.h"
#include "image/RectWalk.h"
#include "image/VTImageBuffer.h"

#include <cstdint>

namespace image {

// An interleaved image with samples of type T: the VTImageBuffer record read
// with a sample type. It adds no data, so any record can be viewed as an
// Image<T> and the iterators walk any record whose samples are T.
template <typename T> class Image : public VTImageBuffer {
public:
    using Sample = T;

    // Wraps someone else's samples; see VTImageBuffer.
    Image(T* samples, const PixelRect& area, std::int32_t minimumRowBytes,
          const PixelFormat& pixelFormat);
    // A non-owning view of `other`'s samples as T.
    explicit Image(const VTImageBuffer& other);
    Image(const Image& other);
    // Allocates zeroed rows padded to a multiple of 4 bytes.
    Image(const PixelRect& area, const PixelFormat& pixelFormat);
    // Moving would fall back to a view of a block the source releases.
    Image(Image&&) = delete;
    Image& operator=(const Image&) = delete;
    Image& operator=(Image&&) = delete;
    ~Image() override;

    // First sample of the pixel at image coordinates (x, y), inside bounds.
    [[nodiscard]] T* pixel(std::int32_t x, std::int32_t y) const;

    class IteratorInterface {
    public:
        IteratorInterface() = default;
        IteratorInterface(const IteratorInterface&) = default;
        IteratorInterface& operator=(const IteratorInterface&) = default;
        virtual ~IteratorInterface() = default;
        // Starts over the image's whole bounds.
        virtual void reset() = 0;
        // Starts over `rect`, which must lie inside the image's bounds. The
        // observer, if any, hears low..high once per completed row.
        virtual void begin(const PixelRect& rect, ProgressObserver* progress, double low,
                           double high) = 0;
        virtual void next() = 0;
        [[nodiscard]] virtual bool valid() const = 0;
        [[nodiscard]] virtual bool atRowStart() const = 0;
    };

    class ConstIteratorInterface {
    public:
        ConstIteratorInterface() = default;
        ConstIteratorInterface(const ConstIteratorInterface&) = default;
        ConstIteratorInterface& operator=(const ConstIteratorInterface&) = default;
        virtual ~ConstIteratorInterface() = default;
        virtual void reset() = 0;
        virtual void begin(const PixelRect& rect, ProgressObserver* progress, double low,
                           double high) = 0;
        virtual void next() = 0;
        [[nodiscard]] virtual bool valid() const = 0;
        [[nodiscard]] virtual bool atRowStart() const = 0;
    };

    // Read/write walk. Validity is computed from the row, so a walk that runs
    // off the end can never report a pixel.
    class LeftToRightTopToBottomIterator final : public IteratorInterface {
    public:
        // Starts over the image's bounds.
        explicit LeftToRightTopToBottomIterator(VTImageBuffer& image);
        ~LeftToRightTopToBottomIterator() override;

        void reset() override;
        void begin(const PixelRect& rect, ProgressObserver* progress, double low,
                   double high) override;
        void next() override;
        [[nodiscard]] bool valid() const override;
        [[nodiscard]] bool atRowStart() const override;

        [[nodiscard]] T* pixel() const { return walk_.pixel(); }
        [[nodiscard]] std::int32_t x() const { return walk_.x(); }
        [[nodiscard]] std::int32_t y() const { return walk_.y(); }
        [[nodiscard]] const PixelFormat& format() const { return format_; }

    private:
        PixelFormat format_;
        RectWalk<T> walk_;
    };

    // Read-only walk; it keeps a valid flag of its own.
    class LeftToRightTopToBottomConstIterator final : public ConstIteratorInterface {
    public:
        explicit LeftToRightTopToBottomConstIterator(const VTImageBuffer& image);
        // The walk holds on to the image, so a temporary will not do.
        explicit LeftToRightTopToBottomConstIterator(const VTImageBuffer&& image) = delete;
        ~LeftToRightTopToBottomConstIterator() override;

        void reset() override;
        void begin(const PixelRect& rect, ProgressObserver* progress, double low,
                   double high) override;
        void next() override;
        [[nodiscard]] bool valid() const override;
        [[nodiscard]] bool atRowStart() const override;

        [[nodiscard]] const T* pixel() const { return walk_.pixel(); }
        [[nodiscard]] std::int32_t x() const { return walk_.x(); }
        [[nodiscard]] std::int32_t y() const { return walk_.y(); }
        [[nodiscard]] const PixelFormat& format() const { return format_; }

    private:
        PixelFormat format_;
        RectWalk<const T> walk_;
        bool valid_ = false;
    };
};

extern template class Image<unsigned char>;
extern template class Image<unsigned short>;

} // namespace image
