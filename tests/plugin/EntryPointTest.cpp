// The plug-in library as the host meets it: loaded by the host stand-in and
// driven through the filter selectors.

#include "PluginTestSupport.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "platform/SharedLibrary.h"
#include "plugin/SelectorSteps.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using hostapi::int16;

// The six suites in the order the plug-in acquires them.
const std::vector<std::pair<std::string, int>> kSuites = {
    {hostapi::ChannelPortsSuite::suiteName, hostapi::ChannelPortsSuite::suiteVersion},
    {hostapi::DescriptorRegistrySuite::suiteName, hostapi::DescriptorRegistrySuite::suiteVersion},
    {hostapi::ActionDescriptorSuite::suiteName, hostapi::ActionDescriptorSuite::suiteVersion},
    {hostapi::HandleSuite::suiteName, hostapi::HandleSuite::suiteVersion},
    {hostapi::ColorSpaceSuite::suiteName, hostapi::ColorSpaceSuite::suiteVersion},
    {hostapi::ZStringSuite::suiteName, hostapi::ZStringSuite::suiteVersion},
};

class LoadedPlugin : public ::testing::Test {
protected:
    LoadedPlugin() : host(host::Document::rgb(64, 48)) {}

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host.loadPlugin(plugin_test::pluginLibraryPath(), error)) << error;
    }

    // Each of the six suites acquired and released `times` times, nothing
    // refused, and no other suite touched.
    void expectSuitesBalanced(int times) {
        const host::HostRecords& records = host.records();
        for (const auto& [name, version] : kSuites) {
            const host::SuiteUse* use = records.suite(name, version);
            ASSERT_NE(use, nullptr) << name;
            EXPECT_EQ(use->acquired, times) << name;
            EXPECT_EQ(use->released, times) << name;
        }
        // First used in the order of the table.
        ASSERT_EQ(records.suites.size(), kSuites.size());
        for (std::size_t i = 0; i < kSuites.size(); ++i) {
            EXPECT_EQ(records.suites[i].name, kSuites[i].first) << i;
        }
        EXPECT_TRUE(records.faults.empty()) << records.faults.front();
    }

    host::FilterHost host;
};

TEST_F(LoadedPlugin, AboutTouchesNothingAndAcquiresNoSuite) {
    EXPECT_EQ(host.about(), 0);
    EXPECT_TRUE(host.records().suites.empty());
    EXPECT_TRUE(host.records().colorServices.empty());
}

TEST(EntryPoint, AboutLeavesTheResultSlotAlone) {
    std::string error;
    auto library = platform::loadLibrary(plugin_test::pluginLibraryPath(), error);
    ASSERT_TRUE(library) << error;
    auto entry = reinterpret_cast<hostapi::FilterEntryProc>(library->symbol("SolvantaEntryPoint"));
    ASSERT_NE(entry, nullptr);
    hostapi::AboutRecord about{};
    std::intptr_t data = 0;
    int16 result = 4711;
    entry(hostapi::filterSelectorAbout, &about, &data, &result);
    EXPECT_EQ(result, 4711);
    EXPECT_EQ(data, 0);
}

TEST_F(LoadedPlugin, EverySelectorButAboutAcquiresAndReleasesTheSixSuites) {
    host.beginApplication();
    // Parameters, Prepare, an unknown selector and a negative one.
    const std::vector<int16> selectors = {1, 2, 6, -1};
    for (const int16 selector : selectors) {
        host.callSelector(selector);
    }
    expectSuitesBalanced(static_cast<int>(selectors.size()));
}

TEST_F(LoadedPlugin, ParametersAndPrepareSucceedOnAModernSystem) {
    host.beginApplication();
    EXPECT_EQ(host.callSelector(hostapi::filterSelectorParameters), 0);
    EXPECT_EQ(host.callSelector(hostapi::filterSelectorPrepare), 0);
    EXPECT_TRUE(host.messageBoxes().empty());
}

TEST_F(LoadedPlugin, OptsInToBigDocuments) {
    host.beginApplication();
    ASSERT_NE(host.record().bigDocumentData, nullptr);
    host.callSelector(hostapi::filterSelectorParameters);
    EXPECT_EQ(host.record().bigDocumentData->PluginUsing32BitCoordinates, 1);
}

TEST_F(LoadedPlugin, PrepareCapsMaxSpaceWithoutRaisingIt) {
    struct Case {
        std::int64_t offered;
        std::int32_t expected;
    };
    for (const Case& c : {Case{10000000, 10000000}, Case{100000000, plugin::kMaxSpaceLimit},
                          Case{52428800, 52428800}, Case{52428801, 52428800}}) {
        host.options().maxSpace = c.offered;
        host.beginApplication();
        EXPECT_EQ(host.callSelector(hostapi::filterSelectorPrepare), 0);
        EXPECT_EQ(host.record().maxSpace, c.expected) << c.offered;
    }
    EXPECT_EQ(plugin::kMaxSpaceLimit, 52428800);
}

TEST_F(LoadedPlugin, ProbesTheNinePairsOfColourSpacesOncePerLoad) {
    host.setAllColorConversionsSupported(true);
    host.setColorConversionSupported(hostapi::colorSpaceCMYK, hostapi::colorSpaceGray, false);
    host.beginApplication();
    host.callSelector(hostapi::filterSelectorParameters);
    host.callSelector(hostapi::filterSelectorPrepare);

    const std::vector<int16> spaces = {hostapi::colorSpaceRGB, hostapi::colorSpaceGray,
                                       hostapi::colorSpaceCMYK};
    const auto& calls = host.records().colorServices;
    ASSERT_EQ(calls.size(), 9U);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].selector, hostapi::colorServicesConvertColor);
        EXPECT_EQ(calls[i].sourceSpace, spaces[i / 3]) << i;
        EXPECT_EQ(calls[i].resultSpace, spaces[i % 3]) << i;
        EXPECT_EQ(std::vector<int16>(calls[i].componentsIn, calls[i].componentsIn + 4),
                  (std::vector<int16>{50, 100, 150, 200}));
        // The host refuses malformed blocks; only the pair it was told to
        // refuse fails.
        const bool refused = calls[i].sourceSpace == hostapi::colorSpaceCMYK &&
                             calls[i].resultSpace == hostapi::colorSpaceGray;
        EXPECT_EQ(calls[i].result == 0, !refused) << i;
    }
}

TEST(EntryPointWithoutColourServices, MakesNoColourCall) {
    host::HostOptions options;
    options.colorServices = false;
    host::FilterHost host(host::Document::rgb(8, 8), options);
    std::string error;
    ASSERT_TRUE(host.loadPlugin(plugin_test::pluginLibraryPath(), error)) << error;
    host.beginApplication();
    EXPECT_EQ(host.callSelector(hostapi::filterSelectorParameters), 0);
    EXPECT_TRUE(host.records().colorServices.empty());
}

TEST(EntryPointWithoutBasicSuite, RunsWithoutSuites) {
    host::HostOptions options;
    options.basicSuite = false;
    host::FilterHost host(host::Document::rgb(8, 8), options);
    std::string error;
    ASSERT_TRUE(host.loadPlugin(plugin_test::pluginLibraryPath(), error)) << error;
    host.beginApplication();
    EXPECT_EQ(host.callSelector(hostapi::filterSelectorPrepare), 0);
    EXPECT_TRUE(host.records().suites.empty());
}

} // namespace

namespace {

std::size_t colourCallsOfOneLoad(bool finish) {
    host::FilterHost host(host::Document::rgb(8, 8));
    std::string error;
    EXPECT_TRUE(host.loadPlugin(plugin_test::pluginLibraryPath(), error)) << error;
    host.beginApplication();
    EXPECT_EQ(host.callSelector(hostapi::filterSelectorParameters), 0);
    if (finish) {
        EXPECT_EQ(host.callSelector(hostapi::filterSelectorFinish), 0);
    }
    return host.records().colorServices.size();
    // The host unloads the library here, with the state object alive unless
    // Finish deleted it; a leak of it shows under the sanitizers.
}

TEST(PluginLifetime, UnloadingEndsTheProcessWideStateWhetherOrNotFinishRan) {
    // A library that really unloads starts over when loaded again: the
    // once-per-process colour probe runs anew.
    EXPECT_EQ(colourCallsOfOneLoad(false), 9U);
    EXPECT_EQ(colourCallsOfOneLoad(false), 9U);
    EXPECT_EQ(colourCallsOfOneLoad(true), 9U);
}

} // namespace
