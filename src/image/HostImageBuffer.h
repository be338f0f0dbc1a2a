#pragma once

#include "hostapi/FilterInterface.h"
#include "image/PixelFormat.h"
#include "image/PixelRect.h"
#include "image/VTImageBuffer.h"

#include <cstdint>
#include <memory>

namespace image {

// The plug-in's one window onto the host's pixels: the document, the
// requested rectangles and the host buffers of a filter record. Rectangles
// go through the 32-bit fields of the big-document record whenever the
// plug-in has opted in to them, else through the record's 16-bit fields.
class HostImageBuffer {
public:
    explicit HostImageBuffer(hostapi::FilterRecord& record) : record_(record) {}

    // The host's advanceState result turned into the plug-in's result codes
    // (0, 1 cancelled, -1 failure, -108 out of memory).
    static std::int16_t mapHostResult(std::int32_t hostCode);

    [[nodiscard]] bool usesBigCoordinates() const;

    [[nodiscard]] std::int32_t imageWidth() const;
    [[nodiscard]] std::int32_t imageHeight() const;
    [[nodiscard]] PixelRect imageBounds() const;
    // The image under a floating selection, or the canvas under a layer.
    [[nodiscard]] PixelRect wholeBounds() const;
    [[nodiscard]] PixelRect filterBounds() const;
    [[nodiscard]] PixelRect inputRect() const;
    void setInputRect(const PixelRect& rect);
    [[nodiscard]] PixelRect outputRect() const;
    void setOutputRect(const PixelRect& rect);
    void setMaskRect(const PixelRect& rect);
    // The mask's bounds when there is a mask, else the filter bounds.
    [[nodiscard]] PixelRect effectiveBounds(const VTImageBuffer* selectionMask) const;

    // 1, 2 or 4; a depth of 0 counts as 8 bits.
    [[nodiscard]] std::int32_t bytesPerChannel() const;
    [[nodiscard]] std::int32_t inputPlaneCount() const;
    [[nodiscard]] std::int32_t outputPlaneCount() const;
    [[nodiscard]] bool hasSelection() const;
    [[nodiscard]] bool transparencyWithoutSelection() const;

    // Asks the host for the requested rectangles: its own code, widened.
    std::int32_t advance();

    // Leaves the host nothing to deliver: empty input and output, an empty
    // mask rectangle at the filter origin, full-rate sampling.
    void clearRequests();
    // As clearRequests, then one pixel of plane 0, the least the host
    // accepts as a request.
    void clearRequestsToMinimal();

    // The document's pixel format, with a copy of its ICC profile when the
    // host has one.
    [[nodiscard]] PixelFormat hostPixelFormat() const;
    // The same without the profile: what the host's buffers are wrapped
    // with, cheap enough for every tile.
    [[nodiscard]] PixelFormat hostPixelLayout() const;

    // Views of the host's buffers for the current input or output rectangle
    // (an empty view for an empty one), valid until the next advance.
    [[nodiscard]] VTImageBuffer wrapInput() const;
    [[nodiscard]] VTImageBuffer wrapOutput() const;

    // Builds the selection mask for a run at document depth: the host's mask
    // cropped to its non-zero samples when it covers the image, or a full
    // mask of a filter rectangle smaller than the image, or none. Returns 0
    // or a mapped result code.
    std::int16_t acquireSelectionMask(std::unique_ptr<VTImageBuffer>& selectionMask,
                                      bool& maskFullySelected, bool& maskFromTransparency);

private:
    hostapi::FilterRecord& record_;
};

} // namespace image
