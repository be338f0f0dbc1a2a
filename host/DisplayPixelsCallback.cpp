// displayPixels: a pixel map of any mode the host shows, converted to the
// 24-bit blue-green-red rows of the platform's drawing call.

#include "host/ActiveHost.h"
#include "host/ColorConversion.h"
#include "host/HostCallbacks.h"
#include "image/Convert16To8Span.h"
#include "platform/DisplaySurface.h"

#include <cstring>

namespace host {

using namespace hostapi;

namespace {

// The colour space and component count of a pixel map's mode; none for a
// mode the host does not show.
bool spaceOfMode(int32 mode, std::int16_t& space, int& components) {
    switch (mode) {
    case modeGrayScale:
    case modeDuotone:
        space = colorSpaceGray;
        components = 1;
        return true;
    case modeRGBColor:
        space = colorSpaceRGB;
        components = 3;
        return true;
    case modeCMYKColor:
        space = colorSpaceCMYK;
        components = 4;
        return true;
    case modeLabColor:
        space = colorSpaceLab;
        components = 3;
        return true;
    default:
        return false;
    }
}

// One sample of a pixel map as 0..255.
std::uint8_t mapSample(const PSPixelMap& map, int x, int y, int component, bool deep) {
    const auto* base = static_cast<const std::uint8_t*>(map.baseAddr);
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(y - map.bounds.top) * map.rowBytes +
                              static_cast<std::ptrdiff_t>(x - map.bounds.left) * map.colBytes +
                              static_cast<std::ptrdiff_t>(component) * map.planeBytes;
    if (!deep) {
        return base[at];
    }
    std::uint16_t v = 0;
    std::memcpy(&v, base + at, sizeof v);
    return image::convert16To8Sample(v);
}

bool inside(const VRect& r, const VRect& bounds) {
    return !isEmpty(r) && r.top >= bounds.top && r.left >= bounds.left &&
           r.bottom <= bounds.bottom && r.right <= bounds.right;
}

// `r` of the map into `out` as blue-green-red rows of `rowBytes`.
void toScreenRows(const PSPixelMap& map, const VRect& r, std::int16_t space, int components,
                  std::uint8_t* out, int rowBytes) {
    const bool deep = map.version >= 3 && map.depth == 16;
    for (int y = 0; y < r.bottom - r.top; ++y) {
        std::uint8_t* bgr = out + static_cast<std::ptrdiff_t>(y) * rowBytes;
        for (int x = 0; x < r.right - r.left; ++x, bgr += 3) {
            ColorComponents c{0, 0, 0, 0};
            for (int k = 0; k < components; ++k) {
                c[static_cast<std::size_t>(k)] = mapSample(map, r.left + x, r.top + y, k, deep);
            }
            const ColorComponents rgb =
                space == colorSpaceRGB ? c : convertColor(space, colorSpaceRGB, c).components;
            bgr[0] = static_cast<std::uint8_t>(rgb[2]);
            bgr[1] = static_cast<std::uint8_t>(rgb[1]);
            bgr[2] = static_cast<std::uint8_t>(rgb[0]);
        }
    }
}

} // namespace

OSErr hostDisplayPixels(const PSPixelMap* source, const VRect* srcRect, int32 dstRow, int32 dstCol,
                        void* platformContext) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return paramErr;
    }
    DisplayPixelsCall call;
    call.dstRow = dstRow;
    call.dstCol = dstCol;
    auto finish = [&](OSErr result) {
        call.result = result;
        records->displayPixels.push_back(call);
        return result;
    };
    if (source == nullptr || srcRect == nullptr || source->baseAddr == nullptr) {
        return finish(paramErr);
    }
    call.srcRect = *srcRect;
    call.imageMode = source->imageMode;
    if (!inside(*srcRect, source->bounds)) {
        return finish(paramErr);
    }
    std::int16_t space = 0;
    int components = 0;
    if (!spaceOfMode(source->imageMode, space, components)) {
        return finish(filterBadMode);
    }
    const int width = srcRect->right - srcRect->left;
    const int height = srcRect->bottom - srcRect->top;
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> screenRows(static_cast<std::size_t>(rowBytes) *
                                         static_cast<std::size_t>(height));
    toScreenRows(*source, *srcRect, space, components, screenRows.data(), rowBytes);
    const bool drawn = platform::drawIntoContext(platformContext, dstCol, dstRow, width, height,
                                                 screenRows.data(), rowBytes);
    return finish(drawn ? noErr : paramErr);
}

} // namespace host
