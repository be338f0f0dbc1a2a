// Whole applications of the filter as a user meets them: the host stand-in
// loads the plug-in library, which launches the reference server as a second
// process and serves its requests. The server's adjustment is an inversion,
// checked pixel by pixel against a computation of this test's own.

#include "ProxyTestSupport.h"
#include "host/ActionDescriptor.h"
#include "host/Document.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "platform/Process.h"
#include "plugin/Texts.h"
#include "proxy/HostProbes.h"
#include "proxy/ParameterMap.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
using host::ApplicationResult;
using host::Document;
namespace keys = proxy::parameterKeys;

constexpr const char* invert = "invert=1";

std::uint32_t key(std::int32_t code) {
    return static_cast<std::uint32_t>(code);
}

// A selection that fades in from the left, none in the first rows.
std::vector<std::uint8_t> fadingSelection(int width, int height) {
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width * height));
    for (int y = 2; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            mask[static_cast<std::size_t>(y * width + x)] =
                static_cast<std::uint8_t>(std::min(255, x * 37));
        }
    }
    return mask;
}

// The inversion the server applies, moved from each sample towards its
// inverse by the selection at the document's depth.
std::uint32_t invertedUnder(std::uint32_t sample, std::uint8_t selection, int depth) {
    const double full = depth == 16 ? 32768.0 : 255.0;
    const double weight =
        depth == 16 ? ((selection * 32768U + 128U) / 255U) / 32768.0 : selection / 255.0;
    const double blended = sample + (full - 2.0 * sample) * weight;
    return static_cast<std::uint32_t>(std::floor(blended + 0.5));
}

// Every colour sample of `after` is `before` inverted under the selection;
// alpha is untouched.
void expectInverted(const Document& before, const Document& after) {
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const std::uint8_t selected = before.hasSelection() ? before.selection(x, y) : 255;
            for (int p = 0; p < before.planes(); ++p) {
                const std::uint32_t original = before.sample(x, y, p);
                const std::uint32_t expected =
                    p < before.colorChannels() ? invertedUnder(original, selected, before.depth())
                                               : original;
                ASSERT_EQ(after.sample(x, y, p), expected)
                    << "at " << x << ',' << y << " plane " << p;
            }
        }
    }
}

void expectUnchanged(const Document& before, const Document& after) {
    ASSERT_EQ(before.rowBytes() * static_cast<std::size_t>(before.height()),
              after.rowBytes() * static_cast<std::size_t>(after.height()));
    EXPECT_TRUE(
        std::equal(before.data(),
                   before.data() + before.rowBytes() * static_cast<std::size_t>(before.height()),
                   after.data()));
}

std::string settingsOf(const host::ActionDescriptor& descriptor) {
    const std::optional<std::u16string> settings = descriptor.text(key(keys::settingsText));
    return settings ? text::utf8FromUtf16(*settings) : std::string();
}

class FilterRun : public ReferenceServerTest {
protected:
    // A host holding `d` with the product's plug-in loaded.
    std::unique_ptr<host::FilterHost> loaded(Document d, host::HostOptions options = {}) {
        auto host = std::make_unique<host::FilterHost>(std::move(d), std::move(options));
        std::string error;
        EXPECT_TRUE(host->loadPlugin(besideTest(SOLVANTA_PLUGIN_FILE), error)) << error;
        return host;
    }

    bool logged(const std::string& fragment) const { return log().contains(fragment); }
};

TEST_F(FilterRun, AnAcceptedEditLandsInTheLayerUnderTheSelection) {
    setServerEnvironment({{"SOLVANTA_SERVER_EDIT", invert}, {"SOLVANTA_SERVER_TILE", "7"}});
    struct Case {
        int depth;
        bool alpha;
        bool selection;
    };
    for (const Case c : {Case{8, false, false}, Case{8, true, false}, Case{8, false, true},
                         Case{8, true, true}, Case{16, false, false}, Case{16, true, false},
                         Case{16, false, true}, Case{16, true, true}}) {
        SCOPED_TRACE(std::to_string(c.depth) + (c.alpha ? " alpha" : "") +
                     (c.selection ? " selection" : ""));
        startNewLog();
        Document before = patternedDocument(19, 13, c.depth, c.alpha);
        if (c.selection) {
            before.setSelection(fadingSelection(19, 13));
        }
        auto host = loaded(before);
        const ApplicationResult result = host->apply();
        ASSERT_EQ(result.result, 0) << "failed selector " << result.failedSelector;
        expectInverted(before, host->document());

        const auto recorded = host->recordedDescriptor();
        ASSERT_TRUE(recorded);
        EXPECT_NE(settingsOf(*recorded).find(invert), std::string::npos);
        EXPECT_TRUE(host->parameters());
        EXPECT_TRUE(host->messageBoxes().empty());
        EXPECT_TRUE(host->records().faults.empty()) << host->records().faults.front();
        EXPECT_TRUE(logged("interactive end selector=5"));
        EXPECT_TRUE(log().waitFor("end-connection"));
        // The host's progress bar reached its end.
        ASSERT_FALSE(host->records().progress.empty());
        EXPECT_EQ(host->records().progress.back().done, 10000);
    }
}

TEST_F(FilterRun, ACancelledEditChangesNothingAndRecordsNothing) {
    setServerEnvironment({{"SOLVANTA_SERVER_USER", "cancel"}, {"SOLVANTA_SERVER_EDIT", invert}});
    const Document before = patternedDocument(8, 6, 8);
    auto host = loaded(before);
    EXPECT_EQ(host->apply().result, 1);
    expectUnchanged(before, host->document());
    EXPECT_FALSE(host->recordedDescriptor());
    EXPECT_FALSE(host->parameters());
    EXPECT_TRUE(logged("interactive end selector=6"));
    EXPECT_TRUE(log().waitFor("end-connection"));
    EXPECT_FALSE(logged("settings-get"));
}

TEST_F(FilterRun, AnActionReplaysTheRecordedSettingsWithoutTheDialog) {
    setServerEnvironment({{"SOLVANTA_SERVER_EDIT", invert}});
    auto first = loaded(patternedDocument(6, 4, 8));
    ASSERT_EQ(first->apply().result, 0);
    const auto recorded = first->recordedDescriptor();
    ASSERT_TRUE(recorded);

    // A server that would change nothing by itself renders what the action
    // hands it.
    setServerEnvironment({});
    for (const std::int16_t play :
         {hostapi::plugInDialogDontDisplay, hostapi::plugInDialogSilent}) {
        SCOPED_TRACE(play);
        startNewLog();
        host::HostOptions options;
        options.playInfo = play;
        const Document before = patternedDocument(9, 5, 16, true);
        auto host = loaded(before, options);
        host->setDescriptor(recorded);
        ASSERT_EQ(host->apply().result, 0);
        expectInverted(before, host->document());
        EXPECT_FALSE(logged("interactive start"));
        EXPECT_TRUE(logged("settings-set status=0"));
        EXPECT_TRUE(host->messageBoxes().empty());
    }
}

TEST_F(FilterRun, TheRepeatFilterCommandReplaysTheStoredParameters) {
    setServerEnvironment({{"SOLVANTA_SERVER_EDIT", invert}});
    auto host = loaded(patternedDocument(6, 4, 8));
    ASSERT_EQ(host->apply().result, 0);
    ASSERT_TRUE(host->parameters());

    startNewLog();
    setServerEnvironment({});
    host->options().playInfo = hostapi::plugInDialogDontDisplay;
    host->setDescriptor(std::nullopt);
    const Document before = host->document();
    host::ApplicationOptions repeat;
    repeat.parameters = false;
    ASSERT_EQ(host->apply(repeat).result, 0);
    expectInverted(before, host->document());
    EXPECT_FALSE(logged("interactive start"));
}

TEST_F(FilterRun, TheOutputSizeFromTheSettingsDescribesTheDocument) {
    host::HostOptions options;
    options.playInfo = hostapi::plugInDialogDontDisplay;
    auto host = loaded(patternedDocument(10, 10, 8), options);
    host::ActionDescriptor descriptor;
    descriptor.putInteger(key(keys::outputWidth), 800).putInteger(key(keys::outputHeight), 600);
    host->setDescriptor(descriptor);
    ASSERT_EQ(host->apply().result, 0);
    const auto lines = log().linesStartingWith("document ");
    ASSERT_EQ(lines.size(), 1U);
    const auto fields = fieldsOf(lines[0]);
    EXPECT_EQ(fields.at("image"), "0,0,800,600");
    EXPECT_EQ(fields.at("whole"), "0,0,800,600");
    EXPECT_EQ(fields.at("effective"), "0,0,10,10");
}

TEST_F(FilterRun, ADocumentWiderThanSixteenBitsIsServedThroughTheBigDocumentFields) {
    setServerEnvironment({{"SOLVANTA_SERVER_SETTINGS", invert}, {"SOLVANTA_SERVER_TILE", "4096"}});
    host::HostOptions options;
    options.playInfo = hostapi::plugInDialogDontDisplay;
    const Document before = patternedDocument(40000, 3, 8);
    auto host = loaded(before, options);
    ASSERT_EQ(host->apply().result, 0);
    expectInverted(before, host->document());
    for (const host::AdvanceStateCall& delivery : host->records().advanceStates) {
        EXPECT_TRUE(delivery.bigCoordinates);
    }
}

TEST_F(FilterRun, ALockedLayerIsRefusedWithAMessageOnlyWhenTheDialogIsShown) {
    for (const std::int16_t play :
         {hostapi::plugInDialogDisplay, hostapi::plugInDialogDontDisplay}) {
        SCOPED_TRACE(play);
        startNewLog();
        Document before = patternedDocument(8, 8, 8, true);
        before.setProtectedTransparency(true);
        host::HostOptions options;
        options.playInfo = play;
        auto host = loaded(before, options);
        EXPECT_EQ(host->apply().result, 1);
        expectUnchanged(before, host->document());
        // The server was started and told of the document all the same.
        EXPECT_TRUE(logged("document selector=3"));
        EXPECT_FALSE(logged("interactive start"));
        const auto boxes = host->messageBoxes();
        if (play == hostapi::plugInDialogDisplay) {
            ASSERT_EQ(boxes.size(), 1U);
            EXPECT_EQ(boxes[0].title, plugin::texts::errorTitle);
            EXPECT_EQ(boxes[0].text, plugin::texts::editableTransparencyRequired);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        EXPECT_TRUE(log().waitFor("end-connection"));
    }
}

TEST_F(FilterRun, AHostWithoutAServiceTheFilterNeedsStartsNoServer) {
    host::HostOptions options;
    options.colorServices = false;
    const Document before = patternedDocument(4, 4, 8);
    auto host = loaded(before, options);
    EXPECT_EQ(host->apply().result, 1);
    expectUnchanged(before, host->document());
    EXPECT_TRUE(log().lines().empty());
    EXPECT_TRUE(host->messageBoxes().empty());
}

TEST_F(FilterRun, TheServersErrorCodesBecomeResultsAndTheAutomaticPassExplainsThem) {
    struct Case {
        int code;
        bool automaticPass;
        std::int16_t result;
        const char* message; // null: none
    };
    const Case cases[] = {
        {-108, false, -108, nullptr},
        {-12100, false, -108, nullptr},
        {-128, false, 1, nullptr},
        {-7, false, -1, nullptr},
        {-108, true, 1, plugin::texts::outOfMemoryWhileRendering},
        {-12100, true, 1, plugin::texts::outOfMemoryWhileRendering},
        {-128, true, 1, nullptr},
        {-7, true, -1, plugin::texts::generalErrorWhileRendering},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + (c.automaticPass ? " automatic pass" : ""));
        startNewLog();
        setServerEnvironment({{"SOLVANTA_SERVER_RENDER_END", "error:" + std::to_string(c.code)}});
        auto host = loaded(patternedDocument(5, 5, 8));
        if (c.automaticPass) {
            host->setDescriptor(
                host::ActionDescriptor().putBoolean(key(keys::automaticPass), true));
            host->setRegistryEntry(plugin::texts::automaticPassRegistryKey, {});
        }
        EXPECT_EQ(host->apply().result, c.result);
        EXPECT_EQ(logged("interactive start"), !c.automaticPass);
        const auto boxes = host->messageBoxes();
        if (c.message == nullptr) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1U);
            EXPECT_EQ(boxes[0].text, c.message);
        }
    }
}

TEST_F(FilterRun, AnAbortDuringTheRenderStopsTheServerAndEndsTheRunAsCancelled) {
    setServerEnvironment({{"SOLVANTA_SERVER_SETTINGS", invert}, {"SOLVANTA_SERVER_TILE", "8"}});
    host::HostOptions options;
    options.playInfo = hostapi::plugInDialogDontDisplay;
    auto host = loaded(patternedDocument(32, 32, 8), options);
    host->abortAfter(3);
    EXPECT_EQ(host->apply().result, 1);
    EXPECT_TRUE(logged("abort code=1000"));
    EXPECT_TRUE(logged("render end selector=24 code=-128"));
    EXPECT_TRUE(host->messageBoxes().empty());
    EXPECT_TRUE(log().waitFor("end-connection"));
}

TEST_F(FilterRun, AServerThatDiesEndsTheRunWithAGeneralFailureAndNoHang) {
    for (const char* step : {"request:7", "tile:1"}) {
        SCOPED_TRACE(step);
        startNewLog();
        setServerEnvironment({{"SOLVANTA_SERVER_DIE", step}, {"SOLVANTA_SERVER_TILE", "2"}});
        auto host = loaded(patternedDocument(6, 6, 8));
        const ApplicationResult result = host->apply();
        EXPECT_EQ(result.result, -1);
        EXPECT_TRUE(host->messageBoxes().empty());
        EXPECT_TRUE(log().waitFor("fault: dying"));
    }
}

TEST_F(FilterRun, AFailureInsideTheDialogEndsTheWaitAndTheRun) {
    // A request the plug-in has no handler for, while the user edits.
    setServerEnvironment(
        {{"SOLVANTA_SERVER_UNKNOWN", "request:7"}, {"SOLVANTA_SERVER_DELAY_MS", "500"}});
    const Document before = patternedDocument(6, 6, 8);
    auto host = loaded(before);
    EXPECT_EQ(host->apply().result, -1);
    expectUnchanged(before, host->document());
    EXPECT_FALSE(host->recordedDescriptor());
}

TEST_F(FilterRun, ANewLayerIsMadeByTheAutomaticPassOnTheKeptServer) {
    setServerEnvironment({{"SOLVANTA_SERVER_USER", "accept-new-layer"},
                          {"SOLVANTA_SERVER_EDIT", invert + std::string(";layer=Glow")}});
    const Document before = patternedDocument(7, 5, 16, true);
    auto host = loaded(before);
    host->setRegistryEntry(proxy::registryKeys::newLayer, {});

    // The interactive pass leaves the layer alone and keeps the server.
    ASSERT_EQ(host->apply().result, 0);
    expectUnchanged(before, host->document());
    auto recorded = host->recordedDescriptor();
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->text(key(keys::newLayerVersion)), u"6");
    EXPECT_EQ(recorded->boolean(key(keys::newLayerAbFlag)), true);
    EXPECT_EQ(recorded->text(key(keys::layerName)), u"Glow");
    ASSERT_TRUE(recorded->integer(key(keys::serverProcessId)));
    EXPECT_TRUE(log().waitFor("keep-server value=600"));
    EXPECT_FALSE(logged("render "));
    const std::string start = log().linesStartingWith("start ").front();
    EXPECT_EQ(std::to_string(*recorded->integer(key(keys::serverProcessId))),
              fieldsOf(start).at("server"));

    // The component making the layer plays the filter again on it.
    recorded->putBoolean(key(keys::automaticPass), true);
    host->setDescriptor(recorded);
    host->setRegistryEntry(plugin::texts::automaticPassRegistryKey, {});
    ASSERT_EQ(host->apply().result, 0);
    expectInverted(before, host->document());
    EXPECT_EQ(log().linesStartingWith("start ").size(), 1U); // no second server
    EXPECT_TRUE(logged("document selector=4"));
    EXPECT_TRUE(logged("new-layer-flag 1"));
    EXPECT_TRUE(log().waitFor("end-connection"));
    EXPECT_TRUE(host->messageBoxes().empty());
}

} // namespace
