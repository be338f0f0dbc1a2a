// The server's image requests: the document's pixels into its buffers (16),
// the selection mask (18), its result back into the document (20) and a
// preview drawn through the host's display conversion (34).

#include "hostapi/FilterInterface.h"
#include "image/DepthConversion.h"
#include "image/HostImageBuffer.h"
#include "image/Image.h"
#include "image/VTImageBuffer.h"
#include "platform/DisplaySurface.h"
#include "proxy/FilterGlobals.h"
#include "proxy/MessageFields.h"
#include "proxy/ProcessGlobals.h"
#include "proxy/RequestDoor.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

using image::HostImageBuffer;
using image::PixelFormat;
using image::PixelRect;
using image::VTImageBuffer;
using proxy::requestRefused;

constexpr std::int64_t rateOne = 0x10000;
constexpr std::uint8_t opaque = 255;
// Previews travel as 8-bit samples: the host's display callback reads no
// other depth from a pixel map of this version.
constexpr std::int64_t previewSampleBytes = 1;
constexpr std::int64_t displayedBytesPerPixel = 3;

PixelFormat requestFormat(std::uint32_t model, std::uint32_t channels, bool alpha) {
    PixelFormat format(model, channels, alpha);
    format.modelFlag = 1;
    format.alphaLast = 1;
    format.profileKind = image::profileKindNone;
    return format;
}

// A wrapped host buffer whose rows are as long as the host says they are:
// the record never reaches beyond what the host delivered.
bool deliveredWhole(const VTImageBuffer& host, std::int32_t hostRowBytes) {
    if (host.bounds.isEmpty()) {
        return true;
    }
    return host.data != nullptr && hostRowBytes > 0 &&
           host.bounds.width() * host.colBytes <= std::int64_t{hostRowBytes};
}

// `bytesPerRow` bytes of every row of `area`, from its left edge on.
void copyRows(const VTImageBuffer& source, const VTImageBuffer& destination, const PixelRect& area,
              std::size_t bytesPerRow) {
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        std::memcpy(destination.pixelAddress(area.left, y), source.pixelAddress(area.left, y),
                    bytesPerRow);
    }
}

// Colour samples from the shared image into the host's pixels, both walked
// from their top-left pixels in step; the host's alpha stays as it is.
template <typename Sample>
void copyColourKeepingAlpha(const VTImageBuffer& shared, VTImageBuffer& host) {
    typename image::Image<Sample>::LeftToRightTopToBottomConstIterator from(shared);
    typename image::Image<Sample>::LeftToRightTopToBottomIterator to(host);
    const std::uint32_t first = host.format.firstColorIndex();
    const std::uint32_t count = host.format.colorChannels;
    for (; from.valid() && to.valid(); from.next(), to.next()) {
        std::memcpy(to.pixel() + first, from.pixel() + first, count * sizeof(Sample));
    }
}

// The server's pixels into the host's output buffer: they replace the
// host's, never blend with them. A pixel with the host's channel count is
// copied whole, one without alpha into a layer's colour samples; any other
// count writes nothing. False when the host's pixels are wider than the
// shared ones, which a row copy would read beyond.
bool writeShared(const VTImageBuffer& shared, VTImageBuffer& target, const PixelRect& rect) {
    const std::uint32_t sharedChannels = shared.format.totalChannels;
    const std::uint32_t hostChannels = target.format.totalChannels;
    if (sharedChannels == hostChannels) {
        if (target.colBytes > shared.colBytes) {
            return false;
        }
        const PixelRect area = rect.intersection(shared.bounds).intersection(target.bounds);
        copyRows(shared, target, area,
                 static_cast<std::size_t>(area.width()) *
                     static_cast<std::size_t>(target.colBytes));
    } else if (sharedChannels + 1 == hostChannels && target.format.hasAlpha &&
               shared.bytesPerSample == target.bytesPerSample) {
        if (shared.bytesPerSample == 1) {
            copyColourKeepingAlpha<unsigned char>(shared, target);
        } else if (shared.bytesPerSample == 2) {
            copyColourKeepingAlpha<unsigned short>(shared, target);
        }
    }
    return true;
}

// The host's image modes for the colour models a preview can be in.
hostapi::int32 displayModeOf(std::uint8_t model) {
    switch (model) {
    case image::colorModelCMYK:
        return hostapi::modeCMYKColor;
    case image::colorModelLab:
        return hostapi::modeLabColor;
    case image::colorModelGray:
        return hostapi::modeGrayScale;
    default:
        return hostapi::modeRGBColor;
    }
}

// Samples of one pixel that the host's display callback reads in a mode.
std::int64_t displayPlanes(hostapi::int32 mode) {
    switch (mode) {
    case hostapi::modeCMYKColor:
        return 4;
    case hostapi::modeGrayScale:
        return 1;
    default:
        return 3;
    }
}

// The offscreen surface previews are drawn into, kept for the life of the
// process: a new one only when a preview of another size arrives.
platform::DisplaySurface& displaySurface() {
    static const std::unique_ptr<platform::DisplaySurface> surface =
        platform::createDisplaySurface();
    return *surface;
}

} // namespace

void FilterGlobals::handleReadInput(msgBase* request) {
    const auto read = proxy::requestRecord<msgReadInputRequest>(request);
    auto reply = msg::emptyRecord<msgReadInputResponse>(msg::readInputResponse);
    reply.result = requestRefused;

    const PixelRect rect = proxy::pixelRectOf(read.rect);
    const PixelFormat format =
        requestFormat(read.colorModel, read.colorChannels, read.hasAlpha != 0);
    const std::int64_t rate = std::int64_t{read.step} * rateOne;
    if (gFilterRecord == nullptr || read.step < 1 ||
        rate > std::numeric_limits<std::int32_t>::max() ||
        !proxy::openRequestBuffer(inputBuffer,
                                  proxy::nameToCellEnd(request, msg::readInputNameOffset),
                                  read.reopen != 0) ||
        !proxy::sharedImageFits(inputBuffer, rect, read.minRowBytes, read.bytesPerSample, format)) {
        sendResponse(reply);
        return;
    }
    const VTImageBuffer shared(inputBuffer.data(), rect, read.minRowBytes, read.bytesPerSample,
                               format);

    HostImageBuffer host(*gFilterRecord);
    host.clearRequests();
    gFilterRecord->inLoPlane = 0;
    gFilterRecord->inHiPlane = static_cast<hostapi::int16>(host.inputPlaneCount() - 1);
    gFilterRecord->inputRate = static_cast<hostapi::Fixed>(rate);
    host.setInputRect(rect);
    const std::int32_t delivered = host.advance();
    if (delivered != 0) {
        host.clearRequests();
        reply.result = delivered;
        sendResponse(reply);
        return;
    }

    VTImageBuffer source = host.wrapInput();
    const bool eightBitDelivery = read.deliver8Bit != 0 && source.bytesPerSample == 2;
    bool copied = false;
    if (deliveredWhole(source, gFilterRecord->inRowBytes)) {
        if (eightBitDelivery) {
            if (shared.bytesPerSample == 1) {
                VTImageBuffer destination(shared);
                image::convert16To8(source, destination);
                copied = true;
            }
        } else if (shared.colBytes <= source.colBytes) {
            // Each row takes the shared image's pixels' worth of bytes, which
            // the host's row then holds as well.
            const PixelRect area = source.bounds.intersection(shared.bounds);
            copyRows(source, shared, area,
                     static_cast<std::size_t>(area.width()) *
                         static_cast<std::size_t>(shared.colBytes));
            copied = true;
        }
    }
    host.clearRequests();
    const std::int32_t released = host.advance();
    reply.result = copied ? released : requestRefused;
    sendResponse(reply);
}

void FilterGlobals::handleReadMask(msgBase* request) {
    const auto read = proxy::requestRecord<msgReadMaskRequest>(request);
    auto reply = msg::emptyRecord<msgReadMaskResponse>(msg::readMaskResponse);
    if (read.declined != 0 || !selectionMask) {
        sendResponse(reply);
        return;
    }
    const PixelRect rect = proxy::pixelRectOf(read.rect);
    const PixelFormat format = requestFormat(image::colorModelGray, 1, false);
    // A mask has one sample per pixel; more channels would have each row
    // read beyond the mask's.
    if (read.channels != 1 ||
        !proxy::openRequestBuffer(
            maskBuffer, proxy::nameToCellEnd(request, msg::readMaskNameOffset), read.reopen != 0) ||
        !proxy::sharedImageFits(maskBuffer, rect, read.minRowBytes, read.bytesPerSample, format)) {
        reply.result = requestRefused;
        sendResponse(reply);
        return;
    }
    VTImageBuffer shared(maskBuffer.data(), rect, read.minRowBytes, read.bytesPerSample, format);
    const VTImageBuffer& mask = *selectionMask;
    const PixelRect area = mask.bounds.intersection(shared.bounds);
    if (shared.bytesPerSample == mask.bytesPerSample &&
        (shared.bytesPerSample == 1 || shared.bytesPerSample == 2)) {
        copyRows(mask, shared, area,
                 static_cast<std::size_t>(area.width()) *
                     static_cast<std::size_t>(shared.colBytes));
    } else if (shared.bytesPerSample == 1 && mask.bytesPerSample == 2) {
        image::convert16To8(mask, shared);
    }
    // Other sample sizes copy nothing, and the mask still counts as sent.
    reply.copied = 1;
    sendResponse(reply);
}

void FilterGlobals::handleWriteOutput(msgBase* request) {
    const auto write = proxy::requestRecord<msgWriteOutputRequest>(request);
    auto reply = msg::emptyRecord<msgWriteOutputResponse>(msg::writeOutputResponse);
    reply.result = requestRefused;

    const PixelRect rect = proxy::pixelRectOf(write.rect);
    const PixelFormat format =
        requestFormat(static_cast<std::uint32_t>(write.colorModel),
                      static_cast<std::uint32_t>(write.colorChannels), write.hasAlpha != 0);
    if (gFilterRecord == nullptr || write.colorChannels < 0 ||
        !proxy::openRequestBuffer(outputBuffer, msg::fieldText(write.bufferName),
                                  write.reopen != 0) ||
        !proxy::sharedImageFits(outputBuffer, rect, write.minRowBytes, write.bytesPerSample,
                                format)) {
        // The answer to a write travels as a message of the plug-in's own.
        sendMessage(reply);
        return;
    }
    const VTImageBuffer shared(outputBuffer.data(), rect, write.minRowBytes, write.bytesPerSample,
                               format);

    HostImageBuffer host(*gFilterRecord);
    host.clearRequests();
    gFilterRecord->outLoPlane = 0;
    gFilterRecord->outHiPlane = static_cast<hostapi::int16>(host.outputPlaneCount() - 1);
    host.setOutputRect(rect);
    const std::int32_t delivered = host.advance();
    if (delivered != 0) {
        host.clearRequests();
        reply.result = delivered;
        sendMessage(reply);
        return;
    }

    VTImageBuffer target = host.wrapOutput();
    const bool written =
        deliveredWhole(target, gFilterRecord->outRowBytes) && writeShared(shared, target, rect);
    host.clearRequests();
    const std::int32_t released = host.advance();
    reply.result = written ? released : requestRefused;
    sendMessage(reply);
}

void FilterGlobals::handleDisplay(msgBase* request) {
    const auto display = proxy::requestRecord<msgDisplayRequest>(request);
    auto reply = msg::emptyRecord<msgDisplayResponse>(msg::displayResponse);
    reply.result = requestRefused;

    const PixelRect rect = proxy::pixelRectOf(display.rect);
    const std::int64_t width = rect.width();
    const std::int64_t height = rect.height();
    const hostapi::int32 mode = displayModeOf(display.colorModel);
    const std::int64_t alphaSamples = display.hasAlpha != 0 ? display.colorChannels + 1 : 0;
    const std::int64_t pixelSpan = std::max(displayPlanes(mode), alphaSamples) * previewSampleBytes;
    const bool inPlace = display.inPlace != 0;
    // Rows in place are padded to four bytes and hold three samples a pixel.
    const std::int64_t inPlaceRowBytes = (width * display.resultBytesPerPixel + 3) / 4 * 4;

    bool usable = gFilterRecord != nullptr && gFilterRecord->displayPixels != nullptr &&
                  !rect.isEmpty() && height <= std::numeric_limits<std::int32_t>::max() &&
                  display.bytesPerSample == previewSampleBytes && display.colBytes > 0 &&
                  display.rowBytes >= width * display.colBytes &&
                  proxy::openRequestBuffer(displaySourceBuffer, msg::fieldText(display.sourceName),
                                           display.reopenSource != 0);
    if (usable) {
        const std::uint64_t sourceExtent =
            static_cast<std::uint64_t>(height - 1) * static_cast<std::uint64_t>(display.rowBytes) +
            static_cast<std::uint64_t>(width - 1) * static_cast<std::uint64_t>(display.colBytes) +
            static_cast<std::uint64_t>(pixelSpan);
        usable = sourceExtent <= displaySourceBuffer.capacity();
    }
    if (usable && inPlace) {
        usable = display.resultBytesPerPixel >= displayedBytesPerPixel &&
                 proxy::imageExtent(rect, inPlaceRowBytes, displayedBytesPerPixel) <=
                     displaySourceBuffer.capacity();
    } else if (usable) {
        usable =
            proxy::openRequestBuffer(displayResultBuffer,
                                     proxy::nameToCellEnd(request, msg::displayResultNameOffset),
                                     display.reopenResult != 0) &&
            static_cast<std::uint64_t>(width * height * 4) <= displayResultBuffer.capacity();
    }
    platform::DisplaySurface& surface = displaySurface();
    if (!usable || !surface.resize(static_cast<int>(width), static_cast<int>(height))) {
        sendResponse(reply);
        return;
    }

    unsigned char* source = displaySourceBuffer.data();
    hostapi::PSPixelMap map{};
    map.version = 0;
    map.bounds = hostapi::VRect{rect.top, rect.left, rect.bottom, rect.right};
    map.imageMode = mode;
    map.rowBytes = display.rowBytes;
    map.colBytes = display.colBytes;
    map.planeBytes = 1;
    map.baseAddr = source;
    gFilterRecord->displayPixels(&map, &map.bounds, 0, 0, surface.context());

    const std::uint8_t* drawn = surface.pixels();
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* bgr = drawn + y * surface.rowBytes();
        if (inPlace) {
            unsigned char* rgb = source + y * inPlaceRowBytes;
            for (std::int64_t x = 0; x < width; ++x, bgr += 3, rgb += 3) {
                rgb[0] = bgr[2];
                rgb[1] = bgr[1];
                rgb[2] = bgr[0];
            }
            continue;
        }
        unsigned char* bgra = displayResultBuffer.data() + y * width * 4;
        const unsigned char* sourceRow = source + y * display.rowBytes;
        for (std::int64_t x = 0; x < width; ++x, bgr += 3, bgra += 4) {
            bgra[0] = bgr[0];
            bgra[1] = bgr[1];
            bgra[2] = bgr[2];
            bgra[3] = display.hasAlpha != 0
                          ? sourceRow[x * display.colBytes + display.colorChannels]
                          : opaque;
        }
    }
    reply.result = 0;
    sendResponse(reply);
}
