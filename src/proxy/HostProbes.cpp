#include "proxy/HostProbes.h"

#include "proxy/ProcessGlobals.h"

#include <array>
#include <cstddef>

namespace proxy {

namespace {

// The spaces the server works in, in probing order.
constexpr std::array<hostapi::int16, 3> kProbedSpaces{
    hostapi::colorSpaceRGB, hostapi::colorSpaceGray, hostapi::colorSpaceCMYK};

constexpr hostapi::int32 kColorServicesInfoSize = 56;
static_assert(sizeof(hostapi::ColorServicesInfo) == kColorServicesInfoSize,
              "the host checks infoSize against its own record size");

int probedIndex(hostapi::int16 space) {
    for (std::size_t i = 0; i < kProbedSpaces.size(); ++i) {
        if (kProbedSpaces[i] == space) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A descriptor-registry entry exists; the descriptor handed out is freed
// unread.
bool registryHas(const char* key) {
    hostapi::PIActionDescriptor descriptor = nullptr;
    if (gDescriptorRegistrySuite->Get(key, &descriptor) != 0 || descriptor == nullptr) {
        return false;
    }
    gActionDescriptorSuite->Free(descriptor);
    return true;
}

ColorServicesTable& colorServicesTable() {
    static ColorServicesTable table;
    return table;
}

NewLayerCapability& newLayerCapability() {
    static NewLayerCapability capability;
    return capability;
}

} // namespace

void ColorServicesTable::probe(const hostapi::FilterRecord* record) noexcept {
    if (probed_) {
        return;
    }
    // Set first: a host that calls back into the plug-in from its colour
    // services must not start a second probe.
    probed_ = true;
    if (record == nullptr || record->colorServices == nullptr) {
        return;
    }
    for (std::size_t from = 0; from < kProbedSpaces.size(); ++from) {
        for (std::size_t to = 0; to < kProbedSpaces.size(); ++to) {
            // Value-initialised as a whole: padding and all eight bytes of the
            // selector parameter are zero.
            auto info = hostapi::ColorServicesInfo();
            info.infoSize = kColorServicesInfoSize;
            info.selector = hostapi::colorServicesConvertColor;
            info.sourceSpace = kProbedSpaces[from];
            info.resultSpace = kProbedSpaces[to];
            info.colorComponents[0] = 50;
            info.colorComponents[1] = 100;
            info.colorComponents[2] = 150;
            info.colorComponents[3] = 200;
            supported_[from][to] = record->colorServices(&info) == 0;
        }
    }
}

bool ColorServicesTable::supports(hostapi::int16 source, hostapi::int16 destination) const {
    const int from = probedIndex(source);
    const int to = probedIndex(destination);
    return from >= 0 && to >= 0 && supported_[from][to];
}

bool NewLayerCapability::ask() noexcept {
    if (HostPropertySet(hostapi::propPlayInProgress) ||
        HostPropertySet(hostapi::propLayerIsSmartObject)) {
        return false;
    }
    if (notYetAsked_) {
        notYetAsked_ = false;
        consultRegistry();
    }
    if (!enabled_) {
        return false;
    }
    return !restrictedTo8Bit_ || gFilterRecord == nullptr || gFilterRecord->depth != 16;
}

void NewLayerCapability::consultRegistry() noexcept {
    if (gDescriptorRegistrySuite == nullptr || gActionDescriptorSuite == nullptr ||
        !registryHas(registryKeys::newLayer)) {
        return;
    }
    restrictedTo8Bit_ = registryHas(registryKeys::sixteenBitRestriction);
    enabled_ = true;
}

void probeColorServices(const hostapi::FilterRecord* record) noexcept {
    colorServicesTable().probe(record);
}

bool ColorConversionSupported(hostapi::int16 source, hostapi::int16 destination) {
    return colorServicesTable().supports(source, destination);
}

bool NewLayerCapable() noexcept {
    return newLayerCapability().ask();
}

bool HostPropertySet(std::uint32_t key) noexcept {
    if (gFilterRecord == nullptr || gFilterRecord->propertyProcs == nullptr ||
        gFilterRecord->propertyProcs->getPropertyProc == nullptr) {
        return false;
    }
    std::intptr_t value = 0;
    const hostapi::OSErr error = gFilterRecord->propertyProcs->getPropertyProc(
        hostapi::photoshopSignature, key, 0, &value, nullptr);
    return error == 0 && static_cast<std::uintptr_t>(value) != 0;
}

} // namespace proxy
