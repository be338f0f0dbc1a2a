#include "host/FilterRecordSet.h"

#include "host/ColorConversion.h"
#include "host/HostCallbacks.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace host {

using namespace hostapi;

namespace {

std::int16_t clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, SHRT_MIN, SHRT_MAX));
}

Rect shortRect(const VRect& r) {
    return Rect{clamp16(r.top), clamp16(r.left), clamp16(r.bottom), clamp16(r.right)};
}

Point shortPoint(const VPoint& p) {
    return Point{clamp16(p.v), clamp16(p.h)};
}

Fixed fixedOf(double v) {
    return static_cast<Fixed>(std::lround(v * 65536.0));
}

RGBColor wideColor(const RGB8& colour) {
    return RGBColor{static_cast<uint16>(colour.red * 257), static_cast<uint16>(colour.green * 257),
                    static_cast<uint16>(colour.blue * 257)};
}

// The colour in the document's own space, for foreColor and backColor.
void documentColor(const Document& document, const RGB8& colour, std::uint8_t* out) {
    std::int16_t space = colorSpaceRGB;
    switch (document.mode()) {
    case ColorMode::Gray:
    case ColorMode::Duotone:
        space = colorSpaceGray;
        break;
    case ColorMode::CMYK:
        space = colorSpaceCMYK;
        break;
    case ColorMode::Lab:
        space = colorSpaceLab;
        break;
    default:
        break;
    }
    const ColorConversionResult converted =
        convertColor(colorSpaceRGB, space, {colour.red, colour.green, colour.blue, 0});
    for (std::size_t i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(converted.components[i]);
    }
}

// Sizes, mode, colours, resolution, planes and selection case, in the
// 16-bit fields (clamped) of the record.
void describeDocument(FilterRecord& record, const Document& document) {
    record.imageSize = shortPoint(VPoint{document.height(), document.width()});
    record.filterRect = shortRect(document.filterRect());
    record.wholeSize = shortPoint(document.wholeSize());
    record.planes = static_cast<std::int16_t>(document.planes());
    record.depth = document.depth();
    record.imageMode = document.imageMode();
    record.imageHRes = fixedOf(document.resolution);
    record.imageVRes = fixedOf(document.resolution);
    record.background = wideColor(document.background);
    record.foreground = wideColor(document.foreground);
    documentColor(document, document.background, record.backColor);
    documentColor(document, document.foreground, record.foreColor);
    record.haveMask = document.hasSelection() ? 1 : 0;
    record.filterCase = document.filterCase();
    const PlaneLayout layout = document.planeLayout();
    record.inLayerPlanes = layout.inLayerPlanes;
    record.inTransparencyMask = layout.inTransparencyMask;
    record.inNonLayerPlanes = layout.inNonLayerPlanes;
    record.outLayerPlanes = layout.outLayerPlanes;
    record.outTransparencyMask = layout.outTransparencyMask;
    record.outNonLayerPlanes = layout.outNonLayerPlanes;
    record.absLayerPlanes = layout.inLayerPlanes;
    record.absTransparencyMask = layout.inTransparencyMask;
    record.absNonLayerPlanes = layout.inNonLayerPlanes;
}

void describeBigDocument(BigDocumentStruct& big, const Document& document) {
    big.imageSize32 = VPoint{document.height(), document.width()};
    big.filterRect32 = document.filterRect();
    big.wholeSize32 = document.wholeSize();
}

// What a plug-in may ask for: padding, sampling, automatic masking, tiles.
void setRequestDefaults(FilterRecord& record) {
    record.autoMask = 1;
    record.dummyPlaneValue = -1;
    record.supportsPadding = 1;
    // -3: a request reaching outside the image is refused.
    record.inputPadding = -3;
    record.outputPadding = -3;
    record.maskPadding = -3;
    record.samplingSupport = 1;
    record.inputRate = 0x10000;
    record.maskRate = 0x10000;
    for (int16* tile : {&record.inTileHeight, &record.inTileWidth, &record.absTileHeight,
                        &record.absTileWidth, &record.outTileHeight, &record.outTileWidth,
                        &record.maskTileHeight, &record.maskTileWidth}) {
        *tile = 256;
    }
}

void offerMemory(FilterRecord& record, std::int64_t maxSpace) {
    const auto maxSpace32 = static_cast<int32>(std::min<std::int64_t>(maxSpace, INT32_MAX));
    record.maxSpace = maxSpace32;
    record.bufferSpace = maxSpace32;
    record.maxSpace64 = maxSpace;
    record.bufferSpace64 = maxSpace;
}

} // namespace

void FilterRecordSet::reset(const Document& document, const HostOptions& options, void* window) {
    record = FilterRecord{};
    bigDocument = BigDocumentStruct{};
    descriptorParameters = PIDescriptorParameters{};
    std::memset(errorString, 0, sizeof errorString);
    platformData.hwnd = reinterpret_cast<std::intptr_t>(window);
    installCallbacks();
    offerServices(options);
    describeDocument(record, document);
    setRequestDefaults(record);
    offerMemory(record, options.maxSpace);
    if (options.bigDocument) {
        describeBigDocument(bigDocument, document);
    }
    if (options.descriptorParameters) {
        descriptorParameters.descriptorParametersVersion = PIDescriptorParameters::currentVersion;
        descriptorParameters.playInfo = options.playInfo;
        descriptorParameters.recordInfo = plugInDialogOptional;
    }
    record.hostSig = photoshopSignature;
    // An sRGB monitor.
    record.monitor =
        PlugInMonitor{fixedOf(2.2),  fixedOf(0.64), fixedOf(0.33),   fixedOf(0.30),   fixedOf(0.60),
                      fixedOf(0.15), fixedOf(0.06), fixedOf(0.3127), fixedOf(0.3290), fixedOf(0.0)};
    record.canUseICCProfiles = 1;
    record.errorString = &errorString;
}

AboutRecord& FilterRecordSet::resetAbout(const HostOptions& options) {
    aboutRecord = AboutRecord{};
    aboutRecord.platformData = options.platformData ? &platformData : nullptr;
    aboutRecord.sSPBasic = options.basicSuite ? &basicSuite : nullptr;
    return aboutRecord;
}

void FilterRecordSet::installCallbacks() {
    installRecordCallbacks(record);
    handleProcs = hostHandleProcs();
    propertyProcs = hostPropertyProcs();
    bufferProcs = hostBufferProcs();
    basicSuite = hostBasicSuite();
}

// Every service is offered unless the options withdraw it; a withdrawn one
// is null in the record.
void FilterRecordSet::offerServices(const HostOptions& options) {
    const auto offer = [](bool offered, auto* service) { return offered ? service : nullptr; };
    record.abortProc = offer(options.abortProc, record.abortProc);
    record.progressProc = offer(options.progressProc, record.progressProc);
    record.displayPixels = offer(options.displayPixels, record.displayPixels);
    record.colorServices = offer(options.colorServices, record.colorServices);
    record.advanceState = offer(options.advanceState, record.advanceState);
    record.handleProcs = offer(options.handleProcs, &handleProcs);
    record.propertyProcs = offer(options.propertyProcs, &propertyProcs);
    record.getPropertyObsolete = offer(options.propertyProcs, record.getPropertyObsolete);
    record.bufferProcs = offer(options.bufferProcs, &bufferProcs);
    record.descriptorParameters = offer(options.descriptorParameters, &descriptorParameters);
    record.bigDocumentData = offer(options.bigDocument, &bigDocument);
    record.sSPBasic = offer(options.basicSuite, &basicSuite);
    record.platformData = offer(options.platformData, &platformData);
}

} // namespace host
