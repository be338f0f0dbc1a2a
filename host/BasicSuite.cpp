// The basic suite: acquiring and releasing the host's suites, counted per
// name and version, and memory blocks.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"

#include <cstring>

namespace host {

using namespace hostapi;

namespace {

constexpr const char* kPropertySuiteName = "Photoshop Property Suite for Plug-ins";
constexpr const char* kBufferSuiteName = "Photoshop Buffer Procs for Plug-ins";

SuiteUse* findUse(HostRecords& records, const char* name, std::int32_t version) {
    for (SuiteUse& use : records.suites) {
        if (use.name == name && use.version == version) {
            return &use;
        }
    }
    return nullptr;
}

SuiteUse& useOf(HostRecords& records, const char* name, std::int32_t version) {
    if (SuiteUse* use = findUse(records, name, version)) {
        return *use;
    }
    records.suites.push_back(SuiteUse{name, version, 0, 0, 0});
    return records.suites.back();
}

SPErr acquireSuite(const char* name, int32 version, const void** suite) {
    HostRecords* records = activeRecords();
    if (records == nullptr || name == nullptr || suite == nullptr) {
        return spBadParameterError;
    }
    SuiteUse& use = useOf(*records, name, version);
    *suite =
        activeWithdrawnSuites()->count({name, version}) != 0 ? nullptr : suiteTable(name, version);
    if (*suite == nullptr) {
        ++use.refused;
        return spSuiteNotFoundError;
    }
    ++use.acquired;
    return spNoError;
}

SPErr releaseSuite(const char* name, int32 version) {
    HostRecords* records = activeRecords();
    if (records == nullptr || name == nullptr) {
        return spBadParameterError;
    }
    SuiteUse* use = findUse(*records, name, version);
    if (use == nullptr) {
        reportFault(std::string("released ") + name + ", never acquired");
        return spBadParameterError;
    }
    if (use->released >= use->acquired) {
        reportFault(std::string("released ") + name + " more often than acquired");
        return spBadParameterError;
    }
    ++use->released;
    return spNoError;
}

SPBoolean isEqual(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0 ? 1 : 0;
}

SPErr allocateBlock(std::size_t size, void** block) {
    MemoryBlocks* blocks = activeBlocks();
    if (blocks == nullptr || block == nullptr) {
        return spBadParameterError;
    }
    *block = blocks->allocate(size);
    return *block != nullptr ? spNoError : spOutOfMemoryError;
}

SPErr freeBlock(void* block) {
    MemoryBlocks* blocks = activeBlocks();
    return blocks != nullptr && blocks->free(block) ? spNoError : spBadParameterError;
}

SPErr reallocateBlock(void* block, std::size_t newSize, void** newBlock) {
    MemoryBlocks* blocks = activeBlocks();
    if (blocks == nullptr || newBlock == nullptr || (block != nullptr && !blocks->knows(block))) {
        return spBadParameterError;
    }
    void* moved = blocks->reallocate(block, newSize);
    if (moved == nullptr) {
        return spOutOfMemoryError;
    }
    *newBlock = moved;
    return spNoError;
}

SPErr undefinedSlot() {
    return spUnimplementedError;
}

bool named(const std::string& name, std::int32_t version, const char* suiteName,
           std::int32_t suiteVersion) {
    return name == suiteName && version == suiteVersion;
}

} // namespace

SPBasicSuite hostBasicSuite() {
    return SPBasicSuite{acquireSuite, releaseSuite,    isEqual,      allocateBlock,
                        freeBlock,    reallocateBlock, undefinedSlot};
}

// The callback tables that are also suites are those of the active host's
// filter record.
const void* suiteTable(const std::string& name, std::int32_t version) {
    if (named(name, version, ActionDescriptorSuite::suiteName,
              ActionDescriptorSuite::suiteVersion)) {
        return &actionDescriptorSuite();
    }
    if (named(name, version, DescriptorRegistrySuite::suiteName,
              DescriptorRegistrySuite::suiteVersion)) {
        return &descriptorRegistrySuite();
    }
    if (named(name, version, ZStringSuite::suiteName, ZStringSuite::suiteVersion)) {
        return &zstringSuite();
    }
    if (named(name, version, ColorSpaceSuite::suiteName, ColorSpaceSuite::suiteVersion)) {
        return &colorSpaceSuite();
    }
    if (named(name, version, ChannelPortsSuite::suiteName, ChannelPortsSuite::suiteVersion)) {
        return &channelPortsSuite();
    }
    if (name == HandleSuite::suiteName) {
        return handleSuite(version);
    }
    FilterRecordSet* application = activeApplication();
    if (application == nullptr) {
        return nullptr;
    }
    if (named(name, version, kPropertySuiteName, 1)) {
        return &application->propertyProcs;
    }
    if (named(name, version, kBufferSuiteName, 2)) {
        return &application->bufferProcs;
    }
    if (named(name, version, SPBasicSuite::suiteName, SPBasicSuite::suiteVersion)) {
        return &application->basicSuite;
    }
    return nullptr;
}

} // namespace host
