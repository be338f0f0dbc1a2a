// Prepare on a system older than Windows 5.0. The build runs this test with
// the system version turned back: through SOLVANTA_WINDOWS_VERSION on POSIX,
// through Wine's per-program version setting on Win64.

#include "TestSupport.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "platform/SystemVersion.h"
#include "plugin/Texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OldSystem, PrepareShowsTheIncompatibilityMessageOnceAndRefuses) {
    // The version was turned back as this test expects.
    ASSERT_FALSE(platform::systemVersionAtLeast(5, 0, 0));
    ASSERT_TRUE(platform::systemVersionAtLeast(4, 0, 0));
    host::HostOptions options;
    options.maxSpace = 100000000;
    host::FilterHost host(host::Document::rgb(16, 16), options);
    std::string error;
    ASSERT_TRUE(host.loadPlugin(testing_support::besideTest(SOLVANTA_PLUGIN_FILE), error)) << error;
    host.beginApplication();

    EXPECT_EQ(host.callSelector(hostapi::filterSelectorPrepare), 1);

    const auto boxes = host.messageBoxes();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].title, plugin::texts::errorTitle);
    EXPECT_EQ(boxes[0].text, plugin::texts::incompatibleSystem);
    EXPECT_EQ(host.record().maxSpace, 100000000);
}

} // namespace
