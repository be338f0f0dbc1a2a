// The server's colour requests: the host's colour picker (30), one colour
// converted between spaces (31) and an image's colours converted between
// models (32).

#include "hostapi/FilterInterface.h"
#include "image/Image.h"
#include "image/VTImageBuffer.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Foreground.h"
#include "proxy/FilterGlobals.h"
#include "proxy/HostProbes.h"
#include "proxy/ProcessGlobals.h"
#include "proxy/RequestDoor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using image::PixelFormat;
using image::PixelRect;
using image::VTImageBuffer;

constexpr hostapi::int32 colorServicesInfoSize = 56;
// The reply's space byte for a chosen space outside the five it names.
constexpr std::uint8_t unnamedSpace = 154;
// Convert8 takes a 16-bit count.
constexpr std::size_t convert8Batch = 32767;

// Spaces arrive as signed bytes; only RGB, HSB, CMYK, Lab and Gray are
// taken, anything else means RGB.
hostapi::int16 requestedSpace(std::int8_t space) {
    return space >= hostapi::colorSpaceRGB && space <= hostapi::colorSpaceGray
               ? static_cast<hostapi::int16>(space)
               : hostapi::colorSpaceRGB;
}

struct Components {
    std::int16_t c[4];
};

Components componentsOf(const std::uint16_t (&wire)[4]) {
    Components out{};
    for (int i = 0; i < 4; ++i) {
        out.c[i] = static_cast<std::int16_t>(wire[i]);
    }
    return out;
}

void copyTo(const Components& components, std::uint16_t (&wire)[4]) {
    for (int i = 0; i < 4; ++i) {
        wire[i] = static_cast<std::uint16_t>(components.c[i]);
    }
}

hostapi::OSErr callColorServices(hostapi::int16 selector, hostapi::int16 source,
                                 hostapi::int16 result, Components& components) {
    if (gFilterRecord == nullptr || gFilterRecord->colorServices == nullptr) {
        return hostapi::errPlugInHostInsufficient;
    }
    auto info = hostapi::ColorServicesInfo();
    info.infoSize = colorServicesInfoSize;
    info.selector = selector;
    info.sourceSpace = source;
    info.resultSpace = result;
    std::copy(std::begin(components.c), std::end(components.c), std::begin(info.colorComponents));
    const hostapi::OSErr error = gFilterRecord->colorServices(&info);
    if (error == 0) {
        std::copy(std::begin(info.colorComponents), std::end(info.colorComponents),
                  std::begin(components.c));
    }
    return error;
}

// The conversions the plug-in makes itself when the host's colour services
// do not take the pair. Unnamed components keep their values.
Components convertBuiltIn(hostapi::int16 source, hostapi::int16 target, Components in) {
    Components out = in;
    const int c0 = in.c[0];
    const int c1 = in.c[1];
    const int c2 = in.c[2];
    const int c3 = in.c[3];
    const auto component = [](int value) { return static_cast<std::int16_t>(value); };
    if (source == hostapi::colorSpaceRGB && target == hostapi::colorSpaceGray) {
        out.c[0] = component((c0 + c1 + c2 + 1) / 3);
    } else if (source == hostapi::colorSpaceCMYK && target == hostapi::colorSpaceGray) {
        out.c[0] = component(c3);
    } else if (source == hostapi::colorSpaceRGB && target == hostapi::colorSpaceCMYK) {
        const int m = std::max({c0, c1, c2});
        out = {{component(c0 - m + 255), component(c1 - m + 255), component(c2 - m + 255),
                component(m)}};
    } else if (source == hostapi::colorSpaceGray && target == hostapi::colorSpaceCMYK) {
        out = {{0, 0, 0, component(c0)}};
    } else if (source == hostapi::colorSpaceCMYK && target == hostapi::colorSpaceRGB) {
        const double k = c3 / 255.0;
        for (int i = 0; i < 3; ++i) {
            out.c[i] = component(static_cast<int>(std::floor(in.c[i] * k + 0.5)));
        }
    } else if (source == hostapi::colorSpaceGray && target == hostapi::colorSpaceRGB) {
        out.c[1] = in.c[0];
        out.c[2] = in.c[0];
    }
    return out;
}

// A pixel's colour as the host's 4-byte colour: RGB 0,R,G,B, Gray 0,0,0,g,
// CMYK C,M,Y,K. Other models are not packed.
void pack(std::uint32_t model, const unsigned char* pixel, hostapi::Color8& colour) {
    switch (model) {
    case image::colorModelRGB:
        colour[0] = 0;
        std::memcpy(&colour[1], pixel, 3);
        break;
    case image::colorModelGray:
        colour[0] = colour[1] = colour[2] = 0;
        colour[3] = pixel[0];
        break;
    case image::colorModelCMYK:
        std::memcpy(&colour[0], pixel, 4);
        break;
    default:
        break;
    }
}

void unpack(std::uint32_t model, const hostapi::Color8& colour, unsigned char* pixel) {
    switch (model) {
    case image::colorModelRGB:
        std::memcpy(pixel, &colour[1], 3);
        break;
    case image::colorModelGray:
        pixel[0] = colour[3];
        break;
    case image::colorModelCMYK:
        std::memcpy(pixel, &colour[0], 4);
        break;
    default:
        break;
    }
}

// Samples a model's colour takes in a pixel; the check at the door makes
// sure a pixel holds them.
std::uint32_t packedSamples(std::uint32_t model) {
    switch (model) {
    case image::colorModelRGB:
        return 3;
    case image::colorModelGray:
        return 1;
    case image::colorModelCMYK:
        return 4;
    default:
        return 0;
    }
}

// One row of the source through the host's Convert8 into the target row, in
// batches of what one call may take.
void convertRow(const VTImageBuffer& source, VTImageBuffer& target, std::int32_t y,
                std::vector<std::uint8_t>& bytes) {
    const auto width = static_cast<std::size_t>(source.bounds.width());
    const unsigned char* from = source.pixelAddress(source.bounds.left, y);
    unsigned char* to = target.pixelAddress(target.bounds.left, y);
    for (std::size_t done = 0; done < width; done += convert8Batch) {
        const std::size_t count = std::min(convert8Batch, width - done);
        bytes.assign(count * sizeof(hostapi::Color8), 0);
        auto* colours = reinterpret_cast<hostapi::Color8*>(bytes.data());
        for (std::size_t i = 0; i < count; ++i) {
            pack(source.format.colorModel, from + (done + i) * source.colBytes, colours[i]);
        }
        gColorSpaceSuite->Convert8(static_cast<hostapi::int16>(source.format.colorModel),
                                   static_cast<hostapi::int16>(target.format.colorModel), colours,
                                   static_cast<hostapi::int16>(count));
        for (std::size_t i = 0; i < count; ++i) {
            unpack(target.format.colorModel, colours[i], to + (done + i) * target.colBytes);
        }
    }
}

} // namespace

void FilterGlobals::handlePickColor(msgBase* request) {
    const auto pick = proxy::requestRecord<msgPickColorRequest>(request);
    auto reply = msg::emptyRecord<msgPickColorResponse>(msg::pickColor);
    Components colour = componentsOf(pick.components);

    auto info = hostapi::ColorServicesInfo();
    hostapi::OSErr error = hostapi::errPlugInHostInsufficient;
    if (gFilterRecord != nullptr && gFilterRecord->colorServices != nullptr) {
        info.infoSize = colorServicesInfoSize;
        info.selector = hostapi::colorServicesChooseColor;
        info.sourceSpace = requestedSpace(pick.space);
        info.resultSpace = hostapi::colorSpaceChosen;
        std::copy(std::begin(colour.c), std::end(colour.c), std::begin(info.colorComponents));
        error = gFilterRecord->colorServices(&info);
        // The picker had the foreground; the server may take it back.
        platform::allowSetForegroundWindow(remoteProcessId);
    }
    hostapi::int16 space = info.resultSpace;
    if (error == 0) {
        std::copy(std::begin(info.colorComponents), std::end(info.colorComponents),
                  std::begin(colour.c));
        // The server works in RGB, CMYK and Gray; a colour chosen in another
        // space comes back as RGB.
        if (space == hostapi::colorSpaceHSB || space == hostapi::colorSpaceLab ||
            space == hostapi::colorSpaceHSL || space == hostapi::colorSpaceXYZ) {
            error = callColorServices(hostapi::colorServicesConvertColor, space,
                                      hostapi::colorSpaceRGB, colour);
            space = hostapi::colorSpaceRGB;
        }
    }
    if (error != 0) {
        reply.failed = 1;
        sendResponse(reply);
        return;
    }
    reply.space = space >= hostapi::colorSpaceRGB && space <= hostapi::colorSpaceGray
                      ? static_cast<std::uint8_t>(space)
                      : unnamedSpace;
    copyTo(colour, reply.components);
    sendResponse(reply);
}

void FilterGlobals::handleConvertColor(msgBase* request) {
    const auto convert = proxy::requestRecord<msgConvertColorRequest>(request);
    auto reply = msg::emptyRecord<msgConvertColorResponse>(msg::convertColor);
    const hostapi::int16 source = requestedSpace(convert.space);
    const hostapi::int16 target = requestedSpace(convert.targetSpace);
    Components colour = componentsOf(convert.components);

    if (source != target) {
        // Probed once per process, normally long before a request arrives.
        proxy::probeColorServices(gFilterRecord);
        if (proxy::ColorConversionSupported(source, target)) {
            Components converted = colour;
            if (callColorServices(hostapi::colorServicesConvertColor, source, target, converted) ==
                0) {
                colour = converted;
            }
        } else {
            colour = convertBuiltIn(source, target, colour);
        }
    }
    copyTo(colour, reply.components);
    reply.targetSpace = static_cast<std::uint8_t>(target);
    sendResponse(reply);
}

void FilterGlobals::handleConvertImage(msgBase* request) {
    const auto convert = proxy::requestRecord<msgConvertImageRequest>(request);
    auto reply = msg::emptyRecord<msgConvertImageResponse>(msg::convertImageResponse);
    reply.result = proxy::requestRefused;

    const PixelRect rect = proxy::pixelRectOf(convert.rect);
    PixelFormat sourceFormat(convert.sourceModel, convert.sourceChannels,
                             convert.sourceHasAlpha != 0);
    PixelFormat targetFormat(convert.targetModel, convert.targetChannels,
                             convert.targetHasAlpha != 0);
    // A buffer of its own for this one request.
    ipc::IPCMemoryBuffer buffer;
    if (convert.bytesPerSample != 1 ||
        sourceFormat.colorChannels < packedSamples(sourceFormat.colorModel) ||
        targetFormat.colorChannels < packedSamples(targetFormat.colorModel) ||
        !proxy::openRequestBuffer(
            buffer, proxy::nameToCellEnd(request, msg::convertImageNameOffset), true) ||
        !proxy::sharedImageFits(buffer, rect, convert.minRowBytes, 1, sourceFormat)) {
        sendResponse(reply);
        return;
    }
    // A rectangle without columns or without rows holds no pixels, however
    // far apart its other edges lie: there is nothing to convert, and neither
    // its rows are walked nor an image of its width is built.
    if (rect.isEmpty()) {
        reply.result = 0;
        sendResponse(reply);
        return;
    }
    // The result goes back into the same buffer from its first byte, rows
    // padded to four bytes.
    const std::int64_t targetRowBytes =
        (rect.width() * std::int64_t{targetFormat.channelsWithAlpha()} + 3) / 4 * 4;
    if (static_cast<std::uint64_t>(rect.height() * targetRowBytes) > buffer.capacity()) {
        sendResponse(reply);
        return;
    }
    const VTImageBuffer source(buffer.data(), rect, convert.minRowBytes, 1, sourceFormat);
    image::Image<unsigned char> target(rect, targetFormat);
    target.maxValue = 255;
    if (gColorSpaceSuite != nullptr && gColorSpaceSuite->Convert8 != nullptr) {
        std::vector<std::uint8_t> colours;
        for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
            convertRow(source, target, y, colours);
        }
    }
    std::memcpy(buffer.data(), target.data,
                static_cast<std::size_t>(rect.height() * targetRowBytes));
    reply.result = 0;
    sendResponse(reply);
}
