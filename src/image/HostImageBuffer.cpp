#include "image/HostImageBuffer.h"

#include "image/DepthConversion.h"
#include "image/SingleChannelImage.h"

#include <algorithm>

namespace image {

namespace {

using hostapi::FilterRecord;

// Full-rate sampling in the host's 16.16 fixed point.
constexpr hostapi::Fixed kFullRate = 0x10000;

PixelRect fromHost(const hostapi::Rect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

PixelRect fromHost(const hostapi::VRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

void toHost(const PixelRect& r, hostapi::Rect& out) {
    out.top = static_cast<hostapi::int16>(r.top);
    out.left = static_cast<hostapi::int16>(r.left);
    out.bottom = static_cast<hostapi::int16>(r.bottom);
    out.right = static_cast<hostapi::int16>(r.right);
}

void toHost(const PixelRect& r, hostapi::VRect& out) {
    out = hostapi::VRect{r.top, r.left, r.bottom, r.right};
}

std::uint32_t colorModelFor(hostapi::int16 mode) {
    switch (mode) {
    case hostapi::modeGrayScale:
    case hostapi::modeGray16:
    case hostapi::modeGray32:
        return colorModelGray;
    case hostapi::modeCMYKColor:
    case hostapi::modeCMYK64:
        return colorModelCMYK;
    case hostapi::modeLabColor:
    case hostapi::modeLab48:
        return colorModelLab;
    case hostapi::modeDuotone:
    case hostapi::modeDuotone16:
        return colorModelDuotone;
    default:
        return colorModelRGB;
    }
}

// Only the 8-bit modes are told apart when the host does not count its
// planes: every deeper mode, like bitmap, counts as three colour channels.
std::uint32_t defaultColorChannels(const FilterRecord& record) {
    switch (record.imageMode) {
    case hostapi::modeGrayScale:
    case hostapi::modeDuotone:
        return 1;
    case hostapi::modeCMYKColor:
        return 4;
    case hostapi::modeMultichannel:
        return static_cast<std::uint32_t>(std::max<hostapi::int16>(record.planes, 0));
    default:
        return 3;
    }
}

std::shared_ptr<std::vector<unsigned char>> copyIccProfile(const FilterRecord& record) {
    const hostapi::HandleProcs* procs = record.handleProcs;
    const hostapi::Handle profile = record.iCCprofileData;
    if (procs == nullptr || profile == nullptr || procs->getSizeProc == nullptr ||
        procs->lockProc == nullptr) {
        return nullptr;
    }
    const hostapi::int32 size = procs->getSizeProc(profile);
    if (size <= 0) {
        return nullptr;
    }
    const hostapi::Ptr bytes = procs->lockProc(profile, 0);
    if (bytes == nullptr) {
        return nullptr;
    }
    auto copy = std::make_shared<std::vector<unsigned char>>(bytes, bytes + size);
    if (procs->unlockProc != nullptr) {
        procs->unlockProc(profile);
    }
    return copy;
}

template <typename T> void fill(VTImageBuffer& buffer, T value) {
    for (std::int32_t y = buffer.bounds.top; y < buffer.bounds.bottom; ++y) {
        auto* row = reinterpret_cast<T*>(buffer.pixelAddress(buffer.bounds.left, y));
        std::fill(row, row + buffer.bounds.width(), value);
    }
}

// A one-channel mask of `area` at the document's sample size, with its full
// scale: 255, 32768 or 1.0. Null for another sample size.
std::unique_ptr<VTImageBuffer> newMask(const PixelRect& area, std::int32_t bytesPerSample) {
    switch (bytesPerSample) {
    case 1:
        return std::make_unique<SingleChannelImage<std::uint8_t>>(area);
    case 2:
        return std::make_unique<SingleChannelImage<std::uint16_t>>(area);
    case 4:
        return std::make_unique<SingleChannelImage<float>>(area);
    default:
        return nullptr;
    }
}

// The host delivers nothing for an empty rectangle, however far apart its
// other edges lie; a view of it must not describe rows of that width, which
// no record holds.
PixelRect deliveredArea(const PixelRect& requested) {
    return requested.isEmpty() ? PixelRect() : requested;
}

} // namespace

std::int16_t HostImageBuffer::mapHostResult(std::int32_t hostCode) {
    switch (hostCode) {
    case hostapi::memFullErr:
    case hostapi::unidentifiedHostErr:
        return hostapi::memFullErr;
    case -1:
    case 0:
    case 1:
        return static_cast<std::int16_t>(hostCode);
    case hostapi::userCanceledErr:
        return 1;
    default:
        return -1;
    }
}

bool HostImageBuffer::usesBigCoordinates() const {
    return record_.bigDocumentData != nullptr &&
           record_.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

std::int32_t HostImageBuffer::imageWidth() const {
    return usesBigCoordinates() ? record_.bigDocumentData->imageSize32.h : record_.imageSize.h;
}

std::int32_t HostImageBuffer::imageHeight() const {
    return usesBigCoordinates() ? record_.bigDocumentData->imageSize32.v : record_.imageSize.v;
}

PixelRect HostImageBuffer::imageBounds() const {
    return {0, 0, imageWidth(), imageHeight()};
}

PixelRect HostImageBuffer::wholeBounds() const {
    if (usesBigCoordinates()) {
        const hostapi::VPoint& size = record_.bigDocumentData->wholeSize32;
        return {0, 0, size.h, size.v};
    }
    return {0, 0, record_.wholeSize.h, record_.wholeSize.v};
}

PixelRect HostImageBuffer::filterBounds() const {
    return usesBigCoordinates() ? fromHost(record_.bigDocumentData->filterRect32)
                                : fromHost(record_.filterRect);
}

PixelRect HostImageBuffer::inputRect() const {
    return usesBigCoordinates() ? fromHost(record_.bigDocumentData->inRect32)
                                : fromHost(record_.inRect);
}

void HostImageBuffer::setInputRect(const PixelRect& rect) {
    if (usesBigCoordinates()) {
        toHost(rect, record_.bigDocumentData->inRect32);
    } else {
        toHost(rect, record_.inRect);
    }
}

PixelRect HostImageBuffer::outputRect() const {
    return usesBigCoordinates() ? fromHost(record_.bigDocumentData->outRect32)
                                : fromHost(record_.outRect);
}

void HostImageBuffer::setOutputRect(const PixelRect& rect) {
    if (usesBigCoordinates()) {
        toHost(rect, record_.bigDocumentData->outRect32);
    } else {
        toHost(rect, record_.outRect);
    }
}

void HostImageBuffer::setMaskRect(const PixelRect& rect) {
    if (usesBigCoordinates()) {
        toHost(rect, record_.bigDocumentData->maskRect32);
    } else {
        toHost(rect, record_.maskRect);
    }
}

PixelRect HostImageBuffer::effectiveBounds(const VTImageBuffer* selectionMask) const {
    return selectionMask != nullptr ? selectionMask->bounds : filterBounds();
}

std::int32_t HostImageBuffer::bytesPerChannel() const {
    return (record_.depth != 0 ? record_.depth : 8) / 8;
}

std::int32_t HostImageBuffer::inputPlaneCount() const {
    const std::int32_t sum =
        record_.inLayerPlanes + record_.inTransparencyMask + record_.inNonLayerPlanes;
    return sum != 0 ? sum : record_.planes;
}

std::int32_t HostImageBuffer::outputPlaneCount() const {
    const std::int32_t sum =
        record_.outLayerPlanes + record_.outTransparencyMask + record_.outNonLayerPlanes;
    return sum != 0 ? sum : record_.planes;
}

bool HostImageBuffer::hasSelection() const {
    return record_.filterCase == hostapi::filterCaseFlatImageWithSelection ||
           record_.filterCase == hostapi::filterCaseEditableTransparencyWithSelection ||
           record_.filterCase == hostapi::filterCaseProtectedTransparencyWithSelection;
}

bool HostImageBuffer::transparencyWithoutSelection() const {
    return record_.filterCase == hostapi::filterCaseEditableTransparencyNoSelection ||
           record_.filterCase == hostapi::filterCaseProtectedTransparencyNoSelection;
}

std::int32_t HostImageBuffer::advance() {
    return record_.advanceState();
}

void HostImageBuffer::clearRequests() {
    setInputRect(PixelRect());
    setOutputRect(PixelRect());
    const PixelRect filter = filterBounds();
    setMaskRect(PixelRect(filter.left, filter.top, filter.left, filter.top));
    record_.inputRate = kFullRate;
    record_.maskRate = kFullRate;
}

void HostImageBuffer::clearRequestsToMinimal() {
    clearRequests();
    record_.inLoPlane = 0;
    record_.inHiPlane = 0;
    setInputRect(PixelRect(0, 0, 1, 1));
}

PixelFormat HostImageBuffer::hostPixelFormat() const {
    PixelFormat format = hostPixelLayout();
    format.iccProfile = copyIccProfile(record_);
    if (format.iccProfile) {
        format.profileKind = profileKindICC;
    }
    return format;
}

PixelFormat HostImageBuffer::hostPixelLayout() const {
    std::uint32_t colorChannels =
        static_cast<std::uint32_t>(std::max(0, record_.inLayerPlanes + record_.inNonLayerPlanes));
    if (colorChannels == 0) {
        colorChannels = defaultColorChannels(record_);
    }
    PixelFormat format(colorModelFor(record_.imageMode), colorChannels,
                       record_.outTransparencyMask == 1);
    format.modelFlag = 1;
    format.alphaLast = 1;
    format.reservedZero = 0;
    format.profileKind = profileKindNone;
    return format;
}

VTImageBuffer HostImageBuffer::wrapInput() const {
    // The host delivers every requested plane interleaved.
    return {static_cast<unsigned char*>(record_.inData), deliveredArea(inputRect()),
            record_.inRowBytes, bytesPerChannel(), hostPixelLayout()};
}

VTImageBuffer HostImageBuffer::wrapOutput() const {
    return {static_cast<unsigned char*>(record_.outData), deliveredArea(outputRect()),
            record_.outRowBytes, bytesPerChannel(), hostPixelLayout()};
}

std::int16_t HostImageBuffer::acquireSelectionMask(std::unique_ptr<VTImageBuffer>& selectionMask,
                                                   bool& maskFullySelected,
                                                   bool& maskFromTransparency) {
    clearRequests();
    maskFromTransparency = false;
    // A failed read or an unknown depth leaves no mask, whatever an earlier
    // run left.
    selectionMask.reset();
    const PixelRect filter = filterBounds();
    const std::int32_t sampleBytes = bytesPerChannel();

    if (record_.haveMask == 0) {
        maskFullySelected = true;
        if (filter == imageBounds()) {
            return 0;
        }
        // A layer smaller than the canvas: everything inside it is selected.
        std::unique_ptr<VTImageBuffer> full = newMask(filter, sampleBytes);
        if (!full) {
            return -1;
        }
        switch (sampleBytes) {
        case 1:
            fill<std::uint8_t>(*full, 255);
            break;
        case 2:
            fill<std::uint16_t>(*full, 32768);
            break;
        default:
            fill<float>(*full, 1.0F);
            break;
        }
        selectionMask = std::move(full);
        return 0;
    }

    clearRequests();
    setMaskRect(filter);
    record_.maskRate = kFullRate;
    const std::int32_t code = advance();
    if (code != 0) {
        clearRequests();
        return mapHostResult(code);
    }
    // The host's buffer stays valid until the next advance, so it is read
    // after the requests are cleared.
    const SingleChannelImage<std::uint8_t> hostMask(static_cast<std::uint8_t*>(record_.maskData),
                                                    filter, record_.maskRowBytes);
    clearRequests();

    std::unique_ptr<VTImageBuffer> mask;
    if (sampleBytes == 1 || sampleBytes == 2 || sampleBytes == 4) {
        const PixelRect cropped = filter == imageBounds() ? nonZeroBoundingBox(hostMask) : filter;
        mask = newMask(cropped, sampleBytes);
    }
    if (!mask) {
        return -1;
    }
    switch (sampleBytes) {
    case 1:
        convert8To8(hostMask, *mask);
        break;
    case 2:
        convert8To16(hostMask, *mask);
        break;
    default:
        convert8ToFloat(hostMask, *mask);
        break;
    }
    maskFullySelected = isFullySelected(*mask);
    selectionMask = std::move(mask);
    return 0;
}

} // namespace image
