// A tiny filter plug-in for the host stand-in's tests: inverts the colour
// planes of the filter rectangle a tile per Continue (the host delivers each
// between the calls; the product's plug-in asks through advanceState itself,
// proven by tests/plugin), counts its runs in the parameters handle and
// records the descriptor it was given, with the count added.

#include "TestFilterControls.h"
#include "hostapi/FilterInterface.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

using namespace hostapi;

namespace {

// What one application keeps between its calls.
struct Run {
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
// Acquired for each call, released when it returns.
const ActionDescriptorSuite* gDescriptors = nullptr;
Run gRun;

std::intptr_t property(uint32 key) {
    std::intptr_t value = 0;
    if (gRecord->propertyProcs != nullptr &&
        gRecord->propertyProcs->getPropertyProc(photoshopSignature, key, 0, &value, nullptr) == 0) {
        return value;
    }
    return 0;
}

Rect narrow(const VRect& r) {
    return Rect{static_cast<int16>(r.top), static_cast<int16>(r.left), static_cast<int16>(r.bottom),
                static_cast<int16>(r.right)};
}

void request(const VRect& area) {
    gRecord->inRect = gRecord->outRect = narrow(area);
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

void invertTile(const VRect& r) {
    const auto* in = static_cast<const std::uint8_t*>(gRecord->inData);
    auto* out = static_cast<std::uint8_t*>(gRecord->outData);
    const int pixel = gRun.colourPlanes * gRun.bytesPerSample;
    for (int y = 0; y < r.bottom - r.top; ++y) {
        for (int x = 0; x < r.right - r.left; ++x) {
            const std::uint8_t* from = in + y * gRecord->inRowBytes + x * pixel;
            std::uint8_t* to = out + y * gRecord->outRowBytes + x * pixel;
            for (int p = 0; p < gRun.colourPlanes; ++p) {
                const int at = p * gRun.bytesPerSample;
                if (gRun.bytesPerSample == 1) {
                    to[at] = static_cast<std::uint8_t>(gRun.maxValue - from[at]);
                    continue;
                }
                // 16-bit samples come in this machine's byte order.
                std::uint16_t v = 0;
                std::memcpy(&v, from + at, 2);
                v = static_cast<std::uint16_t>(gRun.maxValue - v);
                std::memcpy(to + at, &v, 2);
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

// The descriptor to record: the one replayed, if any, with the run count.
void recordRun(int32 runs) {
    const ActionDescriptorSuite* ad = gDescriptors;
    if (ad == nullptr) {
        return;
    }
    const PIDescriptorParameters* dp = gRecord->descriptorParameters;
    if (dp == nullptr || dp->descriptor == nullptr ||
        ad->HandleToDescriptor(dp->descriptor, &gRun.recorded) != 0) {
        ad->Make(&gRun.recorded);
    }
    ad->PutInteger(gRun.recorded, test_filter::runCount, runs);
}

int16 start() {
    if (const auto result = static_cast<int16>(property(test_filter::startResult)); result != 0) {
        return result;
    }
    gRun = Run{};
    if (const std::intptr_t size = property(test_filter::tileSize); size > 0) {
        gRun.tileSize = static_cast<int>(size);
    }
    gRun.filter = VRect{gRecord->filterRect.top, gRecord->filterRect.left,
                        gRecord->filterRect.bottom, gRecord->filterRect.right};
    gRun.tilesX = (gRun.filter.right - gRun.filter.left + gRun.tileSize - 1) / gRun.tileSize;
    gRun.tilesY = (gRun.filter.bottom - gRun.filter.top + gRun.tileSize - 1) / gRun.tileSize;
    gRun.colourPlanes = gRecord->inLayerPlanes + gRecord->inNonLayerPlanes;
    gRun.bytesPerSample = gRecord->depth == 16 ? 2 : 1;
    gRun.maxValue = gRecord->depth == 16 ? 32768 : 255;

    recordRun(countRun());

    request(gRun.tilesX > 0 && gRun.tilesY > 0 ? tileRect(0) : VRect{});
    return noErr;
}

// One tile per call: the host delivers the next before the next Continue.
int16 continueFilter() {
    invertTile(tileRect(gRun.tile));
    ++gRun.tile;
    if (reportProgress(gRun.tile)) {
        request(VRect{});
        return userCanceledErr;
    }
    request(gRun.tile < gRun.tilesX * gRun.tilesY ? tileRect(gRun.tile) : VRect{});
    return noErr;
}

int16 finish() {
    PIDescriptorParameters* dp = gRecord->descriptorParameters;
    if (gDescriptors != nullptr && gRun.recorded != nullptr) {
        if (dp != nullptr) {
            if (dp->descriptor != nullptr) {
                gRecord->handleProcs->disposeProc(dp->descriptor);
                dp->descriptor = nullptr;
            }
            gDescriptors->AsHandle(gRun.recorded, &dp->descriptor);
            dp->recordInfo = plugInDialogOptional;
        }
        gDescriptors->Free(gRun.recorded);
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
    SPBasicSuite* basic = gRecord->sSPBasic;
    const void* table = nullptr;
    if (basic != nullptr && basic->AcquireSuite(ActionDescriptorSuite::suiteName,
                                                ActionDescriptorSuite::suiteVersion, &table) == 0) {
        gDescriptors = static_cast<const ActionDescriptorSuite*>(table);
    }
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
    if (gDescriptors != nullptr) {
        basic->ReleaseSuite(ActionDescriptorSuite::suiteName, ActionDescriptorSuite::suiteVersion);
        gDescriptors = nullptr;
    }
    *result = outcome;
}
