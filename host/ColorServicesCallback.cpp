// The colour services callback: the picker, conversion between spaces, the
// sample point and the special colours, each call recorded.

#include "host/ActiveHost.h"
#include "host/ColorConversion.h"
#include "host/HostCallbacks.h"

#include <algorithm>

namespace host {

using namespace hostapi;

namespace {

ColorComponents componentsOf(const ColorServicesInfo& info) {
    return ColorComponents{info.colorComponents[0], info.colorComponents[1],
                           info.colorComponents[2], info.colorComponents[3]};
}

// The size must be this record's and the reserved fields null.
bool wellFormed(const ColorServicesInfo& info) {
    return info.infoSize == static_cast<int32>(sizeof(ColorServicesInfo)) &&
           info.reservedSourceSpaceInfo == nullptr && info.reservedResultSpaceInfo == nullptr &&
           info.reserved == nullptr;
}

// Hands a colour over in the wanted space, or in its own for "chosen".
OSErr deliver(ColorServicesInfo& info, std::int16_t space, const ColorComponents& colour) {
    ColorComponents result = colour;
    if (info.resultSpace == colorSpaceChosen) {
        info.resultSpace = space;
    } else {
        const ColorConversionResult converted = convertColor(space, info.resultSpace, colour);
        if (!converted.ok) {
            return paramErr;
        }
        result = converted.components;
        info.resultGamutInfoValid = 1;
        info.resultInGamut = converted.inGamut ? 1 : 0;
    }
    std::copy(result.begin(), result.end(), std::begin(info.colorComponents));
    return noErr;
}

// A scripted answer, or the colour the picker was given.
OSErr chooseColor(ColorServicesAnswers& answers, ColorServicesInfo& info) {
    const std::optional<PickerAnswer> answer = answers.nextPickerAnswer();
    if (!answer) {
        return deliver(info, info.sourceSpace, componentsOf(info));
    }
    if (answer->result != noErr) {
        return answer->result;
    }
    return deliver(info, answer->space,
                   ColorComponents{answer->components[0], answer->components[1],
                                   answer->components[2], answer->components[3]});
}

OSErr convert(const ColorServicesAnswers& answers, ColorServicesInfo& info) {
    if (!answers.supports(info.sourceSpace, info.resultSpace)) {
        return paramErr;
    }
    return deliver(info, info.sourceSpace, componentsOf(info));
}

// The pixel under the point, as 8-bit components; RGB and Gray documents only.
OSErr samplePoint(const Document& document, ColorServicesInfo& info) {
    const Point* point = info.selectorParameter.globalSamplePoint;
    const bool gray = document.mode() == ColorMode::Gray;
    if (point == nullptr || point->h < 0 || point->v < 0 || point->h >= document.width() ||
        point->v >= document.height() || (document.mode() != ColorMode::RGB && !gray)) {
        return errInvalidSamplePoint;
    }
    ColorComponents colour{0, 0, 0, 0};
    for (int i = 0; i < document.colorChannels(); ++i) {
        colour[static_cast<std::size_t>(i)] =
            document.eightBitSample(document.sample(point->h, point->v, i));
    }
    return deliver(info, gray ? colorSpaceGray : colorSpaceRGB, colour);
}

OSErr specialColor(const Document& document, ColorServicesInfo& info) {
    const RGB8 colour = info.selectorParameter.specialColorID == specialColorBackground
                            ? document.background
                            : document.foreground;
    return deliver(info, colorSpaceRGB, ColorComponents{colour.red, colour.green, colour.blue, 0});
}

OSErr answer(ColorServicesInfo& info) {
    switch (info.selector) {
    case colorServicesChooseColor:
        return chooseColor(*activeColorAnswers(), info);
    case colorServicesConvertColor:
        return convert(*activeColorAnswers(), info);
    case colorServicesSamplePoint:
        return samplePoint(*activeSource(), info);
    case colorServicesGetSpecialColor:
        return specialColor(*activeDocument(), info);
    default:
        return paramErr;
    }
}

} // namespace

OSErr hostColorServices(ColorServicesInfo* info) {
    HostRecords* records = activeRecords();
    if (records == nullptr || info == nullptr) {
        return paramErr;
    }
    ColorServicesCall call;
    call.selector = info->selector;
    call.sourceSpace = info->sourceSpace;
    call.resultSpace = info->resultSpace;
    std::copy(std::begin(info->colorComponents), std::end(info->colorComponents),
              std::begin(call.componentsIn));
    call.result = wellFormed(*info) ? answer(*info) : paramErr;
    std::copy(std::begin(info->colorComponents), std::end(info->colorComponents),
              std::begin(call.componentsOut));
    records->colorServices.push_back(call);
    return call.result;
}

} // namespace host
