// The reference server misbehaving on purpose, its lifetime, and the server
// as a peer that trusts nothing the plug-in wrote.
#include "PluginStandIn.h"
#include "ServerSession.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Clock.h"
#include "proxy/NamedBuffers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace server_testing;

TEST(ReferenceServerFaults, DiesAtExactlyTheChosenStepOfARender) {
    struct Case {
        std::string step;
        int writes; // before the server died
        bool ended;
    };
    for (const Case& c : {Case{"tile:1", 1, false}, Case{"after-render", 4, true}}) {
        SCOPED_TRACE(c.step);
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.start({{"SOLVANTA_SERVER_DIE", c.step}, {"SOLVANTA_SERVER_TILE", "2"}}));
        ASSERT_TRUE(plugin.send(makeDocument(4, 4).describe()));
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
        Cell cell{};
        int writes = 0;
        bool ended = false;
        while (plugin.awaitRequest(cell, 10000)) {
            if (cell.selector() == msg::readInput) {
                plugin.respond(emptyRecord<msgReadInputResponse>(msg::readInputResponse));
            } else if (cell.selector() == msg::writeOutput) {
                ++writes;
                plugin.send(emptyRecord<msgWriteOutputResponse>(msg::writeOutputResponse));
            } else {
                ended = ended || cell.selector() == msg::finish;
            }
        }
        EXPECT_EQ(writes, c.writes);
        EXPECT_EQ(ended, c.ended);
        EXPECT_EQ(plugin.waitForExit(), refserver::exitDiedOnPurpose);
        EXPECT_TRUE(plugin.logContains("fault: dying at " + c.step)) << plugin.log();
    }
}

TEST(ReferenceServerFaults, FloodsTheQueueWithProgressReportsThenRendersOn) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.start(
        {{"SOLVANTA_SERVER_FLOOD", "request:23"}, {"SOLVANTA_SERVER_FLOOD_COUNT", "30"}}));
    const TestDocument document = makeDocument(4, 4);
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
    EXPECT_EQ(plugin.serveRender(document).endSelector, msg::finish) << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerLifetime, ExitsWhenThePluginsProcessIsGone) {
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
        std::string log = fileText(logPath);
        while (log.find(exitLine) == std::string::npos && platform::tickCount() - start < 15000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            log = fileText(logPath);
        }
        EXPECT_NE(log.find(mode == "keep" ? "is gone (kept)" : "is gone"), std::string::npos)
            << log;
        EXPECT_NE(log.find(exitLine), std::string::npos) << log;
        std::remove(logPath.c_str());
    }
}

TEST(ReferenceServerLifetime, EndsAtOnceOnACommandLineItCannotServe) {
    // No process of id 2147483646 can be opened: nobody could ever talk to it.
    for (const auto& [arguments, exitCode] : std::vector<std::pair<std::string, std::uint32_t>>{
             {" -server:1 -clientpid:12 -verbose", refserver::exitBadCommandLine},
             {" -server:1 -clientpid:2147483646", refserver::exitClientGone}}) {
        const auto server = testing_support::startHelper("solvanta-server", arguments);
        ASSERT_TRUE(server);
        EXPECT_EQ(testing_support::finishHelper(*server, 15000), exitCode) << arguments;
    }
}

TEST(ReferenceServerLifetime, EndsAfterTheIdleLimit) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.start({{"SOLVANTA_SERVER_IDLE_MS", "300"}}));
    EXPECT_EQ(plugin.waitForExit(10000), refserver::exitIdle);
    EXPECT_TRUE(plugin.logContains("idle for 300 ms")) << plugin.log();
}

TEST(ReferenceServerUntrustedPeer, NamesAreReadOnlyWithinTheirFields) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.start());
    // A name that fills its 32-byte field with no room for a NUL, followed in
    // the cell by more letters: only the field counts.
    const std::string fullName =
        (testing_support::uniqueName("fullfield") + std::string(32, 'n')).substr(0, 32);
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
    ASSERT_TRUE(plugin.start());
    ASSERT_EQ(plugin.storeSettings("exposure=1"), 0);

    // Settings from a buffer whose header claims far more than is mapped,
    // or less than nothing, or from no buffer at all.
    for (const std::int64_t claim : {std::int64_t{1} << 30, std::int64_t{-8}, std::int64_t{0}}) {
        ipc::IPCMemoryBuffer lying(ipc::create, "SetParams", testing_support::uniqueName("lie"), 8,
                                   ipc::UniqueSuffix::none);
        std::memcpy(lying.data(), "invert=1", 8);
        claimSize(lying, claim);
        auto request = emptyRecord<msgSetParameters>(msg::setParameters);
        proxy::copyBufferName(request.bufferName,
                              claim == 0 ? testing_support::uniqueName("nosuch") : lying.name());
        const auto answer =
            plugin.post<msgSetParametersResponse>(request, msg::setParametersResponse);
        ASSERT_TRUE(answer) << claim;
        EXPECT_NE(answer->status, 0) << claim;
    }
    // An ICC profile buffer that lies about its size is not used.
    ipc::IPCMemoryBuffer profile(ipc::create, "", testing_support::uniqueName("icc"), 16,
                                 ipc::UniqueSuffix::none);
    claimSize(profile, std::int64_t{1} << 32);
    msgDocumentInfo info = makeDocument(4, 4).describe();
    proxy::copyBufferName(info.iccProfileName, profile.name());
    ASSERT_TRUE(plugin.send(info));

    EXPECT_EQ(plugin.fetchSettings(), "0exposure=1;contrast=1;saturation=1;invert=0")
        << "the failed exchanges changed nothing";
    EXPECT_TRUE(plugin.logContains("iccRejected=")) << plugin.log();
    EXPECT_EQ(plugin.endConnection(), 0U);
}
