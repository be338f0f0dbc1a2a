// The reference server as a second process, driven by a test that plays the
// plug-in with plain transport objects and the protocol's records: the
// settings exchanges and what the interactive run asks of the plug-in.
#include "PluginStandIn.h"
#include "ipc/IPCMemoryBuffer.h"
#include "proxy/NamedBuffers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace server_testing;

namespace {

// The region a preview of these effective bounds reads and shows.
const WireRect previewBounds{2, 6, 1, 4};

} // namespace

TEST(ReferenceServer, SettingsTravelBothWaysBehindTheServersNewLayerChoice) {
    struct Case {
        std::string initial;
        std::string handedBack;
    };
    const std::vector<Case> cases = {
        {"1invert=1", "1exposure=0;contrast=1;saturation=1;invert=1"},
        {"contrast=0.5", "0exposure=0;contrast=0.5;saturation=1;invert=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.initial);
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.start({{"SOLVANTA_SERVER_SETTINGS", c.initial}}));
        EXPECT_EQ(plugin.fetchSettings(), c.handedBack);
        // The text announced by 14 is the one 12 delivers, even when 10 came
        // in between; 10 replaces the parameters, never the choice.
        const std::optional<std::int32_t> announced = plugin.settingsSize();
        ASSERT_TRUE(announced);
        EXPECT_EQ(plugin.storeSettings("exposure=1;layer=Somewhat longer layer name"), 0);
        EXPECT_EQ(plugin.fetchSettings(*announced), c.handedBack);
        EXPECT_EQ(
            plugin.fetchSettings(),
            c.handedBack.substr(0, 1) +
                "exposure=1;contrast=1;saturation=1;invert=0;layer=Somewhat longer layer name");
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}

TEST(ReferenceServer, AnInteractiveRunShowsAnAdjustedPreview) {
    PluginStandIn plugin;
    ASSERT_TRUE(
        plugin.start({{"SOLVANTA_SERVER_PREVIEW", "1"}, {"SOLVANTA_SERVER_SETTINGS", "invert=1"}}));
    TestDocument document = makeDocument(6, 4);
    document.effective = previewBounds;
    ASSERT_TRUE(plugin.send(document.describe()));
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startInteractive)));

    Cell cell{};
    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    ASSERT_EQ(cell.selector(), msg::readInput);
    const auto read = cell.as<msgReadInputRequest>();
    EXPECT_TRUE(sameRect(read.rect, previewBounds));
    ipc::IPCMemoryBuffer* source = &plugin.buffer(msg::fieldText(read.bufferName));
    const std::size_t sourceBytes = 36; // 4 x 3 pixels of 3 samples
    ASSERT_TRUE(source->contains(0, sourceBytes));
    std::memset(source->data(), 40, sourceBytes);
    ASSERT_TRUE(plugin.respond(emptyRecord<msgReadInputResponse>(msg::readInputResponse)));

    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    ASSERT_EQ(cell.selector(), msg::display);
    const auto display = cell.as<msgDisplayRequest>();
    EXPECT_TRUE(sameRect(display.rect, previewBounds));
    EXPECT_EQ(msg::fieldText(display.sourceName), source->name());
    EXPECT_EQ(display.rowBytes, 12);
    EXPECT_EQ(display.colBytes, 3);
    EXPECT_EQ(display.bytesPerSample, 1);
    EXPECT_EQ(display.colorChannels, 3);
    EXPECT_EQ(display.inPlace, 0);
    EXPECT_EQ(display.resultBytesPerPixel, 4);
    EXPECT_EQ(source->data()[0], 215) << "the preview shows the adjusted pixels";
    const ipc::IPCMemoryBuffer* result = &plugin.buffer(msg::fieldText(display.resultName));
    EXPECT_TRUE(result->contains(0, 48)) << "4 x 3 pixels of 4 bytes";
    ASSERT_TRUE(plugin.respond(emptyRecord<msgDisplayResponse>(msg::displayResponse)));

    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    EXPECT_EQ(cell.selector(), msg::finish);
    ASSERT_TRUE(plugin.sync());
    EXPECT_TRUE(plugin.logContains("preview 4x3 answered=0 view=" + result->name()))
        << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServer, AnInteractiveRunAsksForAColourStartingFromTheForeground) {
    for (const std::string request : {"pick", "convert"}) {
        SCOPED_TRACE(request);
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.start({{"SOLVANTA_SERVER_COLOR", request}}));
        ASSERT_TRUE(plugin.send(hostSettings()));
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startInteractive)));
        Cell cell{};
        ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
        // Both requests start alike: the space, then the components.
        ASSERT_EQ(cell.selector(), request == "pick" ? msg::pickColor : msg::convertColor);
        const auto asked = cell.as<msgPickColorRequest>();
        EXPECT_EQ(asked.space, 0);
        EXPECT_EQ(std::vector<std::uint16_t>(asked.components, asked.components + 4),
                  (std::vector<std::uint16_t>{10, 20, 30, 255}));
        if (request == "pick") {
            auto picked = emptyRecord<msgPickColorResponse>(msg::pickColor);
            picked.components[0] = 1;
            ASSERT_TRUE(plugin.respond(picked));
        } else {
            EXPECT_EQ(cell.as<msgConvertColorRequest>().targetSpace, 4);
            auto converted = emptyRecord<msgConvertColorResponse>(msg::convertColor);
            converted.components[0] = 20;
            converted.targetSpace = 4;
            ASSERT_TRUE(plugin.respond(converted));
        }
        ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
        EXPECT_EQ(cell.selector(), msg::finish);
        ASSERT_TRUE(plugin.sync());
        EXPECT_TRUE(plugin.logContains(
            request == "pick" ? "colour picked space=0 components=1,0,0,0 failed=0"
                              : "colour converted from=10,20,30,255 space=4 components=20,0,0,0"))
            << plugin.log();
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}
