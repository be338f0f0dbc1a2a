// The colour space suite: colour objects, conversion of 8- and 16-bit
// colours between spaces, and the picker through the colour services.

#include "host/ActiveHost.h"
#include "host/ColorConversion.h"
#include "host/HostCallbacks.h"
#include "image/Convert16To8Span.h"
#include "image/DepthConversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {

using namespace hostapi;

namespace {

ColorObject* cfind(ColorID id, const char* use) {
    HostObjects<ColorObject>* colors = activeColors();
    return colors != nullptr ? colors->find(id, use) : nullptr;
}

SPErr csMake(ColorID* id) {
    HostObjects<ColorObject>* colors = activeColors();
    if (colors == nullptr || id == nullptr) {
        return spBadParameterError;
    }
    *id = static_cast<ColorID>(colors->add(ColorObject{}));
    return spNoError;
}

SPErr csDelete(ColorID* id) {
    HostObjects<ColorObject>* colors = activeColors();
    if (colors == nullptr || id == nullptr || !colors->erase(*id, "Delete")) {
        return spBadParameterError;
    }
    *id = nullptr;
    return spNoError;
}

SPErr csStuffComponents(ColorID id, int16 space, uint8 c0, uint8 c1, uint8 c2, uint8 c3) {
    ColorObject* c = cfind(id, "StuffComponents");
    if (c == nullptr || space < 0 || space > 6) {
        return spBadParameterError;
    }
    *c = ColorObject{space, {c0, c1, c2, c3}};
    return spNoError;
}

SPErr csExtractComponents(ColorID id, int16 space, uint8* c0, uint8* c1, uint8* c2, uint8* c3,
                          Boolean* inGamut) {
    const ColorObject* c = cfind(id, "ExtractComponents");
    if (c == nullptr || c0 == nullptr || c1 == nullptr || c2 == nullptr || c3 == nullptr) {
        return spBadParameterError;
    }
    const ColorConversionResult converted = convertColor(
        c->space, space, {c->components[0], c->components[1], c->components[2], c->components[3]});
    if (!converted.ok) {
        return spBadParameterError;
    }
    uint8* out[] = {c0, c1, c2, c3};
    for (std::size_t k = 0; k < 4; ++k) {
        *out[k] = static_cast<uint8>(converted.components[k]);
    }
    if (inGamut != nullptr) {
        *inGamut = converted.inGamut ? 1 : 0;
    }
    return spNoError;
}

SPErr csStuffXYZ(ColorID id, CS_XYZColor xyz) {
    ColorObject* c = cfind(id, "StuffXYZ");
    if (c == nullptr) {
        return spBadParameterError;
    }
    const auto clamped = [](uint16 v) { return static_cast<uint8>(std::min<int>(v, 255)); };
    *c = ColorObject{colorSpaceXYZ, {clamped(xyz.x), clamped(xyz.y), clamped(xyz.z), 0}};
    return spNoError;
}

SPErr csExtractXYZ(ColorID id, CS_XYZColor* xyz) {
    uint8 x = 0;
    uint8 y = 0;
    uint8 z = 0;
    uint8 unused = 0;
    if (xyz == nullptr ||
        csExtractComponents(id, colorSpaceXYZ, &x, &y, &z, &unused, nullptr) != spNoError) {
        return spBadParameterError;
    }
    *xyz = CS_XYZColor{x, y, z};
    return spNoError;
}

SPErr csConvert8(int16 inputSpace, int16 outputSpace, Color8* colours, int16 count) {
    HostRecords* records = activeRecords();
    if (records == nullptr) {
        return spBadParameterError;
    }
    Convert8Call call{inputSpace, outputSpace, count, spNoError};
    if (colours == nullptr || count < 0) {
        call.result = spBadParameterError;
    }
    for (int16 i = 0; i < count && call.result == spNoError; ++i) {
        if (!convertColor8(inputSpace, outputSpace, colours[i])) {
            call.result = spBadParameterError;
        }
    }
    records->convert8.push_back(call);
    return call.result;
}

// Through 8 bits, by the plug-in's sample rules.
SPErr csConvert16(int16 inputSpace, int16 outputSpace, Color16* colours, int16 count) {
    if (colours == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        std::uint8_t c[4];
        for (std::size_t k = 0; k < 4; ++k) {
            c[k] = image::convert16To8Sample(colours[i][k]);
        }
        if (!convertColor8(inputSpace, outputSpace, c)) {
            return spBadParameterError;
        }
        for (std::size_t k = 0; k < 4; ++k) {
            colours[i][k] = image::convert8To16Sample(c[k]);
        }
    }
    return spNoError;
}

SPErr csGetNativeSpace(ColorID id, int16* space) {
    const ColorObject* c = cfind(id, "GetNativeSpace");
    if (c == nullptr || space == nullptr) {
        return spBadParameterError;
    }
    *space = c->space;
    return spNoError;
}

SPErr csIsBookColor(ColorID id, Boolean* isBook) {
    if (cfind(id, "IsBookColor") == nullptr || isBook == nullptr) {
        return spBadParameterError;
    }
    *isBook = 0;
    return spNoError;
}

SPErr csExtractColorName(ColorID id, ASZString* name) {
    if (cfind(id, "ExtractColorName") == nullptr || name == nullptr) {
        return spBadParameterError;
    }
    *name = activeZStrings()->make(std::u16string());
    return spNoError;
}

// The picker through the colour services, so that a test scripts both alike.
SPErr csPickColor(ColorID* id, ASZString /*prompt*/) {
    const FilterRecordSet* application = activeApplication();
    if (application == nullptr || id == nullptr || (*id == nullptr && csMake(id) != spNoError)) {
        return spBadParameterError;
    }
    ColorObject* c = cfind(*id, "PickColor");
    if (c == nullptr) {
        return spBadParameterError;
    }
    ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = colorServicesChooseColor;
    info.sourceSpace = c->space;
    info.resultSpace = colorSpaceChosen;
    std::copy(std::begin(c->components), std::end(c->components), std::begin(info.colorComponents));
    const OSErr result = application->record.colorServices != nullptr
                             ? application->record.colorServices(&info)
                             : errPlugInHostInsufficient;
    if (result != noErr) {
        return result;
    }
    c->space = info.resultSpace;
    for (std::size_t k = 0; k < 4; ++k) {
        c->components[k] = static_cast<uint8>(std::clamp<int>(info.colorComponents[k], 0, 255));
    }
    return spNoError;
}

SPErr csConvert8to16(uint8* in, uint16* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    std::transform(in, in + count, out, image::convert8To16Sample);
    return spNoError;
}

SPErr csConvert16to8(uint16* in, uint8* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    std::transform(in, in + count, out, image::convert16To8Sample);
    return spNoError;
}

SPErr csConvertToMonitorRGB(int16 inputSpace, Color8* in, Color8* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    for (int16 i = 0; i < count; ++i) {
        std::memcpy(out[i], in[i], sizeof(Color8));
        if (!convertColor8(inputSpace, colorSpaceRGB, out[i])) {
            return spBadParameterError;
        }
    }
    return spNoError;
}

SPErr csConvert32to8(float* in, uint8* out, int16 count) {
    if (in == nullptr || out == nullptr || count < 0) {
        return spBadParameterError;
    }
    std::transform(in, in + count, out, [](float v) {
        return static_cast<uint8>(std::lround(std::clamp(v, 0.0F, 1.0F) * 255.0F));
    });
    return spNoError;
}

const ColorSpaceSuite kColorSpaceSuite = {csMake,
                                          csDelete,
                                          csStuffComponents,
                                          csExtractComponents,
                                          csStuffXYZ,
                                          csExtractXYZ,
                                          csConvert8,
                                          csConvert16,
                                          csGetNativeSpace,
                                          csIsBookColor,
                                          csExtractColorName,
                                          csPickColor,
                                          csConvert8to16,
                                          csConvert16to8,
                                          csConvertToMonitorRGB,
                                          csConvert32to8};

} // namespace

const ColorSpaceSuite& colorSpaceSuite() {
    return kColorSpaceSuite;
}

} // namespace host
