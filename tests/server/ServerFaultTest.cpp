// The reference server misbehaving on purpose, and the server as a peer that
// trusts nothing the plug-in wrote.
#include "PluginStandIn.h"
#include "ServerSession.h"
#include "TestSupport.h"
#include "ipc/Errors.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/ProxyChannel.h"
#include "ipc/QueueNames.h"
#include "platform/Clock.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace server_testing;

namespace {

TestDocument fourTiles() {
    TestDocument document;
    document.width = 4;
    document.height = 4;
    document.effective = WireRect{0, 4, 0, 4};
    document.pixels.assign(48, 100); // 4 x 4 pixels of 3 samples
    return document;
}

void claimSize(ipc::IPCMemoryBuffer& buffer, std::int64_t size) {
    std::memcpy(buffer.data() - ipc::IPCMemoryBuffer::headerSize, &size, sizeof size);
}

} // namespace

TEST(ReferenceServerFaults, DiesAtTheChosenStep) {
    // How far the plug-in gets before the server dies, and what it waits for
    // in vain.
    enum class Reach { ping, settingsSize, render, tile, renderEnd };
    struct Case {
        std::string step;
        Reach reach;
    };
    const std::vector<Case> cases = {
        {"start", Reach::ping},
        {"request:0", Reach::ping},
        {"request:14", Reach::settingsSize},
        {"request:23", Reach::render},
        {"tile:1", Reach::tile},
        {"after-render", Reach::renderEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        PluginStandIn plugin;
        ASSERT_TRUE(
            plugin.launch({{"SOLVANTA_SERVER_DIE", c.step}, {"SOLVANTA_SERVER_TILE", "2"}}));
        if (c.reach == Reach::ping) {
            EXPECT_FALSE(plugin.connect(10000)) << "no answer to the ping";
            EXPECT_EQ(plugin.waitForExit(), refserver::exitDiedOnPurpose);
            continue;
        }
        ASSERT_TRUE(plugin.connect());
        TestDocument document = fourTiles();
        ASSERT_TRUE(plugin.send(document.describe()));
        if (c.reach == Reach::settingsSize) {
            EXPECT_FALSE(plugin.settingsSize()) << "no answer to 14";
        } else {
            ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
            Cell cell{};
            int writes = 0;
            bool ended = false;
            while (plugin.awaitRequest(cell, 10000)) {
                const std::int32_t selector = cell.selector();
                if (selector == msg::readInput) {
                    plugin.respond(emptyRecord<msgReadInputResponse>(msg::readInputResponse));
                } else if (selector == msg::writeOutput) {
                    ++writes;
                    plugin.send(emptyRecord<msgWriteOutputResponse>(msg::writeOutputResponse));
                } else if (selector == msg::finish) {
                    ended = true;
                }
            }
            EXPECT_EQ(writes, c.reach == Reach::render ? 0 : c.reach == Reach::tile ? 1 : 4);
            EXPECT_EQ(ended, c.reach == Reach::renderEnd);
        }
        EXPECT_EQ(plugin.waitForExit(), refserver::exitDiedOnPurpose);
        EXPECT_TRUE(plugin.logContains("fault: dying at " + c.step)) << plugin.log();
    }
}

TEST(ReferenceServerFaults, FallsSilentButStaysAlive) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_SILENT", "request:14"}}));
    ASSERT_TRUE(plugin.connect());
    Cell cell{};
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::getParametersSize)));
    EXPECT_FALSE(plugin.awaitAnswer(cell, 1500)) << "no answer to 14";
    EXPECT_TRUE(plugin.serverRunning());
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::endConnection)));
    EXPECT_FALSE(plugin.waitForExit(1000)) << "not even 25 is read";
    EXPECT_TRUE(plugin.logContains("fault: silent")) << plugin.log();
}

TEST(ReferenceServerFaults, AnswersWithTheWrongRecord) {
    struct Case {
        std::int32_t request;
        std::int32_t wrongAnswer;
    };
    for (const Case& c : {Case{msg::ping, msg::getParametersSizeResponse},
                          Case{msg::getParametersSize, msg::pingResponse},
                          Case{msg::getNewLayerParameters, msg::pingResponse}}) {
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_WRONG_ANSWER", std::to_string(c.request)}}));
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(c.request)));
        Cell cell{};
        ASSERT_TRUE(plugin.awaitAnswer(cell)) << c.request;
        EXPECT_EQ(cell.selector(), c.wrongAnswer) << c.request;
        if (c.request != msg::ping) {
            EXPECT_TRUE(plugin.sync()) << "only the chosen request is answered wrongly";
        }
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::endConnection)));
        EXPECT_EQ(plugin.waitForExit(), 0U);
    }
}

TEST(ReferenceServerFaults, SendsASelectorThePluginHasNoHandlerFor) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_UNKNOWN", "request:7"}}));
    ASSERT_TRUE(plugin.connect());
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startInteractive)));
    Cell cell{};
    ASSERT_TRUE(plugin.awaitRequest(cell));
    EXPECT_EQ(cell.selector(), 26);
    ASSERT_TRUE(plugin.awaitRequest(cell));
    EXPECT_EQ(cell.selector(), msg::finish) << "then the run goes on";
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerFaults, FloodsTheQueueWithProgressReports) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch(
        {{"SOLVANTA_SERVER_FLOOD", "request:23"}, {"SOLVANTA_SERVER_FLOOD_COUNT", "30"}}));
    ASSERT_TRUE(plugin.connect());
    TestDocument document = fourTiles();
    ASSERT_TRUE(plugin.send(document.describe()));
    ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
    // Nobody reads for a while: the ten cells fill and the server waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    Cell cell{};
    for (std::int32_t i = 0; i < 30; ++i) {
        ASSERT_TRUE(plugin.awaitRequest(cell)) << i;
        ASSERT_EQ(cell.selector(), msg::progress) << i << "\n" << plugin.log();
        EXPECT_EQ(cell.as<msgProgress>().done, i);
        EXPECT_EQ(cell.as<msgProgress>().total, 30);
    }
    const RenderTranscript transcript = plugin.serveRender(document);
    EXPECT_EQ(transcript.endSelector, msg::finish)
        << "the render follows the flood; code " << transcript.endCode << "\n"
        << plugin.log();
    EXPECT_FALSE(plugin.logContains("flood stopped")) << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerFaults, ExitsWhenThePluginsProcessIsGone) {
    // A stand-in plug-in in a process of its own starts the server, keeps it
    // (or not) and ends without sending 25.
    for (const std::string mode : {"plain", "keep", "silent"}) {
        SCOPED_TRACE(mode);
        const std::string logPath = temporaryPath("solvanta-client-" + mode);
        const ScopedEnvironment environment({{"SOLVANTA_SERVER_LOG", logPath}});
        const auto client = testing_support::startHelper("server_test_client", mode);
        ASSERT_TRUE(client);
        EXPECT_EQ(testing_support::finishHelper(*client, 30000), 0U);
        // The server looks at the plug-in's process every couple of seconds.
        const std::string exitLine = "exit " + std::to_string(refserver::exitClientGone);
        const std::uint32_t start = platform::tickCount();
        std::string log;
        while (platform::tickCount() - start < 15000) {
            log = fileText(logPath);
            if (log.find(exitLine) != std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_NE(log.find(mode == "keep" ? "is gone (kept)" : "is gone"), std::string::npos)
            << log;
        EXPECT_NE(log.find(exitLine), std::string::npos) << log;
        std::remove(logPath.c_str());
    }
}

TEST(ReferenceServerLifetime, EndsAtOnceOnACommandLineItCannotServe) {
    struct Case {
        std::string arguments;
        std::uint32_t exitCode;
    };
    const std::vector<Case> cases = {
        {"", refserver::exitBadCommandLine},
        {" -server:1", refserver::exitBadCommandLine},
        {" -server:1 -clientpid:abc", refserver::exitBadCommandLine},
        {" -server:1 -clientpid:12 -verbose", refserver::exitBadCommandLine},
        // No process of that id can be opened: nobody could ever talk to it.
        {" -server:1 -clientpid:2147483646", refserver::exitClientGone},
    };
    for (const Case& c : cases) {
        const auto server = testing_support::startHelper("solvanta-server", c.arguments);
        ASSERT_TRUE(server);
        EXPECT_EQ(testing_support::finishHelper(*server, 15000), c.exitCode) << c.arguments;
    }
}

TEST(ReferenceServerLifetime, EndsAfterTheIdleLimit) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_IDLE_MS", "300"}}));
    ASSERT_TRUE(plugin.connect());
    EXPECT_EQ(plugin.waitForExit(10000), refserver::exitIdle);
    EXPECT_TRUE(plugin.logContains("idle for 300 ms")) << plugin.log();
}

TEST(ReferenceServerUntrustedPeer, NamesAreReadOnlyWithinTheirFields) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch());
    ASSERT_TRUE(plugin.connect());
    // A name that fills its 32-byte field with no room for a NUL, followed in
    // the cell by more letters: only the field counts.
    const std::string name = testing_support::uniqueName("fullfield") + std::string(32, 'n');
    const std::string fullName = name.substr(0, 32);
    ipc::IPCMemoryBuffer text(ipc::create, fullName, "", 8, ipc::UniqueSuffix::none);
    std::memcpy(text.data(), "invert=1", 8);
    unsigned char bytes[64];
    std::memset(bytes, 'X', sizeof bytes);
    const std::int32_t selector = msg::setParameters;
    std::memcpy(bytes, &selector, sizeof selector);
    std::memcpy(bytes + 4, fullName.data(), 32);
    ASSERT_TRUE(plugin.sendBytes(bytes, sizeof bytes));
    Cell cell{};
    ASSERT_TRUE(plugin.awaitAnswer(cell));
    ASSERT_EQ(cell.selector(), msg::setParametersResponse);
    EXPECT_EQ(cell.as<msgSetParametersResponse>().status, 0) << plugin.log();
    EXPECT_EQ(plugin.fetchSettings(), "0exposure=0;contrast=1;saturation=1;invert=1");
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerUntrustedPeer, ASizeThatDoesNotFitTheMappingFailsOnlyThatExchange) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch());
    ASSERT_TRUE(plugin.connect());
    // Longer than a page, the unit in which some systems map.
    const std::string layer(5000, 'L');
    ASSERT_EQ(plugin.storeSettings("exposure=1;layer=" + layer), 0);
    const std::string before = "0exposure=1;contrast=1;saturation=1;invert=0;layer=" + layer;

    // Settings from a buffer whose header claims far more than is mapped.
    for (const std::int64_t claim : {std::int64_t{1} << 30, std::int64_t{-8}}) {
        ipc::IPCMemoryBuffer lying(ipc::create, "SetParams", testing_support::uniqueName("lie"), 8,
                                   ipc::UniqueSuffix::none);
        std::memcpy(lying.data(), "invert=1", 8);
        claimSize(lying, claim);
        auto request = emptyRecord<msgSetParameters>(msg::setParameters);
        copyName(request.bufferName, lying.name());
        const auto answer =
            plugin.post<msgSetParametersResponse>(request, msg::setParametersResponse);
        ASSERT_TRUE(answer) << claim;
        EXPECT_NE(answer->status, 0) << claim;
    }
    // Settings into a buffer too small for them.
    ipc::IPCMemoryBuffer small(ipc::create, "GetParams", testing_support::uniqueName("small"), 3,
                               ipc::UniqueSuffix::none);
    auto get = emptyRecord<msgGetParameters>(msg::getParameters);
    copyName(get.bufferName, small.name());
    const auto tooSmall = plugin.post<msgGetParametersResponse>(get, msg::getParametersResponse);
    ASSERT_TRUE(tooSmall);
    ASSERT_LT(small.capacity(), before.size());
    EXPECT_NE(tooSmall->status, 0);
    // A buffer that does not exist.
    auto missing = emptyRecord<msgSetParameters>(msg::setParameters);
    copyName(missing.bufferName, testing_support::uniqueName("nosuch"));
    const auto notThere =
        plugin.post<msgSetParametersResponse>(missing, msg::setParametersResponse);
    ASSERT_TRUE(notThere);
    EXPECT_NE(notThere->status, 0);

    // An ICC profile buffer that lies about its size is not used.
    ipc::IPCMemoryBuffer profile(ipc::create, "", testing_support::uniqueName("icc"), 16,
                                 ipc::UniqueSuffix::none);
    claimSize(profile, std::int64_t{1} << 32);
    TestDocument document = fourTiles();
    msgDocumentInfo info = document.describe();
    copyName(info.iccProfileName, profile.name());
    ASSERT_TRUE(plugin.send(info));

    EXPECT_EQ(plugin.fetchSettings(), before) << "the failed exchanges changed nothing";
    EXPECT_TRUE(plugin.logContains("iccRejected=")) << plugin.log();
    EXPECT_TRUE(plugin.serverRunning());
    EXPECT_EQ(plugin.endConnection(), 0U);
}
