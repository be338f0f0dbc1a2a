#pragma once

// Where the server's requests enter the plug-in. A request is bytes that
// another process wrote: its names, rectangles and layouts are checked here,
// once, against what the named buffer really maps, and the handlers behind
// this door copy only within what it let through.

#include "image/PixelFormat.h"
#include "image/PixelRect.h"
#include "proxy/Messages.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace ipc {
class IPCMemoryBuffer;
}

namespace proxy {

// The answer to a request that names no usable buffer, or whose image would
// reach outside its buffer or outside what the host delivered: the host's
// code for a bad parameter.
inline constexpr std::int32_t requestRefused = -50;

// Handlers receive the whole queue cell a request arrived in; the record is
// copied out of it, so its alignment does not matter.
template <typename R> R requestRecord(const msgBase* cell) {
    static_assert(std::is_trivially_copyable_v<R> && sizeof(R) <= msg::cellSize,
                  "a request is read from one queue cell");
    R record;
    std::memcpy(&record, cell, sizeof record);
    return record;
}

// A name that runs to the end of a request (msg::fieldText reads the others):
// it ends at the end of the queue cell at the latest.
std::string nameToCellEnd(const msgBase* cell, std::size_t offset);

// The plug-in's rectangle for a message rectangle.
image::PixelRect pixelRectOf(const WireRect& rect);

// Opens `buffer` under `name`, or keeps its mapping when it already maps that
// name and `reopen` is clear. False when the name opens no region; the
// buffer is then empty.
bool openRequestBuffer(ipc::IPCMemoryBuffer& buffer, const std::string& name, bool reopen);

// Sample sizes that an image in a shared buffer may have.
bool isSampleSize(std::int64_t bytesPerSample);

// Bytes an image of `area` occupies from its first byte: rows of `rowBytes`,
// the last one only as long as its pixels. 0 for an empty area.
std::uint64_t imageExtent(const image::PixelRect& area, std::int64_t rowBytes,
                          std::int64_t pixelBytes);

// The row length the layout rules give an image of `area` with pixels of
// `pixelBytes` and the request's minimum row length.
std::int64_t requestRowBytes(const image::PixelRect& area, std::int64_t pixelBytes,
                             std::int64_t minimumRowBytes);

// Whether an interleaved image of `area` in `format` at `bytesPerSample`,
// with the request's minimum row length, lies wholly within the payload the
// buffer maps, and its rows fit the image record. The buffer must be open.
bool sharedImageFits(const ipc::IPCMemoryBuffer& buffer, const image::PixelRect& area,
                     std::int64_t minimumRowBytes, std::int64_t bytesPerSample,
                     const image::PixelFormat& format);

} // namespace proxy
