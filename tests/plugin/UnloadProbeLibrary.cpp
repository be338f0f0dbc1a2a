// A library built with the plug-in's load and unload hooks and nothing else:
// its unload handler leaves a mark in the process environment, where the
// test that unloaded it can see it.

#include "platform/Environment.h"
#include "platform/LibraryHooks.h"
#include "platform/Module.h"

#include <string>

namespace {

void markUnloaded() {
    platform::setEnvironmentVariable("SOLVANTA_UNLOAD_PROBE", "unloaded");
}

const bool registered = (platform::setLibraryUnloadHandler(&markUnloaded), true);

} // namespace

// The module handle that the load hook stored.
extern "C" SOLVANTA_EXPORT void* unloadProbeModuleHandle() {
    return platform::moduleHandle();
}
