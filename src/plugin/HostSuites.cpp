#include "plugin/HostSuites.h"

#include "proxy/ProcessGlobals.h"

namespace plugin {

namespace {

template <typename Suite> void acquire(const Suite*& suite) {
    const void* table = nullptr;
    const bool acquired =
        gBasicSuite->AcquireSuite(Suite::suiteName, Suite::suiteVersion, &table) == 0;
    suite = acquired ? static_cast<const Suite*>(table) : nullptr;
}

template <typename Suite> void release(const Suite*& suite) {
    if (suite != nullptr) {
        if (gBasicSuite != nullptr) {
            gBasicSuite->ReleaseSuite(Suite::suiteName, Suite::suiteVersion);
        }
        suite = nullptr;
    }
}

} // namespace

void acquireSuites() noexcept {
    if (gBasicSuite == nullptr || gBasicSuite->AcquireSuite == nullptr) {
        return;
    }
    acquire(gChannelPortsSuite);
    acquire(gDescriptorRegistrySuite);
    acquire(gActionDescriptorSuite);
    acquire(gHandleSuite);
    acquire(gColorSpaceSuite);
    acquire(gZStringSuite);
}

void releaseSuites() noexcept {
    release(gChannelPortsSuite);
    release(gDescriptorRegistrySuite);
    release(gActionDescriptorSuite);
    release(gHandleSuite);
    release(gColorSpaceSuite);
    release(gZStringSuite);
}

} // namespace plugin
