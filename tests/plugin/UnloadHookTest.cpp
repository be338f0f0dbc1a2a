// The library hooks that the plug-in is built with: the system runs the
// registered handler when it unloads the library, and not before.

#include "TestSupport.h"
#include "platform/Environment.h"
#include "platform/Module.h"
#include "platform/SharedLibrary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LibraryHooks, RunTheUnloadHandlerWhenTheLibraryIsUnloaded) {
    platform::setEnvironmentVariable("SOLVANTA_UNLOAD_PROBE", "");
    std::string error;
    auto library = platform::loadLibrary(testing_support::besideTest(UNLOAD_PROBE_FILE), error);
    ASSERT_TRUE(library) << error;
    auto moduleHandle = reinterpret_cast<void* (*)()>(library->symbol("unloadProbeModuleHandle"));
    ASSERT_NE(moduleHandle, nullptr);
    // The load hook stored the library's own handle, not the test's.
    EXPECT_NE(moduleHandle(), nullptr);
    EXPECT_NE(moduleHandle(), platform::moduleHandle());
    EXPECT_EQ(platform::environmentVariable("SOLVANTA_UNLOAD_PROBE"), "");

    library.reset();
    EXPECT_EQ(platform::environmentVariable("SOLVANTA_UNLOAD_PROBE"), "unloaded");
}

} // namespace
