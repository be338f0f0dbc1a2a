// The library's one exported function; everything else stays inside.

#include "platform/LibraryHooks.h"
#include "plugin/EntryPoint.h"

namespace {

// A state object still alive when the library goes is deleted then.
const bool unloadHandlerRegistered =
    (platform::setLibraryUnloadHandler(&plugin::deleteFilterGlobals), true);

} // namespace

// SOLVANTA_EXPORT comes from the build: the platform's way of exporting it.
extern "C" SOLVANTA_EXPORT void SolvantaEntryPoint(hostapi::int16 selector,
                                                   hostapi::FilterRecord* filterRecord,
                                                   std::intptr_t* /*data*/,
                                                   hostapi::int16* result) {
    plugin::runEntryPoint(selector, filterRecord, result, plugin::defaultEntrySteps());
}
