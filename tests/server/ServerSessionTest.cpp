// The reference server as a second process, driven by a test that plays the
// plug-in with plain transport objects and the protocol's records.
#include "PluginStandIn.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/ProxyChannel.h"
#include "platform/Clock.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace server_testing;

namespace {

constexpr const char* neutralText = "exposure=0;contrast=1;saturation=1;invert=0";

msgHostSettings hostSettings() {
    auto settings = emptyRecord<msgHostSettings>(msg::hostSettings);
    settings.constant5 = 1;
    settings.constant6 = 1;
    settings.newLayerCapable = 1;
    settings.constant11 = 1;
    settings.maskFullySelected = 1;
    settings.lissSet = 1;
    settings.constant17 = 1;
    const std::uint16_t background[4] = {255, 254, 253, 255};
    const std::uint16_t foreground[4] = {10, 20, 30, 255};
    std::memcpy(settings.background, background, sizeof background);
    std::memcpy(settings.foreground, foreground, sizeof foreground);
    return settings;
}

TestDocument smallDocument() {
    TestDocument document;
    document.width = 6;
    document.height = 4;
    document.effective = WireRect{0, 6, 0, 4};
    document.pixels.resize(static_cast<std::size_t>(6 * 4 * 3));
    for (std::size_t i = 0; i < document.pixels.size(); ++i) {
        document.pixels[i] = static_cast<std::uint16_t>(i * 9 % 256);
    }
    return document;
}

// A launched server that has answered its first ping.
void launchAndConnect(PluginStandIn& plugin, const Environment& environment = {}) {
    ASSERT_TRUE(plugin.launch(environment));
    ASSERT_TRUE(plugin.connect()) << plugin.log();
}

} // namespace

TEST(ReferenceServer, StartsFromThePluginsCommandLineAndCreatesItsChannelBeforeThePingAnswer) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch());
    // The ping goes into the plug-in channel, which exists before the server.
    Cell cell{};
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::ping)));
    ASSERT_TRUE(plugin.awaitAnswer(cell)) << plugin.log();
    EXPECT_EQ(cell.selector(), msg::pingResponse);
    // Right after the answer the server's channel, named after the server's
    // own process id, opens.
    EXPECT_NO_THROW(ipc::ProxyChannel(ipc::open, plugin.connectionName(), plugin.serverPid()));
    EXPECT_TRUE(plugin.logContains("start connection=" + plugin.connectionName() +
                                   " client=" + std::to_string(platform::currentProcessId()) +
                                   " server=" + std::to_string(plugin.serverPid())))
        << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U) << "25 ends the server with exit code 0";
}

TEST(ReferenceServer, TakesTheHostSettingsAndTheDocumentDescriptionWithoutAnswering) {
    PluginStandIn plugin;
    launchAndConnect(plugin);

    // An ICC profile in a buffer of the plug-in, named in the description.
    const std::string profileBytes = "an ICC profile stand-in";
    ipc::IPCMemoryBuffer profile(ipc::create, "", std::to_string(platform::currentProcessId()),
                                 static_cast<int>(profileBytes.size()), ipc::UniqueSuffix::counter);
    std::memcpy(profile.data(), profileBytes.data(), profileBytes.size());

    TestDocument document = smallDocument();
    document.mask.assign(static_cast<std::size_t>(6 * 4), 255);
    document.effective = WireRect{1, 5, 2, 4};
    msgDocumentInfo info = document.describe();
    // "Bild ä": UTF-16 units copied byte for byte.
    const unsigned char name[] = {'B', 0, 'i', 0, 'l', 0, 'd', 0, ' ', 0, 0xE4, 0};
    std::memcpy(info.documentName, name, sizeof name);
    copyName(info.iccProfileName, profile.name());

    ASSERT_TRUE(plugin.send(hostSettings()));
    ASSERT_TRUE(plugin.send(info));
    // One-way records are not answered: the next answer is the ping's.
    ASSERT_TRUE(plugin.sync());

    const std::string log = plugin.log();
    EXPECT_NE(log.find("host-settings newLayerCapable=1 maskFromTransparency=0 "
                       "maskFullySelected=1 descriptorHadKeys=0 liss=1 plip=0 "
                       "constants=01100011 background=255,254,253,255 "
                       "foreground=10,20,30,255"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("document selector=3 version=1 bytesPerChannel=1 hasSelectionMask=1 "
                       "hasSelection=1 image=0,0,6,4 whole=0,0,6,4 effective=1,2,5,4 model=0 "
                       "channels=3 alpha=0 icc=" +
                       profile.name() + " iccBytes=" + std::to_string(profileBytes.size()) + " "),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("name=Bild \xC3\xA4\n"), std::string::npos) << log;

    // The description of an attach (4) replaces the first one.
    info = document.describe(msg::documentInfoAttached);
    ASSERT_TRUE(plugin.send(info));
    ASSERT_TRUE(plugin.sync());
    EXPECT_TRUE(plugin.logContains("document selector=4 ")) << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServer, SettingsTravelBothWays) {
    PluginStandIn plugin;
    launchAndConnect(plugin);

    // A fresh server holds no settings yet: size 0, and the plug-in asks no
    // further.
    EXPECT_EQ(plugin.settingsSize(), 0);

    EXPECT_EQ(plugin.storeSettings("exposure=0.3;contrast=1.1;saturation=1.2;invert=0"), 0);
    const std::string expected = "0exposure=0.3;contrast=1.1;saturation=1.2;invert=0";
    EXPECT_EQ(plugin.settingsSize(), static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(plugin.fetchSettings(static_cast<std::int32_t>(expected.size())), expected);

    // The text announced by 14 is the one 12 delivers, even when 10 came in
    // between.
    const std::optional<std::int32_t> announced = plugin.settingsSize();
    ASSERT_TRUE(announced);
    EXPECT_EQ(plugin.storeSettings("invert=1;layer=Somewhat longer layer name"), 0);
    EXPECT_EQ(plugin.fetchSettings(*announced), expected);
    EXPECT_EQ(plugin.fetchSettings(),
              "0exposure=0;contrast=1;saturation=1;invert=1;layer=Somewhat longer layer name");

    // An empty text (a buffer of payload size 0) means the neutral settings.
    EXPECT_EQ(plugin.storeSettings(""), 0);
    EXPECT_EQ(plugin.fetchSettings(), std::string("0") + neutralText);
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServer, TheNewLayerChoiceLeadsTheTextItHandsBack) {
    struct Case {
        std::string initial;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"1invert=1", "1exposure=0;contrast=1;saturation=1;invert=1"},
        {"0exposure=2", "0exposure=2;contrast=1;saturation=1;invert=0"},
        {"contrast=0.5", "0exposure=0;contrast=0.5;saturation=1;invert=0"},
    };
    for (const Case& c : cases) {
        PluginStandIn plugin;
        launchAndConnect(plugin, {{"SOLVANTA_SERVER_SETTINGS", c.initial}});
        EXPECT_EQ(plugin.fetchSettings(), c.text) << c.initial;
        // Settings from the plug-in replace the parameters, not the choice.
        EXPECT_EQ(plugin.storeSettings("exposure=1"), 0);
        EXPECT_EQ(plugin.fetchSettings(),
                  c.text.substr(0, 1) + "exposure=1;contrast=1;saturation=1;invert=0");
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}

TEST(ReferenceServer, StaysAfterKeepServerForALaterAttachFromFreshObjects) {
    PluginStandIn plugin;
    launchAndConnect(plugin, {{"SOLVANTA_SERVER_SETTINGS", "1exposure=0.5"}});
    EXPECT_EQ(plugin.fetchSettings(), "1exposure=0.5;contrast=1;saturation=1;invert=0");
    auto keep = emptyRecord<msgKeepServer>(msg::keepServer);
    keep.value = 600;
    ASSERT_TRUE(plugin.send(keep));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(plugin.serverRunning()) << plugin.log();

    // The next invocation knows only the connection name and the server's
    // process id; every object of the first one is gone.
    plugin.attachAgain();
    ASSERT_TRUE(plugin.sync()) << plugin.log();
    ASSERT_TRUE(plugin.send(hostSettings()));
    TestDocument document = smallDocument();
    ASSERT_TRUE(plugin.send(document.describe(msg::documentInfoAttached)));
    auto flag = emptyRecord<msgNewLayerFlag>(msg::newLayerFlag);
    flag.newLayer = 1;
    ASSERT_TRUE(plugin.send(flag));
    // The kept server still holds its settings; the new layer it asked for is
    // what this pass makes, so it asks for no further one.
    EXPECT_EQ(plugin.fetchSettings(), "0exposure=0.5;contrast=1;saturation=1;invert=0");
    // The automatic pass renders on the attached connection.
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
    EXPECT_EQ(plugin.serveRender(document).endSelector, msg::finish);
    EXPECT_NE(document.output, document.pixels) << "exposure 0.5 brightens";
    const std::string log = plugin.log();
    EXPECT_NE(log.find("keep-server value=600"), std::string::npos) << log;
    EXPECT_NE(log.find("new-layer-flag 1"), std::string::npos) << log;
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServer, PlaysTheUserOfAnInteractiveRun) {
    struct Case {
        std::string user;
        std::string edit;
        std::int32_t end;
        std::string settings; // after the run, when accepted
    };
    const std::vector<Case> cases = {
        {"accept", "", msg::finish, "0exposure=0;contrast=1;saturation=1;invert=1"},
        {"accept-new-layer", "", msg::finish, "1exposure=0;contrast=1;saturation=1;invert=1"},
        {"accept", "exposure=-0.5;invert=0", msg::finish,
         "0exposure=-0.5;contrast=1;saturation=1;invert=0"},
        {"cancel", "exposure=-0.5", msg::cancel, ""},
    };
    constexpr std::uint32_t delayMs = 400;
    for (const Case& c : cases) {
        PluginStandIn plugin;
        Environment environment = {{"SOLVANTA_SERVER_USER", c.user},
                                   {"SOLVANTA_SERVER_DELAY_MS", std::to_string(delayMs)},
                                   {"SOLVANTA_SERVER_SETTINGS", "1invert=1"}};
        if (!c.edit.empty()) {
            environment.emplace_back("SOLVANTA_SERVER_EDIT", c.edit);
        }
        launchAndConnect(plugin, environment);
        const std::uint32_t start = platform::tickCount();
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startInteractive)));
        // The plug-in lets the server take the foreground while it waits.
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::bringToFront)));
        Cell cell{};
        ASSERT_TRUE(plugin.awaitRequest(cell)) << c.user << plugin.log();
        EXPECT_EQ(cell.selector(), c.end) << c.user;
        EXPECT_GE(platform::tickCount() - start, delayMs - 20) << "the user took the delay";
        if (c.end == msg::finish) {
            ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::finishAcknowledged)));
            EXPECT_EQ(plugin.fetchSettings(), c.settings) << c.user;
        }
        EXPECT_TRUE(plugin.logContains("bring-to-front")) << plugin.log();
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}

TEST(ReferenceServer, AnInteractiveRunCanAskForAPreviewAndAColour) {
    PluginStandIn plugin;
    launchAndConnect(plugin, {{"SOLVANTA_SERVER_PREVIEW", "1"},
                              {"SOLVANTA_SERVER_COLOR", "pick"},
                              {"SOLVANTA_SERVER_SETTINGS", "invert=1"}});
    ASSERT_TRUE(plugin.send(hostSettings()));
    TestDocument document = smallDocument();
    document.effective = WireRect{2, 6, 1, 4};
    ASSERT_TRUE(plugin.send(document.describe()));
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startInteractive)));

    // The preview reads the region it shows, then asks for its display.
    Cell cell{};
    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    ASSERT_EQ(cell.selector(), msg::readInput);
    const auto read = cell.as<msgReadInputRequest>();
    EXPECT_EQ(read.rect.left, 2);
    EXPECT_EQ(read.rect.right, 6);
    EXPECT_EQ(read.rect.top, 1);
    EXPECT_EQ(read.rect.bottom, 4);
    ipc::IPCMemoryBuffer source(ipc::open, fieldName(read.bufferName));
    const std::size_t sourceBytes = 36; // 4 x 3 pixels of 3 samples
    ASSERT_TRUE(source.contains(0, sourceBytes));
    std::memset(source.data(), 40, sourceBytes);
    ASSERT_TRUE(plugin.respond(emptyRecord<msgReadInputResponse>(msg::readInputResponse)));

    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    ASSERT_EQ(cell.selector(), msg::display);
    const auto display = cell.as<msgDisplayRequest>();
    EXPECT_EQ(fieldName(display.sourceName), source.name());
    EXPECT_EQ(display.rect.left, 2);
    EXPECT_EQ(display.rect.bottom, 4);
    EXPECT_EQ(display.rowBytes, 12);
    EXPECT_EQ(display.colBytes, 3);
    EXPECT_EQ(display.bytesPerSample, 1);
    EXPECT_EQ(display.colorChannels, 3);
    EXPECT_EQ(display.inPlace, 0);
    EXPECT_EQ(display.resultBytesPerPixel, 4);
    EXPECT_EQ(source.data()[0], 215) << "the preview shows the adjusted pixels";
    ipc::IPCMemoryBuffer result(ipc::open, fieldName(display.resultName));
    EXPECT_TRUE(result.contains(0, 48)) << "4 x 3 pixels of 4 bytes";
    ASSERT_TRUE(plugin.respond(emptyRecord<msgDisplayResponse>(msg::displayResponse)));

    // The colour picker starts from the host's foreground colour.
    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    ASSERT_EQ(cell.selector(), msg::pickColor);
    const auto pick = cell.as<msgPickColorRequest>();
    EXPECT_EQ(pick.space, 0);
    EXPECT_EQ(pick.components[0], 10);
    EXPECT_EQ(pick.components[1], 20);
    EXPECT_EQ(pick.components[2], 30);
    auto picked = emptyRecord<msgPickColorResponse>(msg::pickColor);
    picked.components[0] = 1;
    picked.components[1] = 2;
    picked.components[2] = 3;
    ASSERT_TRUE(plugin.respond(picked));

    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    EXPECT_EQ(cell.selector(), msg::finish);
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::finishAcknowledged)));
    ASSERT_TRUE(plugin.sync());
    const std::string log = plugin.log();
    EXPECT_NE(log.find("preview 4x3 answered=0 view=" + result.name()), std::string::npos) << log;
    EXPECT_NE(log.find("colour picked space=0 components=1,2,3,0 failed=0"), std::string::npos)
        << log;
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServer, AnInteractiveRunCanAskForAColourConversion) {
    PluginStandIn plugin;
    launchAndConnect(plugin, {{"SOLVANTA_SERVER_COLOR", "convert"}});
    ASSERT_TRUE(plugin.send(hostSettings()));
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startInteractive)));
    Cell cell{};
    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    ASSERT_EQ(cell.selector(), msg::convertColor);
    const auto convert = cell.as<msgConvertColorRequest>();
    EXPECT_EQ(convert.space, 0);
    EXPECT_EQ(convert.targetSpace, 4);
    EXPECT_EQ(convert.components[2], 30);
    auto converted = emptyRecord<msgConvertColorResponse>(msg::convertColor);
    converted.components[0] = 20;
    converted.targetSpace = 4;
    ASSERT_TRUE(plugin.respond(converted));
    ASSERT_TRUE(plugin.awaitRequest(cell)) << plugin.log();
    EXPECT_EQ(cell.selector(), msg::finish);
    ASSERT_TRUE(plugin.sync());
    EXPECT_TRUE(
        plugin.logContains("colour converted from=10,20,30,255 space=4 components=20,0,0,0"))
        << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U);
}
