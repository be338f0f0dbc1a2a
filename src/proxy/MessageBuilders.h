#pragma once

// The records that describe the host and the document to the server, built
// from the filter record of the current call (gFilterRecord) and the state
// of the invocation.

#include "image/PixelRect.h"
#include "proxy/Messages.h"
#include "proxy/ParameterMap.h"

#include <cstdint>

class FilterGlobals;

namespace image {
class HostImageBuffer;
}

namespace proxy {

// A plug-in rectangle in the order a message carries it.
WireRect wireRectOf(const image::PixelRect& rect);

// msgHostSettings: the host's colours and properties, the mask flags of
// `globals` and the descriptor flags of the run. Colours read as zero
// without a filter record.
msgHostSettings buildHostSettings(const FilterGlobals& globals);

// The two rectangles the document description starts with.
struct DocumentRects {
    image::PixelRect first;
    image::PixelRect second;
};

// Both the output size {0, 0, 'SSow', 'SSoh'} when the run map holds both as
// integers; otherwise the image bounds and the whole-document bounds.
DocumentRects documentRects(const ParameterMap& runMap, const image::HostImageBuffer& host);

// msgDocumentInfo with selector 3 (a server just launched) or 4 (one
// attached to). When the host has an ICC profile, it is first put into a new
// shared buffer named from this process's id, which `globals` keeps as
// iccProfileBuffer in place of an earlier one, and the record names it.
// Throws std::logic_error without a filter record or for another selector,
// std::runtime_error when the profile buffer maps less than the profile.
msgDocumentInfo buildDocumentInfo(FilterGlobals& globals, const image::PixelRect& firstRect,
                                  const image::PixelRect& secondRect, std::int32_t selector);

} // namespace proxy
