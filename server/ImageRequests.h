#pragma once

// The server's requests for the document's pixels. Each returns false when
// the request could not be sent or its answer did not come; the plug-in's own
// result comes in `result`.

#include "Adjustment.h"
#include "proxy/Messages.h"

#include <cstdint>

namespace ipc {
class IPCMemoryBuffer;
}

namespace refserver {

class PluginConnection;

// 16: the pixels of `rect` in `layout`, rows packed, into `buffer`.
bool readPixels(PluginConnection& connection, const WireRect& rect, const PixelLayout& layout,
                const ipc::IPCMemoryBuffer& buffer, std::int32_t& result);

// 18: the selection mask of `rect`, one sample of the layout's size per
// pixel, into `buffer`, which is cleared first: pixels outside the mask's
// bounds are not written by the plug-in and read as unselected. `copied`
// says whether the plug-in wrote a mask at all; without one all is selected.
bool readMask(PluginConnection& connection, const WireRect& rect, const PixelLayout& layout,
              ipc::IPCMemoryBuffer& buffer, bool& copied);

// 20: the pixels in `buffer` into `rect`. The plug-in answers with 21 in its
// own channel, and whatever else it sends meanwhile is served on the way.
bool writePixels(PluginConnection& connection, const WireRect& rect, const PixelLayout& layout,
                 const ipc::IPCMemoryBuffer& buffer, std::int32_t& result);

} // namespace refserver
