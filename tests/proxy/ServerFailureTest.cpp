// Every way the reference server can fail the plug-in's side of the
// connection, played by the server on purpose: it dies before the ping or
// while an answer is awaited, answers the first ping wrongly, stops reading
// its queue, holds a re-used buffer name at a smaller size, or has ended when
// the automatic pass attaches to it. The engine never hangs, and `broken`
// says whether the connection can still be used.

#include "ProxyTestSupport.h"
#include "host/FilterHost.h"
#include "ipc/IPCMemoryBuffer.h"
#include "platform/Process.h"
#include "proxy/Errors.h"
#include "proxy/FilterGlobals.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <boost/function.hpp>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace testing_support;
namespace errors = proxy::errors;

// Exit code of a server that died on purpose.
constexpr std::uint32_t diedOnPurpose = 3;
// Slices of the waits for answers in these tests: a dead server is found
// within a few of them.
constexpr unsigned shortSliceMs = 300;

std::string ownPid() {
    return std::to_string(platform::currentProcessId());
}

// The plug-in's requests that await an answer, each with the selector it
// sends first.
struct Exchange {
    const char* what;
    std::function<void(FilterGlobals&)> run;
};

const std::vector<Exchange>& exchanges() {
    static const std::vector<Exchange> all = {
        {"ping", [](FilterGlobals& g) { g.ping(shortSliceMs); }},
        {"getParameters", [](FilterGlobals& g) { g.getParameters(shortSliceMs); }},
        {"setParameters",
         [](FilterGlobals& g) {
             proxy::ParameterMap map;
             map[proxy::parameterKeys::settingsText] = std::string("exposure=1");
             g.setParameters(map, shortSliceMs);
         }},
        {"getNewLayerParameters",
         [](FilterGlobals& g) {
             bool ab = false;
             bool du = false;
             bool de = false;
             std::string fn;
             std::string fi;
             FilterGlobals::LayerName layer{};
             g.getNewLayerParameters(ab, du, de, fn, fi, layer, shortSliceMs);
         }},
    };
    return all;
}

const Exchange& exchange(const std::string& what) {
    for (const Exchange& e : exchanges()) {
        if (what == e.what) {
            return e;
        }
    }
    throw std::logic_error("no exchange " + what);
}

class ServerFailure : public ReferenceServerTest {
protected:
    // Connects to a server that stops reading its queue, and fills the ten
    // cells of that queue.
    void connectToASilentServerWithAFullQueue(FilterGlobals& globals) {
        setServerEnvironment({{"SOLVANTA_SERVER_SILENT", "request:22"}});
        connect(globals);
        globals.sendNewLayerFlag();
        ASSERT_TRUE(log().waitFor("fault: silent"));
        for (int i = 0; i < 10; ++i) {
            globals.startRender();
        }
    }
};

TEST_F(ServerFailure, AServerThatDiesBeforeThePingIsFoundDead) {
    for (const char* step : {"start", "request:0"}) {
        SCOPED_TRACE(step);
        setServerEnvironment({{"SOLVANTA_SERVER_DIE", step}});
        FilterGlobals globals;
        const auto start = Clock::now();
        EXPECT_EQ(failureOf([&] { connect(globals, shortSliceMs); }), errors::remoteNotRunning);
        EXPECT_LT(millisecondsSince(start), 30000);
        EXPECT_TRUE(globals.broken);
        EXPECT_FALSE(globals.serverChannel) << "the server's channel is never opened";
        EXPECT_NE(globals.remoteProcessId, 0U);
        EXPECT_EQ(serverExitCode(globals), diedOnPurpose);
        EXPECT_EQ(failureOf([&] { globals.endConnection(); }), errors::comsBrokenInSendMessage);
        EXPECT_EQ(failureOf([&] { globals.ping(shortSliceMs); }), errors::comsBroken);
    }
}

TEST_F(ServerFailure, AServerThatDiesWhileAnAnswerIsAwaitedBreaksTheEngine) {
    struct Case {
        const char* dieAt;
        const char* exchange;
    };
    const std::vector<Case> cases = {
        {"request:14", "getParameters"},
        {"request:12", "getParameters"}, // between the size and the text
        {"request:10", "setParameters"},
        {"request:28", "getNewLayerParameters"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.exchange) + " dying at " + c.dieAt);
        setServerEnvironment(
            {{"SOLVANTA_SERVER_DIE", c.dieAt}, {"SOLVANTA_SERVER_SETTINGS", "0exposure=1"}});
        FilterGlobals globals;
        connect(globals);
        const auto start = Clock::now();
        EXPECT_EQ(failureOf([&] { exchange(c.exchange).run(globals); }), errors::remoteNotRunning);
        EXPECT_LT(millisecondsSince(start), 30000);
        EXPECT_TRUE(globals.broken);
        EXPECT_EQ(serverExitCode(globals), diedOnPurpose);
        // Every later request fails at once.
        EXPECT_EQ(failureOf([&] { globals.startRender(); }), errors::comsBrokenInSendMessage);
        EXPECT_EQ(failureOf([&] { exchange(c.exchange).run(globals); }), errors::comsBroken);
    }
}

// The wrong answer to the first ping ends the connection attempt before the
// server's channel is opened.
TEST_F(ServerFailure, AWrongAnswerToTheFirstPingEndsTheConnectionAttempt) {
    setServerEnvironment({{"SOLVANTA_SERVER_WRONG_ANSWER", "0"}});
    FilterGlobals globals;
    EXPECT_EQ(failureOf([&] { connect(globals); }), errors::unexpectedSelector);
    EXPECT_FALSE(globals.broken);
    EXPECT_FALSE(globals.serverChannel);
}

// A server that stops reading: the plug-in's sends give up after their
// time-out, and the engine is broken for its own requests but still answers
// the server's until that queue is full as well.
TEST_F(ServerFailure, ASilentServerMakesSendsTimeOut) {
    FilterGlobals globals;
    connectToASilentServerWithAFullQueue(globals);
    auto start = Clock::now();
    EXPECT_EQ(failureOf([&] { globals.startRender(); }), errors::unableToSendMessage);
    EXPECT_GE(millisecondsSince(start), 9000) << "the whole send time-out";
    EXPECT_TRUE(globals.broken);
    start = Clock::now();
    EXPECT_EQ(failureOf([&] { globals.ping(); }), errors::comsBroken);
    EXPECT_EQ(failureOf([&] { globals.endConnection(); }), errors::comsBrokenInSendMessage);
    EXPECT_LT(millisecondsSince(start), 1000) << "nothing waits once broken";

    const msgReadInputResponse answer{{msg::readInputResponse}, 0};
    for (int i = 0; i < 10; ++i) {
        globals.sendResponse(answer);
    }
    start = Clock::now();
    EXPECT_EQ(failureOf([&] { globals.sendResponse(answer); }), errors::unableToSendResponse);
    EXPECT_GE(millisecondsSince(start), 9000);
}

TEST_F(ServerFailure, ASilentServerMakesARequestTimeOutBeforeItsAnswerIsAwaited) {
    FilterGlobals globals;
    connectToASilentServerWithAFullQueue(globals);
    const auto start = Clock::now();
    EXPECT_EQ(failureOf([&] { globals.ping(); }), errors::unableToPostMessage);
    EXPECT_GE(millisecondsSince(start), 9000);
    EXPECT_TRUE(globals.broken);
}

// Buffer names are re-used from run to run, and a peer may still hold one at
// an earlier, smaller size. Creating the buffer then opens that region: the
// exchange fails before its request is sent, and the connection stays usable.
TEST_F(ServerFailure, ABufferNameHeldAtASmallerSizeFailsItsExchangeCleanly) {
    // Longer than the page that a small region occupies.
    const std::string longText = "layer=" + std::string(6000, 'w');
    setServerEnvironment({{"SOLVANTA_SERVER_SETTINGS", "0" + longText}});
    FilterGlobals globals;
    connect(globals);
    struct Case {
        const char* what;
        const char* prefix;
        const char* logged;
        std::function<void()> run;
    };
    const std::vector<Case> cases = {
        {"settings from the server", "GetParams", "settings-get",
         [&] { globals.getParameters(shortSliceMs); }},
        {"settings to the server", "SetParams", "settings-set",
         [&] {
             proxy::ParameterMap map;
             map[proxy::parameterKeys::settingsText] = longText;
             globals.setParameters(map, shortSliceMs);
         }},
        {"colour profile", "", "document",
         [&] {
             const image::PixelRect whole(0, 0, 8, 8);
             globals.sendDocumentInfo(whole, whole, msg::documentInfoLaunched);
         }},
    };
    host::Document document = host::Document::rgb(8, 8);
    document.iccProfile.assign(6000, 0x42);
    host::FilterHost host(document);
    BoundHost bound(host);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            ipc::IPCMemoryBuffer squatter(ipc::create, c.prefix, ownPid(), 4,
                                          ipc::UniqueSuffix::counter);
            const std::string failure = failureOf(c.run);
            EXPECT_EQ(failure.rfind(errors::bufferSmallerThanAnnounced, 0), 0U) << failure;
            EXPECT_NE(failure.find(squatter.name()), std::string::npos) << failure;
            EXPECT_FALSE(globals.broken);
            globals.ping(shortSliceMs);
            EXPECT_TRUE(log().linesStartingWith(c.logged).empty()) << "nothing was sent";
        }
        // With the name free again, the same exchange goes through.
        EXPECT_EQ(failureOf(c.run), "");
        globals.ping(shortSliceMs);
        EXPECT_EQ(log().linesStartingWith(c.logged).size(), 1U);
    }
    globals.endConnection();
    EXPECT_EQ(serverExitCode(globals), 0U);
}

// A server kept for the automatic pass serves a fresh state object that
// attaches to it. Once it has ended, an attach finds it dead, and once
// nothing holds its channels any more, there is nothing to attach to.
TEST_F(ServerFailure, AKeptServerThatHasEndedCannotBeAttachedTo) {
    std::string name;
    std::uint32_t serverId = 0;
    {
        FilterGlobals first;
        connect(first);
        first.keepServer();
        name = first.connectionName;
        serverId = first.remoteProcessId;
    }
    {
        FilterGlobals second;
        ASSERT_TRUE(second.attach(name, serverId));
        EXPECT_TRUE(second.isRemoteAlive()); // opens the server's process
        second.endConnection();
        EXPECT_EQ(serverExitCode(second), 0U);
        FilterGlobals third;
        EXPECT_EQ(failureOf([&] { third.attach(name, serverId, shortSliceMs); }),
                  errors::remoteNotRunning);
    }
    FilterGlobals fourth;
    EXPECT_NE(failureOf([&] { fourth.attach(name, serverId, shortSliceMs); }), "");
}

} // namespace
