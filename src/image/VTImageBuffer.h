#pragma once

#include "image/PixelFormat.h"
#include "image/PixelRect.h"

#include <cstdint>

namespace image {

// The record that describes every pixel block: where the samples are, how
// they are laid out and what they mean. It never interprets pixels; the typed
// views Image<T> and SingleChannelImage<T> add no data and read the same
// record with a sample type. Fields are public and in record order.
class VTImageBuffer {
public:
    // Wraps memory that belongs to someone else (a host buffer, a shared-memory
    // view). minimumRowBytes is how such buffers impose their own row padding.
    // Throws std::runtime_error for a non-positive sample size or a row that
    // does not fit in 32 bits.
    VTImageBuffer(unsigned char* samples, const PixelRect& area, std::int32_t minimumRowBytes,
                  std::int32_t sampleBytes, PixelFormat pixelFormat);
    // A non-owning view with every field of `other`.
    VTImageBuffer(const VTImageBuffer& other);
    // Allocates zeroed rows padded to a multiple of 4 bytes (planar: one such
    // block per plane). maxValue starts from the sample size; creators that
    // want another full scale assign it. Throws std::bad_alloc when the block
    // cannot be represented or allocated.
    VTImageBuffer(const PixelRect& area, std::int32_t sampleBytes, PixelFormat pixelFormat);

    // A copy is a view; moving or assigning an owner would hand out or drop
    // the block behind the other record's back.
    VTImageBuffer(VTImageBuffer&&) = delete;
    VTImageBuffer& operator=(const VTImageBuffer&) = delete;
    VTImageBuffer& operator=(VTImageBuffer&&) = delete;
    virtual ~VTImageBuffer();

    // Full-scale sample value for a sample size: 255, 32768 (the host's
    // 16-bit range), 1 for float, else 2^(8 * bytes) - 1 (saturated).
    static std::uint32_t maxValueFor(std::int32_t sampleBytes);

    // First byte of the pixel at image coordinates (x, y), which must lie in
    // bounds.
    [[nodiscard]] unsigned char* pixelAddress(std::int32_t x, std::int32_t y) const;

    unsigned char* data = nullptr;
    std::int32_t rowBytes = 0;
    std::int32_t colBytes = 0;
    std::int32_t bytesPerSample = 0;
    std::int32_t planeBytes = 0;
    PixelRect bounds;
    bool ownsData = false;
    std::int32_t pixelStride = 0;
    std::int32_t rowStride = 0;
    std::int32_t nextRowPixelStride = 0;
    std::int32_t planeStride = 0;
    PixelFormat format;
    std::uint32_t maxValue = 0;
    std::uint32_t reservedWord = 0;

private:
    // Sets the strides from the byte sizes.
    void deriveStrides();
};

} // namespace image
