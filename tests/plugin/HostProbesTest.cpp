// The host probes and the message box, run in this process against the host
// stand-in with the suites bound as the entry point binds them.

#include "plugin/HostProbes.h"
#include "ProxyTestSupport.h"
#include "host/ActionDescriptor.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "platform/MessageBox.h"
#include "plugin/ErrorMessage.h"
#include "plugin/Texts.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using hostapi::int16;
using testing_support::BoundHost;

int registryGets(const host::FilterHost& host) {
    int gets = 0;
    for (const host::RegistryCall& call : host.records().registry) {
        gets += call.kind == host::RegistryCall::Kind::Get ? 1 : 0;
    }
    return gets;
}

TEST(NewLayerCapability, AnswersFromTheRegistryTheHostPropertiesAndTheDepth) {
    struct Case {
        const char* what;
        bool newLayerEntry;
        bool restrictionEntry;
        int depth;
        std::intptr_t plip;
        std::intptr_t liss;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"no registry entry", false, false, 8, 0, 0, false},
        {"only the restriction", false, true, 8, 0, 0, false},
        {"new layers, 8-bit", true, false, 8, 0, 0, true},
        {"new layers, 16-bit", true, false, 16, 0, 0, true},
        {"restricted, 8-bit", true, true, 8, 0, 0, true},
        {"restricted, 16-bit", true, true, 16, 0, 0, false},
        {"an action plays", true, false, 8, 1, 0, false},
        {"a smart object", true, false, 8, 0, 1, false},
        {"any non-zero property counts", true, false, 8, 0, -1, false},
    };
    for (const Case& c : cases) {
        host::FilterHost host(host::Document::rgb(8, 8, c.depth));
        if (c.newLayerEntry) {
            host.setRegistryEntry(plugin::texts::newLayerRegistryKey, host::ActionDescriptor());
        }
        if (c.restrictionEntry) {
            host.setRegistryEntry(plugin::texts::sixteenBitRestrictionRegistryKey,
                                  host::ActionDescriptor());
        }
        host.setProperty(hostapi::propPlayInProgress, c.plip);
        host.setProperty(hostapi::propLayerIsSmartObject, c.liss);
        const BoundHost bound(host);
        plugin::NewLayerCapability capability;
        EXPECT_EQ(capability.ask(), c.expected) << c.what;
        EXPECT_EQ(host.liveDescriptors(), 0) << c.what;
    }
}

TEST(NewLayerCapability, ConsultsTheRegistryOnceButThePropertiesEveryTime) {
    host::FilterHost host(host::Document::rgb(8, 8));
    const BoundHost bound(host);
    plugin::NewLayerCapability capability;

    // An action plays: the answer is no before the registry is looked at.
    host.setProperty(hostapi::propPlayInProgress, 1);
    EXPECT_FALSE(capability.ask());
    EXPECT_EQ(registryGets(host), 0);

    host.setProperty(hostapi::propPlayInProgress, 0);
    EXPECT_FALSE(capability.ask());
    EXPECT_EQ(registryGets(host), 1);

    // An entry added later in the same process is not seen.
    host.setRegistryEntry(plugin::texts::newLayerRegistryKey, host::ActionDescriptor());
    const std::size_t propertyReads = host.records().propertyGets.size();
    EXPECT_FALSE(capability.ask());
    EXPECT_EQ(registryGets(host), 1);
    EXPECT_EQ(host.records().propertyGets.size(), propertyReads + 2);
}

TEST(NewLayerCapability, WithoutTheDescriptorSuitesStaysOff) {
    host::FilterHost host(host::Document::rgb(8, 8));
    host.setRegistryEntry(plugin::texts::newLayerRegistryKey, host::ActionDescriptor());
    host.setSuiteOffered(hostapi::ActionDescriptorSuite::suiteName,
                         hostapi::ActionDescriptorSuite::suiteVersion, false);
    const BoundHost bound(host);
    plugin::NewLayerCapability capability;
    EXPECT_FALSE(capability.ask());
    EXPECT_EQ(registryGets(host), 0);
}

TEST(NewLayerCapability, TheProcessWideCacheIsAskedOnlyOnce) {
    host::FilterHost host(host::Document::rgb(8, 8));
    host.setRegistryEntry(plugin::texts::newLayerRegistryKey, host::ActionDescriptor());
    const BoundHost bound(host);
    const bool first = plugin::NewLayerCapable();
    const int gets = registryGets(host);
    EXPECT_EQ(plugin::NewLayerCapable(), first);
    EXPECT_EQ(registryGets(host), gets);
}

TEST(HostPropertySet, ReadsTheIntegerPropertyOfTheHost) {
    struct Case {
        std::optional<std::intptr_t> value;
        bool expected;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}, Case{-1, true},
                          Case{std::intptr_t{1} << 40, true}, Case{std::nullopt, false}}) {
        host::FilterHost host(host::Document::rgb(8, 8));
        const std::uint32_t key = hostapi::propRecordingInProgress;
        if (c.value) {
            host.setProperty(key, *c.value);
        } else {
            host.removeProperty(key);
        }
        const BoundHost bound(host);
        EXPECT_EQ(plugin::HostPropertySet(key), c.expected);
        ASSERT_EQ(host.records().propertyGets.size(), 1U);
        const host::PropertyCall& read = host.records().propertyGets.front();
        EXPECT_EQ(read.signature, hostapi::photoshopSignature);
        EXPECT_EQ(read.key, key);
        EXPECT_EQ(read.index, 0);
    }
}

TEST(HostPropertySet, IsFalseWithoutPropertyCallbacks) {
    host::HostOptions options;
    options.propertyProcs = false;
    host::FilterHost host(host::Document::rgb(8, 8), options);
    host.setProperty(hostapi::propPlayInProgress, 1);
    const BoundHost bound(host);
    EXPECT_FALSE(plugin::HostPropertySet(hostapi::propPlayInProgress));
}

TEST(ColorServicesTable, RecordsWhichPairsTheHostConverts) {
    host::FilterHost host(host::Document::rgb(8, 8));
    host.setAllColorConversionsSupported(true);
    host.setColorConversionSupported(hostapi::colorSpaceRGB, hostapi::colorSpaceCMYK, false);
    host.setColorConversionSupported(hostapi::colorSpaceGray, hostapi::colorSpaceGray, false);
    host.beginApplication();
    plugin::ColorServicesTable table;
    table.probe(&host.record());
    EXPECT_TRUE(table.probed());
    EXPECT_FALSE(table.supports(hostapi::colorSpaceRGB, hostapi::colorSpaceCMYK));
    EXPECT_FALSE(table.supports(hostapi::colorSpaceGray, hostapi::colorSpaceGray));
    EXPECT_TRUE(table.supports(hostapi::colorSpaceCMYK, hostapi::colorSpaceRGB));
    EXPECT_TRUE(table.supports(hostapi::colorSpaceRGB, hostapi::colorSpaceGray));
    // Spaces outside the three are never supported.
    EXPECT_FALSE(table.supports(hostapi::colorSpaceLab, hostapi::colorSpaceRGB));
    EXPECT_FALSE(table.supports(hostapi::colorSpaceRGB, hostapi::colorSpaceHSB));

    // Probed once: a second probe calls nothing and changes nothing.
    host.setAllColorConversionsSupported(true);
    table.probe(&host.record());
    EXPECT_EQ(host.records().colorServices.size(), 9U);
    EXPECT_FALSE(table.supports(hostapi::colorSpaceRGB, hostapi::colorSpaceCMYK));
}

std::vector<unsigned char> capturedInfo;

hostapi::OSErr captureInfo(hostapi::ColorServicesInfo* info) {
    capturedInfo.assign(reinterpret_cast<unsigned char*>(info),
                        reinterpret_cast<unsigned char*>(info) + sizeof *info);
    return 0;
}

TEST(ColorServicesTable, HandsTheHostAFullyInitialisedBlock) {
    hostapi::FilterRecord record{};
    record.colorServices = &captureInfo;
    capturedInfo.clear();
    plugin::ColorServicesTable table;
    table.probe(&record);
    ASSERT_EQ(capturedInfo.size(), 56U);
    hostapi::ColorServicesInfo info{};
    std::memcpy(&info, capturedInfo.data(), sizeof info);
    EXPECT_EQ(info.infoSize, 56);
    EXPECT_EQ(info.selector, hostapi::colorServicesConvertColor);
    // The last pair probed: CMYK to CMYK.
    EXPECT_EQ(info.sourceSpace, hostapi::colorSpaceCMYK);
    EXPECT_EQ(info.resultSpace, hostapi::colorSpaceCMYK);
    // Everything else is zero, the pointer-sized selector parameter whole.
    EXPECT_EQ(std::vector<unsigned char>(capturedInfo.begin() + 10, capturedInfo.begin() + 32),
              std::vector<unsigned char>(22, 0));
    EXPECT_EQ(std::vector<unsigned char>(capturedInfo.begin() + 40, capturedInfo.end()),
              std::vector<unsigned char>(16, 0));
    EXPECT_EQ(std::vector<int16>(info.colorComponents, info.colorComponents + 4),
              (std::vector<int16>{50, 100, 150, 200}));
}

TEST(ShowErrorMessage, ShowsUtf8TextsUnchanged) {
    auto watcher = platform::watchMessageBoxes();
    const std::string title = plugin::texts::errorTitle;
    const std::string text = "Gr\xc3\xb6\xc3\x9f"
                             "e \xe2\x80\x99 \xe6\x8f\x92\xe4\xbb\xb6";
    plugin::ShowErrorMessage(title, text, nullptr);
    const std::vector<platform::MessageBoxRecord> boxes = watcher->take();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].title, title);
    EXPECT_EQ(boxes[0].text, text);
}

} // namespace
