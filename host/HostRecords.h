#pragma once

#include "hostapi/FilterInterface.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// What the host saw the plug-in do, in call order, for tests to check.

struct SelectorCall {
    std::int16_t selector = 0;
    std::int16_t result = 0;
};

// One delivery of requested pixels: by the plug-in's advanceState, or by the
// host itself before a Continue (`betweenCalls`).
struct AdvanceStateCall {
    std::int16_t result = 0;
    bool betweenCalls = false;
    // The rectangles were read from the 32-bit fields.
    bool bigCoordinates = false;
    hostapi::VRect inRect{};
    hostapi::VRect outRect{};
    hostapi::VRect maskRect{};
    std::int16_t inLoPlane = 0;
    std::int16_t inHiPlane = 0;
    std::int16_t outLoPlane = 0;
    std::int16_t outHiPlane = 0;
    // Whole sampling steps taken from inputRate and maskRate.
    std::int32_t inputStep = 1;
    std::int32_t maskStep = 1;
    std::int32_t inRowBytes = 0;
    std::int32_t outRowBytes = 0;
    std::int32_t maskRowBytes = 0;
};

struct PropertyCall {
    std::uint32_t signature = 0;
    std::uint32_t key = 0;
    std::int32_t index = 0;
    std::intptr_t simple = 0;
    // Bytes of the complex (handle) value, empty for simple properties.
    std::vector<std::uint8_t> complex;
    std::int16_t result = 0;
};

struct ColorServicesCall {
    std::int16_t selector = 0;
    std::int16_t sourceSpace = 0;
    std::int16_t resultSpace = 0;
    std::int16_t componentsIn[4]{};
    std::int16_t componentsOut[4]{};
    std::int16_t result = 0;
};

struct Convert8Call {
    std::int16_t sourceSpace = 0;
    std::int16_t targetSpace = 0;
    std::int16_t count = 0;
    std::int32_t result = 0;
};

struct DisplayPixelsCall {
    hostapi::VRect srcRect{};
    std::int32_t dstRow = 0;
    std::int32_t dstCol = 0;
    std::int32_t imageMode = 0;
    std::int16_t result = 0;
};

struct ProgressCall {
    std::int32_t done = 0;
    std::int32_t total = 0;
};

struct RegistryCall {
    enum class Kind { Register, Erase, Get };
    Kind kind = Kind::Get;
    std::string key;
    bool persistent = false;
    // Get handed out a descriptor.
    bool yieldedDescriptor = false;
    std::int16_t result = 0;
};

// Acquire and release counts of one suite name and version.
struct SuiteUse {
    std::string name;
    std::int32_t version = 0;
    int acquired = 0;
    int released = 0;
    int refused = 0;
};

struct HostRecords {
    std::vector<SelectorCall> selectors;
    std::vector<AdvanceStateCall> advanceStates;
    std::vector<PropertyCall> propertyGets;
    std::vector<PropertyCall> propertySets;
    std::vector<ColorServicesCall> colorServices;
    std::vector<Convert8Call> convert8;
    std::vector<DisplayPixelsCall> displayPixels;
    std::vector<ProgressCall> progress;
    std::vector<RegistryCall> registry;
    std::vector<SuiteUse> suites;
    int abortChecks = 0;
    // Misuse of the interface that a real host might not survive: a handle,
    // descriptor or string the host does not know, an unbalanced release,
    // writes into row padding, ... One readable line each.
    std::vector<std::string> faults;

    const SuiteUse* suite(const std::string& name, std::int32_t version) const {
        for (const SuiteUse& use : suites) {
            if (use.name == name && use.version == version) {
                return &use;
            }
        }
        return nullptr;
    }
};

} // namespace host
