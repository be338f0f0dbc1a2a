// The request and response engine with the server played in this process:
// what goes onto the queues, which answer a request takes, how requests are
// dispatched, and when the engine gives up.

#include "ProxyTestSupport.h"
#include "host/FilterHost.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/ProxyChannel.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "proxy/Errors.h"
#include "proxy/FilterGlobals.h"
#include "proxy/ProcessGlobals.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <boost/function.hpp>

#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;
namespace errors = proxy::errors;

// Every case is bounded: an engine that hangs fails the run.
class Engine : public ::testing::Test {
protected:
    Watchdog watchdog_{std::chrono::seconds(120)};
};

// The id of a process that has ended; `keep` holds its handle, so that the
// process can still be opened and its exit code read.
std::uint32_t endedProcess(std::shared_ptr<platform::Process>& keep) {
    keep = startHelper("platform_peer", "exit 7");
    if (!keep) {
        return 0;
    }
    EXPECT_EQ(finishHelper(*keep), 7U);
    return keep->id();
}

TEST_F(Engine, TakesTheNextAnswerWhicheverRequestItBelongsTo) {
    ServerProxy proxy;
    ServerSide side(proxy);
    // Two answers wait before any request: a size answer, then a ping answer.
    Cell sizeAnswer{};
    std::memset(sizeAnswer.bytes, 0x5A,
                sizeof sizeAnswer.bytes); // behind the record's 8 bytes: left over, meaningless
    const msgGetParametersSizeResponse size{{msg::getParametersSizeResponse}, 7};
    std::memcpy(sizeAnswer.bytes, &size, sizeof size);
    ASSERT_TRUE(side.answerBytes(sizeAnswer.bytes, sizeof sizeAnswer.bytes));
    ASSERT_TRUE(side.answer(msgPingResponse{{msg::pingResponse}}));

    EXPECT_EQ(failureOf([&] { proxy.ping(); }), errors::unexpectedSelector);
    EXPECT_FALSE(proxy.broken) << "a wrong answer leaves the engine usable";
    const auto ping = proxy.postMessage<msgPingResponse>(msgBase{msg::ping}, 1000);
    EXPECT_EQ(ping->selector, msg::pingResponse);

    // The same size answer, taken by the request it fits.
    ASSERT_TRUE(side.answerBytes(sizeAnswer.bytes, sizeof sizeAnswer.bytes));
    const auto answer =
        proxy.postMessage<msgGetParametersSizeResponse>(msgBase{msg::getParametersSize}, 1000);
    EXPECT_EQ(answer->selector, msg::getParametersSizeResponse);
    EXPECT_EQ(answer->size, 7);

    // What the server received: three requests of four bytes each.
    for (const std::int32_t expected : {msg::ping, msg::ping, msg::getParametersSize}) {
        Cell request{};
        ASSERT_TRUE(side.takeRequest(request));
        EXPECT_EQ(request.selector(), expected);
    }
}

TEST_F(Engine, WaitsForALateAnswerSliceBySliceWhileTheServerLives) {
    ServerProxy proxy;
    ServerSide side(proxy);
    proxy.remoteProcessId = platform::currentProcessId();
    std::thread server([&] {
        Cell request{};
        ASSERT_TRUE(side.takeRequest(request));
        std::this_thread::sleep_for(std::chrono::milliseconds(450));
        ASSERT_TRUE(side.answer(msgPingResponse{{msg::pingResponse}}));
    });
    const auto start = Clock::now();
    EXPECT_NO_THROW(proxy.ping(100));
    EXPECT_GE(millisecondsSince(start), 400) << "several slices passed without an answer";
    server.join();
    EXPECT_FALSE(proxy.broken);
}

TEST_F(Engine, DispatchesEachRequestToTheHandlerOfItsSelector) {
    struct Marker : std::exception {
        const char* what() const noexcept override { return "from the handler"; }
    };
    ServerProxy proxy;
    ServerSide side(proxy);
    std::vector<std::string> calls;
    proxy.registerHandler(16, [&](msgBase* request) {
        calls.push_back("first " + std::to_string(request->selector));
    });
    proxy.registerHandler(18, [&](msgBase* request) {
        const auto* progress = static_cast<msgProgress*>(request);
        calls.push_back("mask " + std::to_string(progress->done));
    });
    proxy.registerHandler(20, ProxyBase::Handler());
    proxy.registerHandler(30, [](msgBase*) { throw Marker(); });

    msgProgress record{};
    record.selector = 16;
    proxy.handleRequest(&record);
    proxy.registerHandler(16, [&](msgBase*) { calls.emplace_back("second"); });
    proxy.handleRequest(&record);
    record.selector = 18;
    record.done = 5;
    proxy.handleRequest(&record);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 16", "second", "mask 5"}));

    record.selector = 19;
    EXPECT_EQ(failureOf([&] { proxy.handleRequest(&record); }), errors::unknownSelector);
    record.selector = 20;
    try {
        proxy.handleRequest(&record);
        ADD_FAILURE() << "an empty handler ran";
    } catch (const boost::bad_function_call& failure) {
        EXPECT_STREQ(failure.what(), "call to empty boost::function");
    }
    record.selector = 30;
    EXPECT_THROW(proxy.handleRequest(&record), Marker);
    EXPECT_FALSE(proxy.broken);
    Cell cell{};
    EXPECT_FALSE(side.takeAnswer(cell, 100)) << "the engine answers nothing itself";
}

TEST_F(Engine, TellsWhetherTheServerProcessLives) {
    std::shared_ptr<platform::Process> ended;
    const std::uint32_t endedId = endedProcess(ended);
    ASSERT_NE(endedId, 0U);

    ServerProxy unknown;
    EXPECT_TRUE(unknown.isRemoteAlive()) << "no server known, none found dead";
    EXPECT_FALSE(unknown.remoteProcess);

    ServerProxy living;
    living.remoteProcessId = platform::currentProcessId();
    EXPECT_TRUE(living.isRemoteAlive());
    EXPECT_TRUE(living.remoteProcess) << "the handle is kept for later checks";

    ServerProxy exited;
    exited.remoteProcessId = endedId;
    exited.remoteProcess = ended;
    EXPECT_FALSE(exited.isRemoteAlive()) << "exit code 7 is not STILL_ACTIVE";

    ServerProxy opened;
    opened.remoteProcessId = endedId;
    EXPECT_FALSE(opened.isRemoteAlive()) << "opened from its id, read through its exit code";

    // An id that opens no process at all: above every process id that
    // either system hands out.
    const std::uint32_t noProcess = 0x7FFFFFF0U;
    ASSERT_FALSE(platform::openProcess(noProcess));
    ServerProxy gone;
    gone.remoteProcessId = noProcess;
    EXPECT_FALSE(gone.isRemoteAlive());
    EXPECT_FALSE(gone.remoteProcess);
}

TEST_F(Engine, PollsAtMostOneRequestAtATime) {
    ServerProxy proxy;
    ServerSide side(proxy);
    int handled = 0;
    proxy.registerHandler(36, [&](msgBase*) { ++handled; });

    auto start = Clock::now();
    EXPECT_FALSE(proxy.pollRequest());
    EXPECT_LT(millisecondsSince(start), 2000);

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(side.request(msgProgress{{msg::progress}, i, 3}));
    }
    EXPECT_TRUE(proxy.pollRequest());
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(proxy.pollRequest());
    EXPECT_TRUE(proxy.pollRequest());
    EXPECT_EQ(handled, 3);
    start = Clock::now();
    EXPECT_FALSE(proxy.pollRequest());

    ASSERT_TRUE(side.request(msgBase{26}));
    EXPECT_EQ(failureOf([&] { proxy.pollRequest(); }), errors::unknownSelector);
}

TEST_F(Engine, TheRequestLoopTellsTheServerOfAnAbortAndRunsUntilAHandlerEndsIt) {
    host::FilterHost host(host::Document::rgb(8, 8));
    host.abortAfter(1);
    BoundHost bound(host);
    ServerProxy proxy;
    ServerSide side(proxy);
    std::vector<std::int32_t> handled;
    proxy.registerHandler(36, [&](msgBase* request) { handled.push_back(request->selector); });
    proxy.registerHandler(5, [&](msgBase* request) {
        handled.push_back(request->selector);
        proxy.running = false;
    });
    std::vector<msgAbort> aborts;
    std::thread server([&] {
        // Two aborts arrive while the loop runs; only then does the server end it.
        for (int i = 0; i < 2; ++i) {
            Cell cell{};
            ASSERT_TRUE(side.takeRequest(cell));
            aborts.push_back(cell.as<msgAbort>());
            EXPECT_EQ(cell.selector(), msg::progress);
            ASSERT_TRUE(side.request(msgProgress{{msg::progress}, -1, 10}));
        }
        ASSERT_TRUE(side.request(msgBase{msg::finish}));
    });
    proxy.runRequestLoop();
    server.join();
    EXPECT_FALSE(proxy.running);
    ASSERT_EQ(aborts.size(), 2U);
    for (const msgAbort& abort : aborts) {
        EXPECT_EQ(abort.code, 1000);
    }
    ASSERT_FALSE(handled.empty());
    EXPECT_EQ(handled.back(), msg::finish);
}

TEST_F(Engine, TheRequestLoopFindsASilentServerDeadWithoutBreakingTheEngine) {
    std::shared_ptr<platform::Process> ended;
    ServerProxy proxy;
    ServerSide side(proxy);
    proxy.remoteProcessId = endedProcess(ended);
    ASSERT_NE(proxy.remoteProcessId, 0U);
    const auto start = Clock::now();
    EXPECT_EQ(failureOf([&] { proxy.runRequestLoop(); }), errors::remoteNotRunning);
    const long long elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, 1900) << "not before more than two seconds of the clock have passed";
    EXPECT_LT(elapsed, 6000);
    EXPECT_FALSE(proxy.broken);
    EXPECT_TRUE(proxy.running) << "only handlers clear it";
}

TEST_F(Engine, SendsEachOneRecordMessageAsItsBytes) {
    FilterGlobals globals;
    ServerSide side(globals);
    // Every cell of the ring first holds a full cell of 0xEE: a record is
    // sent as exactly its size.
    Cell filler{};
    std::memset(filler.bytes, 0xEE, sizeof filler.bytes);
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(side.pluginChannel().send(filler.bytes, sizeof filler.bytes, 1000));
        ASSERT_TRUE(side.takeRequest(filler));
    }
    struct Case {
        const char* what;
        std::function<void()> send;
        std::vector<std::uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"end connection", [&] { globals.endConnection(); }, {25, 0, 0, 0}},
        {"keep server", [&] { globals.keepServer(); }, {27, 0, 0, 0, 0x58, 0x02, 0, 0}},
        {"bring to front", [&] { globals.bringServerToFront(); }, {9, 0, 0, 0}},
        {"start interactive", [&] { globals.startInteractive(); }, {7, 0, 0, 0}},
        {"start render", [&] { globals.startRender(); }, {23, 0, 0, 0}},
        {"new-layer flag set",
         [&] {
             globals.newLayerFlag = true;
             globals.sendNewLayerFlag();
         },
         {22, 0, 0, 0, 1, 0, 0, 0}},
        {"new-layer flag clear",
         [&] {
             globals.newLayerFlag = false;
             globals.sendNewLayerFlag();
         },
         {22, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.send();
        Cell cell{};
        ASSERT_TRUE(side.takeRequest(cell));
        EXPECT_EQ(std::vector<std::uint8_t>(cell.bytes, cell.bytes + c.expected.size()),
                  c.expected);
        for (std::size_t i = c.expected.size(); i < sizeof cell.bytes; ++i) {
            ASSERT_EQ(cell.bytes[i], 0xEE) << "byte " << i << " was written";
        }
    }
    EXPECT_FALSE(globals.clientChannel->createFlag()) << "cleared before selector 27";
}

TEST_F(Engine, NamesEachConnectionWithANumberBelow32768DrawnFromTheTickCount) {
    // glibc's generator reaches far beyond 32767; the Windows runtime's does
    // not. Proxies of many ticks all stay in range.
    const auto start = Clock::now();
    int proxies = 0;
    while (millisecondsSince(start) < 300) {
        const ServerProxy proxy;
        ASSERT_EQ(proxy.connectionName.find_first_not_of("0123456789"), std::string::npos);
        ASSERT_LT(std::stol(proxy.connectionName), 32768) << proxy.connectionName;
        ++proxies;
    }
    EXPECT_GT(proxies, 0);

    // The generator is seeded from the tick count: two proxies made within
    // one tick share their name. Retried until both fall within one.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::uint32_t before = platform::tickCount();
        const ServerProxy first;
        const ServerProxy second;
        if (platform::tickCount() == before) {
            EXPECT_EQ(first.connectionName, second.connectionName);
            return;
        }
    }
    ADD_FAILURE() << "no two proxies were made within one tick";
}

// The settings exchanges against a server played in this process.
class Parameters : public Engine {
protected:
    // Answers 14 with `size`, then, unless no text is to follow, 12 with
    // `status` after writing `text` into the buffer the request names.
    void serveGet(std::int32_t size, const std::string& text, std::int32_t status,
                  bool textFollows = true) {
        server_ = std::thread([this, size, text, status, textFollows] {
            Cell cell{};
            ASSERT_TRUE(side_.takeRequest(cell));
            EXPECT_EQ(cell.selector(), msg::getParametersSize);
            ASSERT_TRUE(
                side_.answer(msgGetParametersSizeResponse{{msg::getParametersSizeResponse}, size}));
            if (size < 1 || !textFollows) {
                return;
            }
            ASSERT_TRUE(side_.takeRequest(cell));
            const auto request = cell.as<msgGetParameters>();
            EXPECT_EQ(request.selector, msg::getParameters);
            requestedName_ = std::string(request.bufferName);
            ipc::IPCMemoryBuffer buffer(ipc::open, requestedName_);
            announced_ = buffer.size();
            std::memcpy(buffer.data(), text.data(), text.size());
            ASSERT_TRUE(
                side_.answer(msgGetParametersResponse{{msg::getParametersResponse}, status}));
        });
    }

    void TearDown() override {
        if (server_.joinable()) {
            server_.join();
        }
    }

    std::string ownGetName() const {
        return "GetParams" + std::to_string(platform::currentProcessId()) + "0";
    }

    FilterGlobals globals_;
    ServerSide side_{globals_};
    std::thread server_;
    std::string requestedName_;
    std::int64_t announced_ = -1;
};

TEST_F(Parameters, TheServersTextBecomesTheSettingsAndItsLeadingDigitTheNewLayerChoice) {
    struct Case {
        const char* text;
        bool hasChoice;
        int choice;
        const char* settings;
    };
    const std::vector<Case> cases = {
        {"1", true, 1, ""},
        {"0exposure=1", true, 0, "exposure=1"},
        {"1invert=1", true, 1, "invert=1"},
        {"exposure=1", false, 0, "exposure=1"},
        {"10", true, 1, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string text = c.text;
        serveGet(static_cast<std::int32_t>(text.size()), text, 0);
        const proxy::ParameterMap map = globals_.getParameters(1000);
        server_.join();
        EXPECT_EQ(requestedName_, ownGetName());
        EXPECT_EQ(announced_, static_cast<std::int64_t>(text.size()));
        EXPECT_EQ(map.size(), c.hasChoice ? 2U : 1U);
        EXPECT_EQ(boost::any_cast<std::string>(map.at(proxy::parameterKeys::settingsText)),
                  c.settings);
        if (c.hasChoice) {
            EXPECT_EQ(boost::any_cast<int>(map.at(proxy::parameterKeys::newLayer)), c.choice);
        }
    }
}

TEST_F(Parameters, NoTextOrAFailingStatusGivesAnEmptyMap) {
    for (const std::int32_t size : {0, -5}) {
        serveGet(size, "", 0);
        EXPECT_TRUE(globals_.getParameters(1000).empty());
        server_.join();
        Cell cell{};
        EXPECT_FALSE(side_.takeRequest(cell, 100)) << "no request 12 after size " << size;
    }
    serveGet(4, "abcd", 3);
    EXPECT_TRUE(globals_.getParameters(1000).empty());
    server_.join();

    // A size no settings text needs is refused before any buffer is made.
    serveGet(1 << 30, "", 0, false);
    EXPECT_EQ(failureOf([&] {
                  globals_.getParameters(1000);
              }).rfind(proxy::errors::settingsTextTooLarge, 0),
              0U);
    server_.join();
    Cell cell{};
    EXPECT_FALSE(side_.takeRequest(cell, 100));
}

TEST_F(Parameters, SetParametersHandsOverTheSettingsTextAlone) {
    struct Case {
        const char* what;
        proxy::ParameterMap map;
        bool sent;
        std::string text;
    };
    proxy::ParameterMap full;
    full[proxy::parameterKeys::settingsText] = std::string("exposure=2;invert=1");
    full[proxy::parameterKeys::newLayer] = 1;
    full[proxy::fourCharKey("Intn")] = 75;
    proxy::ParameterMap withoutText;
    withoutText[proxy::fourCharKey("Intn")] = 75;
    const std::vector<Case> cases = {
        {"settings text", full, true, "exposure=2;invert=1"},
        {"no settings text", withoutText, true, ""},
        {"empty map", proxy::ParameterMap(), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string received;
        std::int64_t size = -1;
        std::string name;
        std::thread server([&] {
            Cell cell{};
            if (!side_.takeRequest(cell, c.sent ? 5000 : 300)) {
                return;
            }
            const auto request = cell.as<msgSetParameters>();
            EXPECT_EQ(request.selector, msg::setParameters);
            name = request.bufferName;
            ipc::IPCMemoryBuffer buffer(ipc::open, name);
            size = buffer.size();
            received.assign(reinterpret_cast<const char*>(buffer.data()),
                            static_cast<std::size_t>(size));
            EXPECT_TRUE(side_.answer(msgSetParametersResponse{{msg::setParametersResponse}, 9}));
        });
        globals_.setParameters(c.map, 1000);
        server.join();
        if (c.sent) {
            EXPECT_EQ(name, "SetParams" + std::to_string(platform::currentProcessId()) + "0");
            EXPECT_EQ(size, static_cast<std::int64_t>(c.text.size()));
            EXPECT_EQ(received, c.text);
        } else {
            EXPECT_EQ(size, -1) << "nothing was sent";
        }
    }

    proxy::ParameterMap wrongType;
    wrongType[proxy::parameterKeys::settingsText] = 12;
    EXPECT_THROW(globals_.setParameters(wrongType, 1000), boost::bad_any_cast);
    Cell cell{};
    EXPECT_FALSE(side_.takeRequest(cell, 100)) << "nothing was sent";
}

TEST_F(Parameters, NewLayerParametersAreReadWithinTheirFields) {
    msgGetNewLayerParametersResponse answer{};
    answer.selector = msg::getNewLayerParametersResponse;
    std::memset(answer.fnText, 'f', sizeof answer.fnText); // no NUL at all
    std::memcpy(answer.fiText, "fi\0rest", 7);
    answer.abFlag = 2;
    answer.duFlag = 0;
    answer.deFlag = 1;
    for (std::size_t i = 0; i < sizeof answer.layerName; ++i) {
        answer.layerName[i] = static_cast<std::uint8_t>(i + 1);
    }
    ASSERT_TRUE(side_.answer(answer));
    bool ab = false;
    bool du = true;
    bool de = false;
    std::string fn;
    std::string fi;
    FilterGlobals::LayerName layer{};
    globals_.getNewLayerParameters(ab, du, de, fn, fi, layer, 1000);
    EXPECT_TRUE(ab);
    EXPECT_FALSE(du);
    EXPECT_TRUE(de);
    EXPECT_EQ(fn, std::string(32, 'f'));
    EXPECT_EQ(fi, "fi");
    EXPECT_EQ(std::memcmp(layer.data(), answer.layerName, sizeof answer.layerName), 0);
    Cell cell{};
    ASSERT_TRUE(side_.takeRequest(cell));
    EXPECT_EQ(cell.selector(), msg::getNewLayerParameters);
}

} // namespace
