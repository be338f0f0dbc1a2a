#include "ProxyTestSupport.h"

#include "TestSupport.h"
#include "host/FilterHost.h"
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Process.h"
#include "plugin/HostSuites.h"
#include "proxy/ProcessGlobals.h"
#include "proxy/ServerProxy.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace testing_support {

host::Document patternedDocument(int width, int height, int depth, bool alpha) {
    host::Document document = host::Document::rgb(width, height, depth);
    if (alpha) {
        document.addTransparency(0);
    }
    const std::uint32_t scale = depth == 16 ? 113U : 1U;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int p = 0; p < document.planes(); ++p) {
                document.setSample(x, y, p, ((x * 11U + y * 17U + p * 53U) % 256U) * scale);
            }
        }
    }
    return document;
}

std::vector<std::string> ServerLog::lines() const {
    std::vector<std::string> result;
    std::ifstream file(path_, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        // A line still being written has no line break yet.
        if (!file.eof()) {
            result.push_back(line);
        }
    }
    return result;
}

std::vector<std::string> ServerLog::linesStartingWith(const std::string& prefix) const {
    std::vector<std::string> result;
    for (const std::string& line : lines()) {
        if (line.rfind(prefix, 0) == 0) {
            result.push_back(line);
        }
    }
    return result;
}

bool ServerLog::contains(const std::string& fragment) const {
    for (const std::string& line : lines()) {
        if (line.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool ServerLog::waitFor(const std::string& fragment, std::uint32_t timeoutMs) const {
    const auto start = Clock::now();
    while (!contains(fragment)) {
        if (millisecondsSince(start) > timeoutMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::map<std::string, std::string> fieldsOf(const std::string& line, const std::string& last) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = line.find(' ', at);
        const std::string word = line.substr(at, end == std::string::npos ? end : end - at);
        const std::size_t equals = word.find('=');
        if (equals != std::string::npos) {
            const std::string key = word.substr(0, equals);
            if (key == last) {
                fields[key] = line.substr(at + equals + 1);
                break;
            }
            fields[key] = word.substr(equals + 1);
        }
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    return fields;
}

BoundHost::BoundHost(host::FilterHost& host) {
    host.beginApplication();
    gFilterRecord = &host.record();
    gBasicSuite = host.record().sSPBasic;
    plugin::acquireSuites();
}

BoundHost::~BoundHost() {
    plugin::releaseSuites();
    gFilterRecord = nullptr;
}

ServerSide::ServerSide(ServerProxy& proxy) {
    const std::string name = uniqueName("side");
    const std::uint32_t plugin = platform::currentProcessId();
    // Only a name: no process of this id is involved.
    const std::uint32_t server = plugin + 1000000U;
    proxy.connectionName = name;
    proxy.clientChannel = boost::make_shared<ipc::ProxyChannel>(ipc::create, name, plugin);
    serverChannel_ = boost::make_shared<ipc::ProxyChannel>(ipc::create, name, server);
    pluginChannel_ = boost::make_shared<ipc::ProxyChannel>(ipc::open, name, plugin);
    proxy.serverChannel = boost::make_shared<ipc::ProxyChannel>(ipc::open, name, server);
}

ServerSide::~ServerSide() = default;

namespace {

// A queue's wait can end early on a signal left from before: waits again
// until the whole time-out has passed.
bool receiveWithin(ipc::MessageQueue& queue, Cell& cell, std::uint32_t timeoutMs) {
    const std::uint32_t start = platform::tickCount();
    for (;;) {
        const std::uint32_t elapsed = platform::tickCount() - start;
        const std::uint32_t left = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
        std::size_t size = 0;
        unsigned priority = 0;
        if (queue.timed_receive(cell.bytes, sizeof cell.bytes, size, priority, left)) {
            return true;
        }
        if (left == 0) {
            return false;
        }
    }
}

} // namespace

bool ServerSide::takeRequest(Cell& cell, std::uint32_t timeoutMs) {
    return receiveWithin(pluginChannel_->requestQueue(), cell, timeoutMs);
}

bool ServerSide::takeAnswer(Cell& cell, std::uint32_t timeoutMs) {
    return receiveWithin(serverChannel_->responseQueue(), cell, timeoutMs);
}

bool ServerSide::answerBytes(const void* data, std::size_t size) {
    return pluginChannel_->responseQueue().timed_send(data, size, 0, 5000);
}

bool ServerSide::requestBytes(const void* data, std::size_t size) {
    return serverChannel_->send(data, size, 5000);
}

ReferenceServerTest::ReferenceServerTest()
    : watchdog_(std::chrono::seconds(240)), log_(temporaryPath("server-log")) {
    logVariable_ = std::make_unique<ScopedEnvironment>(
        std::vector<std::pair<std::string, std::string>>{{"SOLVANTA_SERVER_LOG", log_.path()}});
}

ReferenceServerTest::~ReferenceServerTest() {
    // Besides the servers that connect() launched, those a plug-in launched
    // or kept: each logs its process id once it runs.
    earlierLogs_.push_back(log_.path());
    // What the servers saw is the first thing to read when a test failed.
    if (::testing::Test::HasFailure()) {
        for (const std::string& path : earlierLogs_) {
            std::fprintf(stderr, "--- server log %s\n%s", path.c_str(),
                         testing_support::fileText(path).c_str());
        }
    }
    for (const std::string& path : earlierLogs_) {
        for (const std::string& line : ServerLog(path).linesStartingWith("start ")) {
            if (auto server = platform::openProcess(
                    static_cast<std::uint32_t>(std::stoul(fieldsOf(line)["server"])))) {
                servers_.push_back(std::move(server));
            }
        }
    }
    // A server that still runs has answered its ping or logged its start by
    // now, so it can be stopped safely.
    for (const std::shared_ptr<platform::Process>& server : servers_) {
        if (!server->waitForExit(0)) {
            server->terminate(1);
            server->waitForExit(20000);
        }
    }
    variables_.reset();
    logVariable_.reset();
    std::error_code ignored;
    for (const std::string& path : earlierLogs_) {
        std::filesystem::remove(path, ignored);
    }
}

void ReferenceServerTest::startNewLog() {
    earlierLogs_.push_back(log_.path());
    log_ = ServerLog(temporaryPath("server-log"));
    logVariable_.reset();
    logVariable_ = std::make_unique<ScopedEnvironment>(
        std::vector<std::pair<std::string, std::string>>{{"SOLVANTA_SERVER_LOG", log_.path()}});
}

void ReferenceServerTest::setServerEnvironment(
    std::vector<std::pair<std::string, std::string>> variables) {
    variables_.reset();
    variables_ = std::make_unique<ScopedEnvironment>(std::move(variables));
}

void ReferenceServerTest::connect(ServerProxy& proxy, unsigned pingSliceMs) {
    try {
        proxy.connectAndLaunch(pingSliceMs);
    } catch (...) {
        if (proxy.remoteProcess) {
            servers_.push_back(proxy.remoteProcess);
        }
        throw;
    }
    servers_.push_back(proxy.remoteProcess);
}

std::uint32_t ReferenceServerTest::serverExitCode(const ServerProxy& proxy,
                                                  std::uint32_t timeoutMs) {
    if (!proxy.remoteProcess) {
        ADD_FAILURE() << "no server was launched";
        return platform::kStillActive;
    }
    if (!proxy.remoteProcess->waitForExit(timeoutMs)) {
        ADD_FAILURE() << "the server still runs after " << timeoutMs << " ms";
        return platform::kStillActive;
    }
    std::uint32_t code = platform::kStillActive;
    EXPECT_TRUE(proxy.remoteProcess->exitCode(code));
    return code;
}

} // namespace testing_support
