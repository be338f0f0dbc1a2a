// The plug-in library as the host meets it: loaded by the host stand-in and
// driven through the filter selectors.

#include "TestSupport.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

namespace {

// A host holding a small document, with the product's plug-in loaded and an
// application begun.
std::unique_ptr<host::FilterHost> loadedHost(host::HostOptions options = {}) {
    auto host = std::make_unique<host::FilterHost>(host::Document::rgb(8, 8), options);
    std::string error;
    EXPECT_TRUE(host->loadPlugin(testing_support::besideTest(SOLVANTA_PLUGIN_FILE), error))
        << error;
    host->beginApplication();
    return host;
}

TEST(EntryPoint, AboutTouchesNothingAndAcquiresNoSuite) {
    const auto host = loadedHost();
    EXPECT_EQ(host->about(), 0);
    EXPECT_TRUE(host->records().suites.empty());
    EXPECT_TRUE(host->records().colorServices.empty());
}

TEST(EntryPoint, PrepareCapsMaxSpaceWithoutRaisingIt) {
    struct Case {
        std::int64_t offered;
        std::int32_t expected;
    };
    for (const Case& c : {Case{10000000, 10000000}, Case{100000000, 52428800},
                          Case{52428800, 52428800}, Case{52428801, 52428800}}) {
        host::HostOptions options;
        options.maxSpace = c.offered;
        const auto host = loadedHost(options);
        EXPECT_EQ(host->callSelector(hostapi::filterSelectorPrepare), 0);
        EXPECT_EQ(host->record().maxSpace, c.expected) << c.offered;
    }
}

TEST(EntryPoint, RunsWithoutTheBasicSuite) {
    host::HostOptions options;
    options.basicSuite = false;
    const auto host = loadedHost(options);
    EXPECT_EQ(host->callSelector(hostapi::filterSelectorPrepare), 0);
    EXPECT_TRUE(host->records().suites.empty());
}

std::size_t colourCallsOfOneLoad(bool finish) {
    const auto host = loadedHost();
    EXPECT_EQ(host->callSelector(hostapi::filterSelectorParameters), 0);
    if (finish) {
        EXPECT_EQ(host->callSelector(hostapi::filterSelectorFinish), 0);
    }
    return host->records().colorServices.size();
    // The host unloads the library here, with the state object alive unless
    // Finish deleted it; a leak of it shows under the sanitizers.
}

TEST(EntryPoint, UnloadingEndsTheProcessWideStateWhetherOrNotFinishRan) {
    // A library that really unloads starts over when loaded again: the
    // once-per-process colour probe runs anew.
    EXPECT_EQ(colourCallsOfOneLoad(false), 9U);
    EXPECT_EQ(colourCallsOfOneLoad(false), 9U);
    EXPECT_EQ(colourCallsOfOneLoad(true), 9U);
}

} // namespace
