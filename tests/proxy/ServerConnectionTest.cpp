// The plug-in's side of a connection to the reference server, a second
// process found through the shortcut beside the tests: launch, ping, the
// records that describe host and document as the server received them,
// settings both ways, the new-layer parameters, a render served by the
// request loop, and a server kept for a later attach.

#include "ProxyTestSupport.h"
#include "TestSupport.h"
#include "host/FilterHost.h"
#include "image/HostImageBuffer.h"
#include "image/VTImageBuffer.h"
#include "ipc/ProxyChannel.h"
#include "ipc/QueueNames.h"
#include "ipc/ServerLaunch.h"
#include "platform/Module.h"
#include "platform/Process.h"
#include "proxy/Errors.h"
#include "proxy/FilterGlobals.h"
#include "proxy/HostProbes.h"
#include "proxy/MessageBuilders.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace proxy_testing;
using proxy::parameterKeys::newLayer;
using proxy::parameterKeys::settingsText;

std::string ownPid() {
    return std::to_string(platform::currentProcessId());
}

// FNV-1a, as the server's log reports the bytes of the profile it read.
std::uint32_t checksum(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t hash = 2166136261U;
    for (const std::uint8_t byte : bytes) {
        hash = (hash ^ byte) * 16777619U;
    }
    return hash;
}

std::string settingsOf(const proxy::ParameterMap& map) {
    return boost::any_cast<std::string>(map.at(settingsText));
}

class ServerConnection : public ReferenceServerTest {};

// The bytes of the latest record with `selector` that a server started with
// SOLVANTA_SERVER_RECORDS=`directory` received.
std::vector<unsigned char> latestRecord(const std::string& directory, std::int32_t selector) {
    const std::string suffix = "-" + std::to_string(selector) + ".bin";
    int latest = -1;
    std::filesystem::path found;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            const int sequence = std::stoi(name.substr(0, name.find('-')));
            if (sequence > latest) {
                latest = sequence;
                found = entry.path();
            }
        }
    }
    if (latest < 0) {
        return {};
    }
    std::ifstream in(found, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename R> std::vector<unsigned char> bytesOf(const R& record) {
    const auto* first = reinterpret_cast<const unsigned char*>(&record);
    return {first, first + sizeof record};
}

TEST_F(ServerConnection, LaunchesTheServerThroughTheShortcutBesideThePlugInAndPingsIt) {
    const std::string path = ipc::getServerPath();
    const std::string expected = testing_support::helperPath("proxy_server_test");
    EXPECT_EQ(path.substr(0, path.rfind(platform::kPathSeparator)),
              expected.substr(0, expected.rfind(platform::kPathSeparator)));
    EXPECT_EQ(path.substr(path.rfind(platform::kPathSeparator) + 1), "Vantorelle Solvanta Q9.lnk");

    FilterGlobals globals;
    connect(globals);
    ASSERT_TRUE(globals.remoteProcess);
    EXPECT_NE(globals.remoteProcessId, 0U);
    EXPECT_EQ(globals.remoteProcess->id(), globals.remoteProcessId);
    const std::uint32_t own = platform::currentProcessId();
    EXPECT_EQ(globals.clientChannel->requestQueueName(),
              ipc::requestQueueName(globals.connectionName, own));
    EXPECT_TRUE(globals.clientChannel->createFlag());
    ASSERT_TRUE(globals.serverChannel);
    EXPECT_EQ(globals.serverChannel->requestQueueName(),
              ipc::requestQueueName(globals.connectionName, globals.remoteProcessId));
    EXPECT_FALSE(globals.serverChannel->createFlag());

    // The server was started with our connection name and process id.
    EXPECT_TRUE(log().contains("start connection=" + globals.connectionName + " client=" +
                               ownPid() + " server=" + std::to_string(globals.remoteProcessId)));
    for (int i = 0; i < 20; ++i) {
        globals.ping();
    }
    EXPECT_EQ(log().linesStartingWith("ping").size(), 21U);
    EXPECT_TRUE(globals.isRemoteAlive());

    globals.endConnection();
    EXPECT_EQ(serverExitCode(globals), 0U);
    EXPECT_TRUE(log().contains("end-connection"));
    EXPECT_FALSE(globals.isRemoteAlive());
    EXPECT_FALSE(globals.broken);
}

TEST_F(ServerConnection, TheServerReceivesTheHostSettingsFieldByField) {
    struct Case {
        const char* what;
        std::intptr_t plip;
        std::intptr_t liss;
        bool descriptorHadKeys;
        bool autolayerRegistered;
        bool maskFromTransparency;
        bool maskFullySelected;
        host::RGB8 background;
        host::RGB8 foreground;
        std::map<std::string, std::string> expected;
    };
    const std::vector<Case> cases = {
        {"plain host",
         0,
         0,
         false,
         false,
         false,
         true,
         {255, 255, 255},
         {0, 0, 0},
         {{"newLayerCapable", "1"},
          {"maskFromTransparency", "0"},
          {"maskFullySelected", "1"},
          {"descriptorHadKeys", "0"},
          {"liss", "0"},
          {"plip", "0"},
          {"background", "255,255,255,255"},
          {"foreground", "0,0,0,255"}}},
        {"action playing",
         1,
         0,
         true,
         false,
         true,
         false,
         {1, 2, 3},
         {250, 128, 7},
         {{"newLayerCapable", "0"},
          {"maskFromTransparency", "1"},
          {"maskFullySelected", "0"},
          {"descriptorHadKeys", "1"},
          {"liss", "0"},
          {"plip", "1"},
          {"background", "1,2,3,255"},
          {"foreground", "250,128,7,255"}}},
        {"automatic pass",
         1,
         0,
         false,
         true,
         false,
         false,
         {9, 9, 9},
         {8, 8, 8},
         {{"newLayerCapable", "0"}, {"plip", "0"}, {"liss", "0"}}},
        {"smart object",
         0,
         7,
         false,
         false,
         false,
         false,
         {0, 0, 0},
         {0, 0, 0},
         {{"newLayerCapable", "0"}, {"liss", "1"}, {"plip", "0"}}},
    };
    const std::string records = temporaryPath("records");
    std::filesystem::create_directories(records);
    setServerEnvironment({{"SOLVANTA_SERVER_RECORDS", records}});
    FilterGlobals globals;
    connect(globals);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::Document document = host::Document::rgb(8, 8);
        document.background = c.background;
        document.foreground = c.foreground;
        host::FilterHost host(document);
        host.setRegistryEntry(proxy::registryKeys::newLayer, host::ActionDescriptor());
        host.setProperty(hostapi::propPlayInProgress, c.plip);
        host.setProperty(hostapi::propLayerIsSmartObject, c.liss);
        BoundHost bound(host);
        gDescriptorHadKeys = c.descriptorHadKeys;
        gAutolayerRegistered = c.autolayerRegistered;
        globals.maskFromTransparency = c.maskFromTransparency;
        globals.maskFullySelected = c.maskFullySelected;
        const std::size_t before = log().linesStartingWith("host-settings").size();
        globals.sendHostSettings();
        globals.ping(); // answered after the settings were taken
        const std::vector<std::string> lines = log().linesStartingWith("host-settings");
        ASSERT_EQ(lines.size(), before + 1);
        std::map<std::string, std::string> fields = fieldsOf(lines.back());
        // Offsets 4 to 7, 9 to 11 and 17 in that order.
        EXPECT_EQ(fields["constants"], "01100011");
        for (const auto& [name, value] : c.expected) {
            EXPECT_EQ(fields[name], value) << name;
        }
        // All 36 bytes, padding included, arrived as the plug-in built them.
        EXPECT_EQ(latestRecord(records, msg::hostSettings),
                  bytesOf(proxy::buildHostSettings(globals)));
    }
    std::filesystem::remove_all(records);
    gDescriptorHadKeys = false;
    gAutolayerRegistered = false;
    globals.endConnection();
    EXPECT_EQ(serverExitCode(globals), 0U);
}

TEST_F(ServerConnection, TheServerReceivesTheDocumentDescriptionAndReadsTheProfile) {
    struct Case {
        const char* what;
        host::Document document;
        proxy::ParameterMap runMap;
        std::int32_t selector;
        std::map<std::string, std::string> expected;
    };
    std::vector<Case> cases;
    {
        host::Document document = host::Document::rgb(48, 40, 16);
        document.addTransparency(32768);
        document.selectRect(host::rectLTRB(8, 6, 40, 30));
        document.name = u"Fr\u00FChling \u6625.psd";
        for (int i = 0; i < 300; ++i) {
            document.iccProfile.push_back(static_cast<std::uint8_t>(i * 13 + 1));
        }
        proxy::ParameterMap runMap;
        runMap[proxy::parameterKeys::outputWidth] = 800;
        runMap[proxy::parameterKeys::outputHeight] = 600;
        cases.push_back({"16-bit layer with selection, profile and output size",
                         document,
                         runMap,
                         3,
                         {{"selector", "3"},
                          {"version", "1"},
                          {"bytesPerChannel", "2"},
                          {"hasSelectionMask", "1"},
                          {"hasSelection", "1"},
                          {"image", "0,0,800,600"},
                          {"whole", "0,0,800,600"},
                          {"effective", "8,6,40,30"},
                          {"model", "0"},
                          {"channels", "3"},
                          {"alpha", "1"},
                          {"icc", ownPid() + "0"},
                          {"iccBytes", "300"},
                          {"iccChecksum", std::to_string(checksum(document.iccProfile))},
                          {"name", "Fr\xC3\xBChling \xE6\x98\xA5.psd"}}});
    }
    {
        host::Document document(host::ColorMode::Duotone, 8, 20, 10);
        document.setWholeSize(30, 25);
        document.name = std::u16string(256, u'n');
        cases.push_back({"duotone with a name too long to copy",
                         document,
                         {},
                         4,
                         {{"selector", "4"},
                          {"bytesPerChannel", "1"},
                          {"hasSelectionMask", "0"},
                          {"hasSelection", "0"},
                          {"image", "0,0,20,10"},
                          {"whole", "0,0,30,25"},
                          {"effective", "0,0,20,10"},
                          {"model", "244"},
                          {"channels", "1"},
                          {"alpha", "0"},
                          {"name", ""}}});
    }
    const std::string records = temporaryPath("records");
    std::filesystem::create_directories(records);
    setServerEnvironment({{"SOLVANTA_SERVER_RECORDS", records}});
    FilterGlobals globals;
    connect(globals);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::FilterHost host(c.document);
        BoundHost bound(host);
        image::HostImageBuffer hostImage(host.record());
        ASSERT_EQ(hostImage.acquireSelectionMask(globals.selectionMask, globals.maskFullySelected,
                                                 globals.maskFromTransparency),
                  0);
        const proxy::DocumentRects rects = proxy::documentRects(c.runMap, hostImage);
        const std::size_t before = log().linesStartingWith("document").size();
        globals.sendDocumentInfo(rects.first, rects.second, c.selector);
        globals.ping();
        const std::vector<std::string> lines = log().linesStartingWith("document");
        ASSERT_EQ(lines.size(), before + 1);
        std::map<std::string, std::string> fields = fieldsOf(lines.back());
        for (const auto& [name, value] : c.expected) {
            EXPECT_EQ(fields[name], value) << name << " in " << lines.back();
        }
        EXPECT_EQ(fields.count("icc"), c.document.iccProfile.empty() ? 0U : 1U);
        EXPECT_EQ(fields.count("iccRejected"), 0U);
        // All 608 bytes, padding included, arrived as the plug-in builds them
        // (built once more here: the profile buffer gets the same name).
        EXPECT_EQ(
            latestRecord(records, c.selector),
            bytesOf(proxy::buildDocumentInfo(globals, rects.first, rects.second, c.selector)));
    }
    std::filesystem::remove_all(records);
    globals.endConnection();
    EXPECT_EQ(serverExitCode(globals), 0U);
}

TEST_F(ServerConnection, SettingsTravelBothWaysWithTheNewLayerChoice) {
    setServerEnvironment({{"SOLVANTA_SERVER_SETTINGS", "1exposure=0.5;invert=1"}});
    FilterGlobals globals;
    connect(globals);

    proxy::ParameterMap fetched = globals.getParameters();
    EXPECT_EQ(fetched.size(), 2U);
    EXPECT_EQ(boost::any_cast<int>(fetched.at(newLayer)), 1);
    EXPECT_EQ(settingsOf(fetched), "exposure=0.5;contrast=1;saturation=1;invert=1");
    const std::string getName = "GetParams" + ownPid() + "0";
    EXPECT_TRUE(
        log().contains("settings-size size=" + std::to_string(1 + settingsOf(fetched).size())));
    EXPECT_TRUE(log().contains("settings-get status=0 buffer=" + getName + " text=1" +
                               settingsOf(fetched)));

    // Only the settings text goes to the server; it replaces the server's
    // settings whole, and the new-layer choice stays the server's own.
    proxy::ParameterMap sent;
    sent[settingsText] = std::string("exposure=-1;saturation=0.5;layer=Warm");
    sent[proxy::fourCharKey("Intn")] = 75;
    sent[newLayer] = 0;
    globals.setParameters(sent);
    EXPECT_TRUE(log().contains("settings-set status=0 buffer=SetParams" + ownPid() +
                               "0 text=exposure=-1;saturation=0.5;layer=Warm"));
    fetched = globals.getParameters();
    EXPECT_EQ(boost::any_cast<int>(fetched.at(newLayer)), 1);
    EXPECT_EQ(settingsOf(fetched), "exposure=-1;contrast=1;saturation=0.5;invert=0;layer=Warm");

    // An empty map sends nothing; a map without the text sends an empty one.
    const std::size_t setsBefore = log().linesStartingWith("settings-set").size();
    globals.setParameters(proxy::ParameterMap());
    globals.ping();
    EXPECT_EQ(log().linesStartingWith("settings-set").size(), setsBefore);
    proxy::ParameterMap withoutText;
    withoutText[proxy::fourCharKey("Intn")] = 75;
    globals.setParameters(withoutText);
    EXPECT_EQ(log().linesStartingWith("settings-set").back(),
              "settings-set status=0 buffer=SetParams" + ownPid() + "0 text=");
    EXPECT_EQ(settingsOf(globals.getParameters()), "exposure=0;contrast=1;saturation=1;invert=0");

    globals.endConnection();
    EXPECT_EQ(serverExitCode(globals), 0U);
}

TEST_F(ServerConnection, ANewLayerChoiceOfZeroAndNoSettingsAtAll) {
    struct Case {
        const char* what;
        const char* settings; // null: the server starts without settings
        std::size_t entries;
    };
    for (const Case& c : {Case{"choice 0", "0contrast=1.25", 2}, Case{"no settings", nullptr, 0}}) {
        SCOPED_TRACE(c.what);
        setServerEnvironment({{"SOLVANTA_SERVER_SETTINGS", c.settings ? c.settings : ""}});
        FilterGlobals globals;
        connect(globals);
        const proxy::ParameterMap fetched = globals.getParameters();
        EXPECT_EQ(fetched.size(), c.entries);
        if (c.settings != nullptr) {
            EXPECT_EQ(boost::any_cast<int>(fetched.at(newLayer)), 0);
            EXPECT_EQ(settingsOf(fetched), "exposure=0;contrast=1.25;saturation=1;invert=0");
        } else {
            globals.ping();
            EXPECT_EQ(log().linesStartingWith("settings-size").back(), "settings-size size=0");
        }
        globals.endConnection();
        EXPECT_EQ(serverExitCode(globals), 0U);
    }
    EXPECT_TRUE(log().linesStartingWith("settings-get").size() == 1U)
        << "no request 12 after a size of 0";
}

TEST_F(ServerConnection, TheNewLayerParametersComeFromTheServersSettings) {
    struct Case {
        const char* settings;
        bool ab;
        bool du;
        bool de;
        std::string fi;
        std::u16string layer;
    };
    const std::vector<Case> cases = {
        {"1invert=1;layer=Caf\xC3\xA9 Nuit", true, true, true, "e0 c1 s1 i1", u"Caf\u00E9 Nuit"},
        {"0", false, false, false, "e0 c1 s1 i0", u"Solvanta Adjustment"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        setServerEnvironment({{"SOLVANTA_SERVER_SETTINGS", c.settings}});
        FilterGlobals globals;
        connect(globals);
        bool ab = !c.ab;
        bool du = !c.du;
        bool de = !c.de;
        std::string fn;
        std::string fi;
        FilterGlobals::LayerName layer;
        layer.fill(0xFFFF);
        globals.getNewLayerParameters(ab, du, de, fn, fi, layer);
        EXPECT_EQ(ab, c.ab);
        EXPECT_EQ(du, c.du);
        EXPECT_EQ(de, c.de);
        EXPECT_EQ(fn, "Solvanta Q9 Reference");
        EXPECT_EQ(fi, c.fi);
        FilterGlobals::LayerName expected{};
        std::copy(c.layer.begin(), c.layer.end(), expected.begin());
        EXPECT_EQ(layer, expected);
        EXPECT_TRUE(log().contains("new-layer-parameters fn=" + fn + " fi=" + fi));
        globals.endConnection();
        EXPECT_EQ(serverExitCode(globals), 0U);
    }
}

TEST_F(ServerConnection, AKeptServerIsAttachedToFromAFreshStateObject) {
    std::string name;
    std::uint32_t serverId = 0;
    {
        FilterGlobals first;
        connect(first);
        first.keepServer();
        EXPECT_FALSE(first.clientChannel->createFlag());
        first.ping();
        EXPECT_TRUE(log().contains("keep-server value=600"));
        name = first.connectionName;
        serverId = first.remoteProcessId;
    }
    // Deleting the state object sent nothing: the server still serves.
    {
        FilterGlobals second;
        EXPECT_TRUE(second.attach(name, serverId));
        EXPECT_EQ(second.connectionName, name);
        EXPECT_EQ(second.remoteProcessId, serverId);
        EXPECT_EQ(second.serverChannel->requestQueueName(), ipc::requestQueueName(name, serverId));
        host::FilterHost host(host::Document::rgb(8, 8));
        host.setRegistryEntry(proxy::registryKeys::newLayer, host::ActionDescriptor());
        BoundHost bound(host);
        second.newLayerFlag = true;
        second.sendHostSettings();
        second.sendNewLayerFlag();
        second.ping();
        EXPECT_TRUE(log().contains("new-layer-flag 1"));
        // Two from the first state object, two from this one.
        EXPECT_EQ(log().linesStartingWith("ping").size(), 4U);
        EXPECT_TRUE(second.isRemoteAlive());
        ASSERT_TRUE(second.remoteProcess);

        // A third state object attached meanwhile to the same name sees the
        // server end and reports it; it never answers false.
        second.endConnection();
        std::shared_ptr<platform::Process> server = second.remoteProcess;
        ASSERT_TRUE(server->waitForExit(20000));
        std::uint32_t code = 1;
        EXPECT_TRUE(server->exitCode(code));
        EXPECT_EQ(code, 0U);
        FilterGlobals third;
        try {
            third.attach(name, serverId, 300);
            ADD_FAILURE() << "attached to a server that has ended";
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), proxy::errors::remoteNotRunning);
        }
    }
    // Once nothing holds the channels any more they are gone.
    FilterGlobals fourth;
    EXPECT_THROW(fourth.attach(name, serverId, 300), std::exception);
}

TEST_F(ServerConnection, TheRequestLoopServesARenderAndTellsTheServerOfAnAbort) {
    setServerEnvironment({{"SOLVANTA_SERVER_TILE", "8"}});
    struct Case {
        const char* what;
        int abortAfter; // 0: the host never reports an abort
        std::int32_t endSelector;
        std::int32_t endCode;
    };
    for (const Case& c :
         {Case{"no abort", 0, msg::finish, 0}, Case{"abort", 3, msg::endWithError, -128}}) {
        SCOPED_TRACE(c.what);
        host::FilterHost host(host::Document::rgb(32, 32));
        host.abortAfter(c.abortAfter);
        BoundHost bound(host);
        FilterGlobals globals;
        connect(globals);
        const image::PixelRect whole(0, 0, 32, 32);
        globals.sendDocumentInfo(whole, whole, msg::documentInfoLaunched);

        // The run's handlers come with the filter run; these play them.
        int reads = 0;
        int writes = 0;
        int progress = 0;
        std::int32_t endSelector = -1;
        std::int32_t endCode = 0;
        globals.registerHandler(msg::readInput, [&](msgBase*) {
            ++reads;
            globals.sendResponse(msgReadInputResponse{{msg::readInputResponse}, 0});
        });
        globals.registerHandler(msg::writeOutput, [&](msgBase*) {
            ++writes;
            globals.sendMessage(msgWriteOutputResponse{{msg::writeOutputResponse}, 0});
        });
        globals.registerHandler(msg::progress, [&](msgBase*) { ++progress; });
        for (const std::int32_t end : {msg::finish, msg::cancel, msg::endWithError}) {
            globals.registerHandler(end, [&](msgBase* request) {
                endSelector = request->selector;
                endCode = static_cast<msgEndWithError*>(request)->code;
                globals.running = false;
            });
        }
        globals.startRender();
        globals.runRequestLoop();
        EXPECT_EQ(endSelector, c.endSelector);
        if (c.endSelector == msg::endWithError) {
            EXPECT_EQ(endCode, c.endCode);
        }
        EXPECT_FALSE(globals.running);
        if (c.abortAfter == 0) {
            EXPECT_EQ(reads, 16);
            EXPECT_EQ(writes, 16);
            EXPECT_EQ(progress, 16);
        } else {
            EXPECT_LT(writes, 16) << "the server stopped early";
            EXPECT_TRUE(log().waitFor("abort code=1000"));
        }
        globals.endConnection();
        EXPECT_EQ(serverExitCode(globals), 0U);
    }
}

} // namespace
