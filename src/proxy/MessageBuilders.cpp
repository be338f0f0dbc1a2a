#include "proxy/MessageBuilders.h"

#include "image/HostImageBuffer.h"
#include "image/PixelFormat.h"
#include "image/VTImageBuffer.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Process.h"
#include "proxy/FilterGlobals.h"
#include "proxy/HostProbes.h"
#include "proxy/NamedBuffers.h"
#include "proxy/ProcessGlobals.h"

#include <boost/any.hpp>

#include <cstring>
#include <stdexcept>
#include <string>

namespace proxy {

namespace {

constexpr std::uint16_t opaqueAlpha = 255;

// The high byte of each of the host's 16-bit components, then an opaque
// alpha.
void copyColor(const hostapi::RGBColor& color, std::uint16_t (&wire)[4]) {
    wire[0] = static_cast<std::uint16_t>(color.red >> 8U);
    wire[1] = static_cast<std::uint16_t>(color.green >> 8U);
    wire[2] = static_cast<std::uint16_t>(color.blue >> 8U);
    wire[3] = opaqueAlpha;
}

void releaseHostHandle(const hostapi::FilterRecord& record, hostapi::Handle handle) {
    if (gHandleSuite != nullptr && gHandleSuite->Dispose != nullptr) {
        gHandleSuite->Dispose(handle);
    } else if (record.handleProcs != nullptr && record.handleProcs->disposeProc != nullptr) {
        // Without the suite the record's own handle services release it.
        record.handleProcs->disposeProc(handle);
    }
}

// The document's name as the host's 'unnm' property hands it over: UTF-16
// code units, copied byte for byte when the field holds them all, else left
// zero.
void copyDocumentName(const hostapi::FilterRecord& record,
                      std::uint8_t (&field)[sizeof msgDocumentInfo::documentName]) {
    const hostapi::PropertyProcs* properties = record.propertyProcs;
    if (properties == nullptr || properties->getPropertyProc == nullptr) {
        return;
    }
    std::intptr_t simple = 0;
    hostapi::Handle name = nullptr;
    if (properties->getPropertyProc(hostapi::photoshopSignature, hostapi::propUnicodeDocumentName,
                                    0, &simple, &name) != 0 ||
        name == nullptr) {
        return;
    }
    const hostapi::HandleProcs* procs = record.handleProcs;
    if (procs != nullptr && procs->getSizeProc != nullptr && procs->lockProc != nullptr) {
        const hostapi::int32 size = procs->getSizeProc(name);
        if (size > 0 && static_cast<std::size_t>(size) < sizeof field) {
            const hostapi::Ptr bytes = procs->lockProc(name, 0);
            if (bytes != nullptr) {
                std::memcpy(field, bytes, static_cast<std::size_t>(size));
            }
            if (procs->unlockProc != nullptr) {
                procs->unlockProc(name);
            }
        }
    }
    // The property's handle is ours to release.
    releaseHostHandle(record, name);
}

// The profile in a new shared buffer kept by `globals`; its name goes into
// the record.
void shareIccProfile(FilterGlobals& globals, const std::vector<unsigned char>& profile,
                     char (&nameField)[sizeof msgDocumentInfo::iccProfileName]) {
    // The name ends in the same digit every time: an earlier buffer is let go
    // first, so that nothing of ours keeps its region alive.
    globals.iccProfileBuffer.reset();
    auto buffer = std::make_unique<ipc::IPCMemoryBuffer>(
        ipc::create, "", std::to_string(platform::currentProcessId()),
        static_cast<int>(profile.size()), ipc::UniqueSuffix::counter);
    requireMapped(*buffer, profile.size());
    std::memcpy(buffer->data(), profile.data(), profile.size());
    copyBufferName(nameField, buffer->name());
    globals.iccProfileBuffer = std::move(buffer);
}

const int* integerAt(const ParameterMap& map, std::int32_t key) {
    const auto found = map.find(key);
    return found == map.end() ? nullptr : boost::any_cast<int>(&found->second);
}

} // namespace

WireRect wireRectOf(const image::PixelRect& rect) {
    return WireRect{rect.left, rect.right, rect.top, rect.bottom};
}

msgHostSettings buildHostSettings(const FilterGlobals& globals) {
    msgHostSettings settings{};
    settings.selector = msg::hostSettings;
    // Constant fields: the server gives them their meaning.
    settings.constant4 = 0;
    settings.constant5 = 1;
    settings.constant6 = 1;
    settings.constant7 = 0;
    settings.newLayerCapable = NewLayerCapable() ? 1 : 0;
    settings.constant9 = 0;
    settings.constant10 = 0;
    settings.constant11 = 1;
    settings.maskFromTransparency = globals.maskFromTransparency ? 1 : 0;
    settings.maskFullySelected = globals.maskFullySelected ? 1 : 0;
    settings.descriptorHadKeys = gDescriptorHadKeys ? 1 : 0;
    settings.lissSet = HostPropertySet(hostapi::propLayerIsSmartObject) ? 1 : 0;
    settings.plipSetWithoutAutolayer =
        HostPropertySet(hostapi::propPlayInProgress) && !gAutolayerRegistered ? 1 : 0;
    settings.constant17 = 1;
    if (gFilterRecord != nullptr) {
        copyColor(gFilterRecord->background, settings.background);
        copyColor(gFilterRecord->foreground, settings.foreground);
    } else {
        settings.background[3] = opaqueAlpha;
        settings.foreground[3] = opaqueAlpha;
    }
    return settings;
}

DocumentRects documentRects(const ParameterMap& runMap, const image::HostImageBuffer& host) {
    const int* width = integerAt(runMap, parameterKeys::outputWidth);
    const int* height = integerAt(runMap, parameterKeys::outputHeight);
    if (width != nullptr && height != nullptr) {
        const image::PixelRect output(0, 0, *width, *height);
        return {output, output};
    }
    return {host.imageBounds(), host.wholeBounds()};
}

msgDocumentInfo buildDocumentInfo(FilterGlobals& globals, const image::PixelRect& firstRect,
                                  const image::PixelRect& secondRect, std::int32_t selector) {
    if (selector != msg::documentInfoLaunched && selector != msg::documentInfoAttached) {
        throw std::logic_error("a document description carries selector 3 or 4");
    }
    if (gFilterRecord == nullptr) {
        throw std::logic_error("a document description needs the host's filter record");
    }
    hostapi::FilterRecord& record = *gFilterRecord;
    const image::HostImageBuffer host(record);

    msgDocumentInfo info{};
    info.selector = selector;
    info.version = 1;
    info.bytesPerChannel = static_cast<std::uint8_t>(host.bytesPerChannel());
    info.hasSelectionMask = globals.selectionMask ? 1 : 0;
    info.hasSelection = host.hasSelection() ? 1 : 0;
    copyDocumentName(record, info.documentName);
    info.imageRect = wireRectOf(firstRect);
    info.wholeRect = wireRectOf(secondRect);
    info.effectiveRect = wireRectOf(host.effectiveBounds(globals.selectionMask.get()));

    const image::PixelFormat format = host.hostPixelFormat();
    // Only the low byte travels: duotone (500) arrives as 244.
    info.colorModel = static_cast<std::uint8_t>(format.colorModel & 0xFFU);
    info.colorChannels = static_cast<std::uint8_t>(format.colorChannels);
    info.hasAlpha = format.hasAlpha ? 1 : 0;
    if (format.iccProfile && !format.iccProfile->empty()) {
        shareIccProfile(globals, *format.iccProfile, info.iccProfileName);
    }
    return info;
}

} // namespace proxy
