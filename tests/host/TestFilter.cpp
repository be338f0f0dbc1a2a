// A tiny filter plug-in for the host stand-in's tests: inverts the colour
// planes of the filter rectangle tile by tile through advanceState, and
// exercises handles, properties, descriptors, ZStrings and the registry.

#include "TestFilterControls.h"
#include "hostapi/FilterInterface.h"
#include "platform/DisplaySurface.h"
#include "platform/MessageBox.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace hostapi;

namespace {

struct Suites {
    SPBasicSuite* basic = nullptr;
    const ActionDescriptorSuite* descriptors = nullptr;
    const DescriptorRegistrySuite* registry = nullptr;
    const ZStringSuite* zstrings = nullptr;
    const HandleSuite* handles = nullptr;

    template <typename Suite> void acquire(const Suite*& suite) {
        const void* table = nullptr;
        if (basic != nullptr &&
            basic->AcquireSuite(Suite::suiteName, Suite::suiteVersion, &table) == 0) {
            suite = static_cast<const Suite*>(table);
        }
    }
    template <typename Suite> void release(const Suite*& suite) {
        if (suite != nullptr) {
            basic->ReleaseSuite(Suite::suiteName, Suite::suiteVersion);
            suite = nullptr;
        }
    }
};

// What one application keeps between its calls.
struct Run {
    bool big = false;
    bool nested = false;
    bool ownMask = false;
    int tileSize = 16;
    VRect filter{};
    int tilesX = 0;
    int tilesY = 0;
    int tile = 0;
    int colourPlanes = 0;
    int bytesPerSample = 1;
    std::uint32_t maxValue = 255;
    PIActionDescriptor recorded = nullptr;
};

FilterRecord* gRecord = nullptr;
Suites gSuites;
Run gRun;

std::intptr_t property(uint32 key) {
    std::intptr_t value = 0;
    if (gRecord->propertyProcs != nullptr &&
        gRecord->propertyProcs->getPropertyProc(photoshopSignature, key, 0, &value, nullptr) == 0) {
        return value;
    }
    return 0;
}

std::vector<std::uint8_t> complexProperty(uint32 key) {
    std::vector<std::uint8_t> bytes;
    Handle handle = nullptr;
    if (gRecord->propertyProcs == nullptr ||
        gRecord->propertyProcs->getPropertyProc(photoshopSignature, key, 0, nullptr, &handle) !=
            0 ||
        handle == nullptr) {
        return bytes;
    }
    const int32 size = gRecord->handleProcs->getSizeProc(handle);
    bytes.assign(*handle, *handle + size);
    gRecord->handleProcs->disposeProc(handle);
    return bytes;
}

Rect narrow(const VRect& r) {
    return Rect{static_cast<int16>(r.top), static_cast<int16>(r.left), static_cast<int16>(r.bottom),
                static_cast<int16>(r.right)};
}

// With 32-bit coordinates the 16-bit fields say "nothing": a host that read
// them would deliver no pixels.
void request(const VRect& in, const VRect& out, const VRect& mask) {
    if (gRun.big) {
        gRecord->bigDocumentData->inRect32 = in;
        gRecord->bigDocumentData->outRect32 = out;
        gRecord->bigDocumentData->maskRect32 = mask;
        gRecord->inRect = gRecord->outRect = gRecord->maskRect = Rect{0, 0, 0, 0};
    } else {
        gRecord->inRect = narrow(in);
        gRecord->outRect = narrow(out);
        gRecord->maskRect = narrow(mask);
    }
    gRecord->inLoPlane = gRecord->outLoPlane = 0;
    gRecord->inHiPlane = gRecord->outHiPlane = static_cast<int16>(gRun.colourPlanes - 1);
}

VRect tileRect(int index) {
    const int tx = index % gRun.tilesX;
    const int ty = index / gRun.tilesX;
    VRect r{gRun.filter.top + ty * gRun.tileSize, gRun.filter.left + tx * gRun.tileSize, 0, 0};
    r.bottom = std::min(r.top + gRun.tileSize, gRun.filter.bottom);
    r.right = std::min(r.left + gRun.tileSize, gRun.filter.right);
    return r;
}

void requestTile(int index) {
    const VRect r = tileRect(index);
    request(r, r, gRun.ownMask && gRecord->haveMask != 0 ? r : VRect{0, 0, 0, 0});
}

std::uint32_t load(const std::uint8_t* p) {
    if (gRun.bytesPerSample == 1) {
        return *p;
    }
    std::uint16_t v = 0;
    std::memcpy(&v, p, 2);
    return v;
}

void store(std::uint8_t* p, std::uint32_t v) {
    if (gRun.bytesPerSample == 1) {
        *p = static_cast<std::uint8_t>(v);
    } else {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
}

void invertTile(const VRect& r) {
    const auto* in = static_cast<const std::uint8_t*>(gRecord->inData);
    auto* out = static_cast<std::uint8_t*>(gRecord->outData);
    const auto* mask = static_cast<const std::uint8_t*>(gRecord->maskData);
    const int pixel = gRun.colourPlanes * gRun.bytesPerSample;
    for (int y = 0; y < r.bottom - r.top; ++y) {
        for (int x = 0; x < r.right - r.left; ++x) {
            const std::uint8_t* from = in + y * gRecord->inRowBytes + x * pixel;
            std::uint8_t* to = out + y * gRecord->outRowBytes + x * pixel;
            const std::uint32_t m = mask != nullptr ? mask[y * gRecord->maskRowBytes + x] : 255;
            for (int p = 0; p < gRun.colourPlanes; ++p) {
                const std::uint32_t v = load(from + p * gRun.bytesPerSample);
                const std::uint32_t inverted = gRun.maxValue - v;
                store(to + p * gRun.bytesPerSample, (inverted * m + v * (255 - m) + 127) / 255);
            }
        }
    }
}

// True when the user asked to stop.
bool reportProgress(int done) {
    if (gRecord->progressProc != nullptr) {
        gRecord->progressProc(done, gRun.tilesX * gRun.tilesY);
    }
    return gRecord->abortProc != nullptr && gRecord->abortProc() != 0;
}

// Copies every key of `in` into `out` through the typed calls of the suite.
void echoDescriptor(PIActionDescriptor in, PIActionDescriptor out) {
    const ActionDescriptorSuite* ad = gSuites.descriptors;
    uint32 count = 0;
    ad->GetCount(in, &count);
    for (uint32 i = 0; i < count; ++i) {
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        if (ad->GetKey(in, i, &key) != 0 || ad->GetType(in, key, &type) != 0) {
            continue;
        }
        if (type == typeInteger) {
            int32 v = 0;
            ad->GetInteger(in, key, &v);
            ad->PutInteger(out, key, v);
        } else if (type == typeFloat) {
            double v = 0;
            ad->GetFloat(in, key, &v);
            ad->PutFloat(out, key, v);
        } else if (type == typeUnitFloat) {
            double v = 0;
            DescriptorUnitID unit = 0;
            ad->GetUnitFloat(in, key, &unit, &v);
            ad->PutUnitFloat(out, key, unit, v);
        } else if (type == typeBoolean) {
            Boolean v = 0;
            ad->GetBoolean(in, key, &v);
            ad->PutBoolean(out, key, v);
        } else if (type == typeText && gSuites.zstrings != nullptr) {
            // Out through UTF-16 and back into a fresh ZString.
            ASZString z = nullptr;
            ad->GetZString(in, key, &z);
            const uint32 units = gSuites.zstrings->LengthAsUnicodeCString(z);
            std::vector<ASUnicode> buffer(units + 1, 0);
            gSuites.zstrings->AsUnicodeCString(z, buffer.data(), units + 1, 0);
            std::size_t length = 0;
            while (length < units && buffer[length] != 0) {
                ++length;
            }
            ASZString copy = nullptr;
            gSuites.zstrings->MakeFromUnicode(buffer.data(), length, &copy);
            ad->PutZString(out, key, copy);
            gSuites.zstrings->Release(copy);
            gSuites.zstrings->Release(z);
        } else if (type == typeEnumerated) {
            DescriptorTypeID enumType = 0;
            DescriptorEnumID v = 0;
            ad->GetEnumerated(in, key, &enumType, &v);
            ad->PutEnumerated(out, key, enumType, v);
        } else if (type == typeClass) {
            DescriptorClassID v = 0;
            ad->GetClass(in, key, &v);
            ad->PutClass(out, key, v);
        } else if (type == typeGlobalClass) {
            DescriptorClassID v = 0;
            ad->GetGlobalClass(in, key, &v);
            ad->PutGlobalClass(out, key, v);
        } else if (type == typeObject || type == typeGlobalObject) {
            DescriptorClassID classId = 0;
            PIActionDescriptor object = nullptr;
            if (type == typeObject) {
                ad->GetObjectDescriptor(in, key, &classId, &object);
                ad->PutObject(out, key, classId, object);
            } else {
                ad->GetGlobalObject(in, key, &classId, &object);
                ad->PutGlobalObject(out, key, classId, object);
            }
            ad->Free(object);
        } else if (type == typeAlias) {
            Handle alias = nullptr;
            ad->GetAlias(in, key, &alias);
            ad->PutAlias(out, key, alias);
            gRecord->handleProcs->disposeProc(alias);
        } else if (type == typeRawData) {
            int32 length = 0;
            ad->GetDataLength(in, key, &length);
            std::vector<char> bytes(static_cast<std::size_t>(length) + 1);
            ad->GetData(in, key, bytes.data());
            ad->PutData(out, key, length, bytes.data());
        } else if (type == typeValueList) {
            // Only lists of integers can be read without the list suite.
            std::vector<int32> values(64);
            if (ad->GetIntegers(in, key, 2, values.data()) == 0) {
                ad->PutIntegers(out, key, 2, values.data());
            }
        }
    }
}

bool exerciseHandleSuite() {
    const HandleSuite* hs = gSuites.handles;
    if (hs == nullptr) {
        return false;
    }
    Handle h = hs->New(3);
    if (h == nullptr || hs->SetSize(h, 8) != 0 || hs->GetSize(h) != 8) {
        return false;
    }
    Ptr address = nullptr;
    Boolean wasLocked = 1;
    hs->SetLock(h, 1, &address, &wasLocked);
    std::memcpy(address, "handles!", 8);
    hs->SetLock(h, 0, &address, &wasLocked);
    const bool ok = wasLocked == 1 && std::memcmp(*h, "handles!", 8) == 0;
    hs->Dispose(h);
    return ok;
}

int32 countRun() {
    HandleProcs* hp = gRecord->handleProcs;
    if (gRecord->parameters == nullptr) {
        gRecord->parameters = hp->newProc(sizeof(int32));
        std::memset(*gRecord->parameters, 0, sizeof(int32));
    }
    Ptr p = hp->lockProc(gRecord->parameters, 0);
    int32 count = 0;
    std::memcpy(&count, p, sizeof count);
    ++count;
    std::memcpy(p, &count, sizeof count);
    hp->unlockProc(gRecord->parameters);
    return count;
}

void displayCheck() {
    const std::uint8_t pixels[] = {255, 0, 0, 0, 0, 255};
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, 1, 2};
    map.imageMode = modeRGBColor;
    map.rowBytes = 6;
    map.colBytes = 3;
    map.planeBytes = 1;
    map.baseAddr = const_cast<std::uint8_t*>(pixels);
    std::unique_ptr<platform::DisplaySurface> surface = platform::createDisplaySurface();
    if (!surface->resize(2, 1)) {
        return;
    }
    if (gRecord->displayPixels(&map, &map.bounds, 0, 0, surface->context()) != 0) {
        return;
    }
    const std::uint8_t* drawn = surface->pixels();
    Handle report = gRecord->handleProcs->newProc(6);
    std::memcpy(*report, drawn, 6);
    gRecord->propertyProcs->setPropertyProc(photoshopSignature, test_filter::displayedPixels, 0, 0,
                                            report);
    gRecord->handleProcs->disposeProc(report);
}

int16 start() {
    if (const auto result = static_cast<int16>(property(test_filter::startResult)); result != 0) {
        return result;
    }
    if (property(test_filter::showMessage) != 0) {
        const std::vector<std::uint8_t> text = complexProperty(test_filter::messageText);
        platform::showMessageBox(gRecord->platformData != nullptr
                                     ? reinterpret_cast<void*>(gRecord->platformData->hwnd)
                                     : nullptr,
                                 "Error", std::string(text.begin(), text.end()));
    }
    gRun = Run{};
    gRun.big = property(test_filter::bigCoordinates) != 0 && gRecord->bigDocumentData != nullptr;
    if (gRun.big) {
        gRecord->bigDocumentData->PluginUsing32BitCoordinates = 1;
    }
    gRun.nested = property(test_filter::nestedAdvance) != 0;
    gRun.ownMask = property(test_filter::ownMasking) != 0;
    if (gRun.ownMask) {
        gRecord->autoMask = 0;
    }
    if (const std::intptr_t size = property(test_filter::tileSize); size > 0) {
        gRun.tileSize = static_cast<int>(size);
    }
    gRun.filter = gRun.big ? gRecord->bigDocumentData->filterRect32
                           : VRect{gRecord->filterRect.top, gRecord->filterRect.left,
                                   gRecord->filterRect.bottom, gRecord->filterRect.right};
    gRun.tilesX = (gRun.filter.right - gRun.filter.left + gRun.tileSize - 1) / gRun.tileSize;
    gRun.tilesY = (gRun.filter.bottom - gRun.filter.top + gRun.tileSize - 1) / gRun.tileSize;
    gRun.colourPlanes = gRecord->inLayerPlanes + gRecord->inNonLayerPlanes;
    gRun.bytesPerSample = gRecord->depth == 16 ? 2 : 1;
    gRun.maxValue = gRecord->depth == 16 ? 32768 : 255;

    const int32 runs = countRun();
    const std::vector<std::uint8_t> name = complexProperty(propUnicodeDocumentName);
    if (gRecord->propertyProcs != nullptr) {
        gRecord->propertyProcs->setPropertyProc(photoshopSignature, propWatchSuspension, 0, 1,
                                                nullptr);
    }

    const ActionDescriptorSuite* ad = gSuites.descriptors;
    if (ad != nullptr) {
        ad->Make(&gRun.recorded);
        PIDescriptorParameters* dp = gRecord->descriptorParameters;
        if (dp != nullptr && dp->descriptor != nullptr) {
            PIActionDescriptor in = nullptr;
            if (ad->HandleToDescriptor(dp->descriptor, &in) == 0) {
                echoDescriptor(in, gRun.recorded);
                ad->Free(in);
            }
        }
        ad->PutInteger(gRun.recorded, test_filter::runCount, runs);
        ad->PutInteger(gRun.recorded, test_filter::playInProgress,
                       static_cast<int32>(property(propPlayInProgress)));
        ad->PutBoolean(gRun.recorded, test_filter::handleSuiteWorked,
                       exerciseHandleSuite() ? 1 : 0);
        if (gSuites.zstrings != nullptr) {
            // The name's length comes from the handle: it has no terminator.
            std::vector<ASUnicode> units(name.size() / 2);
            std::memcpy(units.data(), name.data(), units.size() * 2);
            ASZString z = nullptr;
            gSuites.zstrings->MakeFromUnicode(units.data(), units.size(), &z);
            ad->PutZString(gRun.recorded, test_filter::documentName, z);
            gSuites.zstrings->Release(z);
        }
        if (gSuites.registry != nullptr) {
            PIActionDescriptor entry = nullptr;
            if (gSuites.registry->Get(test_filter::registryInKey, &entry) == 0 &&
                entry != nullptr) {
                int32 value = 0;
                if (ad->GetInteger(entry, test_filter::intensity, &value) == 0) {
                    ad->PutInteger(gRun.recorded, test_filter::registryIntensity, value);
                }
                ad->Free(entry);
            }
            gSuites.registry->Register(test_filter::registryOutKey, gRun.recorded, 0);
            gSuites.registry->Erase(test_filter::registryEraseKey);
        }
    }
    if (property(test_filter::displayCheck) != 0 && gRecord->displayPixels != nullptr) {
        displayCheck();
    }

    if (gRun.tilesX <= 0 || gRun.tilesY <= 0) {
        request(VRect{}, VRect{}, VRect{});
    } else if (gRun.nested) {
        // One pixel at the image origin keeps the host calling Continue.
        request(VRect{0, 0, 1, 1}, VRect{}, VRect{});
        gRecord->inHiPlane = 0;
    } else {
        requestTile(0);
    }
    return noErr;
}

int16 continueFilter() {
    const int tiles = gRun.tilesX * gRun.tilesY;
    if (!gRun.nested) {
        invertTile(tileRect(gRun.tile));
        ++gRun.tile;
        if (reportProgress(gRun.tile)) {
            request(VRect{}, VRect{}, VRect{});
            return userCanceledErr;
        }
        if (gRun.tile < tiles) {
            requestTile(gRun.tile);
        } else {
            request(VRect{}, VRect{}, VRect{});
        }
        return noErr;
    }
    for (int i = 0; i < tiles; ++i) {
        requestTile(i);
        if (const OSErr result = gRecord->advanceState(); result != 0) {
            request(VRect{}, VRect{}, VRect{});
            return result;
        }
        invertTile(tileRect(i));
        if (reportProgress(i + 1)) {
            request(VRect{}, VRect{}, VRect{});
            return userCanceledErr;
        }
    }
    request(VRect{}, VRect{}, VRect{});
    return noErr;
}

int16 finish() {
    PIDescriptorParameters* dp = gRecord->descriptorParameters;
    if (gSuites.descriptors != nullptr && gRun.recorded != nullptr) {
        if (dp != nullptr) {
            if (dp->descriptor != nullptr) {
                gRecord->handleProcs->disposeProc(dp->descriptor);
                dp->descriptor = nullptr;
            }
            gSuites.descriptors->AsHandle(gRun.recorded, &dp->descriptor);
            dp->recordInfo = plugInDialogOptional;
        }
        gSuites.descriptors->Free(gRun.recorded);
        gRun.recorded = nullptr;
    }
    return noErr;
}

} // namespace

extern "C" void SolvantaEntryPoint(int16 selector, void* paramBlock, std::intptr_t* /*data*/,
                                   int16* result) {
    if (selector == filterSelectorAbout) {
        // The block is an AboutRecord: nothing of the filter record is there.
        *result = noErr;
        return;
    }
    gRecord = static_cast<FilterRecord*>(paramBlock);
    gSuites.basic = gRecord->sSPBasic;
    gSuites.acquire(gSuites.descriptors);
    gSuites.acquire(gSuites.registry);
    gSuites.acquire(gSuites.zstrings);
    gSuites.acquire(gSuites.handles);
    int16 outcome = noErr;
    switch (selector) {
    case filterSelectorStart:
        outcome = start();
        break;
    case filterSelectorContinue:
        outcome = continueFilter();
        break;
    case filterSelectorFinish:
        outcome = finish();
        break;
    default:
        break;
    }
    gSuites.release(gSuites.descriptors);
    gSuites.release(gSuites.registry);
    gSuites.release(gSuites.zstrings);
    gSuites.release(gSuites.handles);
    *result = outcome;
}
