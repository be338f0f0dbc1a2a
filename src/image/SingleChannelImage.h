#pragma once

#include "image/PixelFormat.h"
#include "image/PixelRect.h"
#include "image/ProgressObserver.h"
#include "image/RectWalk.h"
#include "image/VTImageBuffer.h"

#include <cstdint>

namespace image {

// One plane of samples of type T (a selection mask at document depth, one
// plane of a planar image): the VTImageBuffer record read with a sample type.
// It adds no data. Its walks step one element per column, whatever the
// record's pixelStride says.
template <typename T> class SingleChannelImage : public VTImageBuffer {
public:
    using Sample = T;

    // One-channel Gray format, the shape of every mask.
    static PixelFormat grayFormat();

    // Wraps someone else's samples as one Gray channel.
    SingleChannelImage(T* samples, const PixelRect& area, std::int32_t minimumRowBytes);
    // A non-owning view of `other`'s samples as T.
    explicit SingleChannelImage(const VTImageBuffer& other);
    SingleChannelImage(const SingleChannelImage& other);
    // Allocates one zeroed Gray channel, rows padded to a multiple of 4 bytes.
    explicit SingleChannelImage(const PixelRect& area);
    // Moving would fall back to a view of a block the source releases.
    SingleChannelImage(SingleChannelImage&&) = delete;
    SingleChannelImage& operator=(const SingleChannelImage&) = delete;
    SingleChannelImage& operator=(SingleChannelImage&&) = delete;
    ~SingleChannelImage() override;

    // The sample at image coordinates (x, y), inside bounds.
    [[nodiscard]] T* pixel(std::int32_t x, std::int32_t y) const;

    class ConstIteratorInterface {
    public:
        ConstIteratorInterface() = default;
        ConstIteratorInterface(const ConstIteratorInterface&) = default;
        ConstIteratorInterface& operator=(const ConstIteratorInterface&) = default;
        virtual ~ConstIteratorInterface() = default;
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

    // Read-only walk; it keeps a valid flag of its own.
    class LeftToRightTopToBottomConstIterator final : public ConstIteratorInterface {
    public:
        // Starts over the image's bounds.
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

    private:
        RectWalk<const T> walk_;
        bool valid_ = false;
    };
};

extern template class SingleChannelImage<unsigned char>;
extern template class SingleChannelImage<unsigned short>;
extern template class SingleChannelImage<float>;

} // namespace image
