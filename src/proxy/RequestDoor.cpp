#include "proxy/RequestDoor.h"

#include "ipc/IPCMemoryBuffer.h"
#include "proxy/MessageFields.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace proxy {

namespace {

constexpr std::int64_t int32Max = std::numeric_limits<std::int32_t>::max();
// More colour channels than a byte counts is no image of this protocol.
constexpr std::uint32_t maximumChannels = 255;

} // namespace

std::string nameToCellEnd(const msgBase* cell, std::size_t offset) {
    const char* bytes = reinterpret_cast<const char*>(cell);
    return msg::fieldText(bytes + offset, msg::cellSize - offset);
}

image::PixelRect pixelRectOf(const WireRect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

bool openRequestBuffer(ipc::IPCMemoryBuffer& buffer, const std::string& name, bool reopen) {
    // The mapping stays between requests: a server that streams its tiles
    // through one buffer pays for one mapping.
    if (!reopen && buffer.data() != nullptr && buffer.name() == name) {
        return true;
    }
    try {
        buffer.open(name);
    } catch (const std::exception&) {
        return false;
    }
    return buffer.data() != nullptr;
}

bool isSampleSize(std::int64_t bytesPerSample) {
    return bytesPerSample == 1 || bytesPerSample == 2 || bytesPerSample == 4;
}

std::uint64_t imageExtent(const image::PixelRect& area, std::int64_t rowBytes,
                          std::int64_t pixelBytes) {
    if (area.isEmpty()) {
        return 0;
    }
    return static_cast<std::uint64_t>(area.height() - 1) * static_cast<std::uint64_t>(rowBytes) +
           static_cast<std::uint64_t>(area.width()) * static_cast<std::uint64_t>(pixelBytes);
}

std::int64_t requestRowBytes(const image::PixelRect& area, std::int64_t pixelBytes,
                             std::int64_t minimumRowBytes) {
    return std::max(area.width() * pixelBytes, minimumRowBytes);
}

bool sharedImageFits(const ipc::IPCMemoryBuffer& buffer, const image::PixelRect& area,
                     std::int64_t minimumRowBytes, std::int64_t bytesPerSample,
                     const image::PixelFormat& format) {
    if (!isSampleSize(bytesPerSample) || buffer.data() == nullptr ||
        format.colorChannels > maximumChannels) {
        return false;
    }
    const std::int64_t pixelBytes = std::int64_t{format.channelsWithAlpha()} * bytesPerSample;
    if (pixelBytes <= 0) {
        return false;
    }
    // Widths reach 2^32 and pixels at most about a kilobyte: no product below
    // leaves 64 bits, and rows longer than an image record holds are out.
    const std::int64_t rowBytes = requestRowBytes(area, pixelBytes, minimumRowBytes);
    if (rowBytes + pixelBytes > int32Max) {
        return false;
    }
    const std::uint64_t extent = imageExtent(area, rowBytes, pixelBytes);
    return extent <= buffer.capacity();
}

} // namespace proxy
