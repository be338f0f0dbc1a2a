#pragma once

// What the tests of the proxy and of whole filter runs share beside the
// common support: the host stand-in bound to the plug-in's statics, the
// server's end of a proxy played in this process, and the reference server
// as a second process with its environment and log.

#include "TestSupport.h"
#include "host/Document.h"
#include "proxy/Messages.h"

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ServerProxy;

namespace host {
class FilterHost;
}

namespace ipc {
class ProxyChannel;
}

namespace platform {
class Process;
}

namespace testing_support {

// A document whose every sample says where it is, with or without a
// transparency plane.
host::Document patternedDocument(int width, int height, int depth, bool alpha = false);

// The reference server's log: one line per event.
class ServerLog {
public:
    explicit ServerLog(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }
    std::vector<std::string> lines() const;
    // Lines that begin with `prefix`, oldest first.
    std::vector<std::string> linesStartingWith(const std::string& prefix) const;
    bool contains(const std::string& fragment) const;
    // Polls until a line holds `fragment`; false after `timeoutMs`.
    bool waitFor(const std::string& fragment, std::uint32_t timeoutMs = 20000) const;

private:
    std::string path_;
};

// The "key=value" fields of a log line, split at blanks; the field `last`
// takes the rest of the line, blanks and all.
std::map<std::string, std::string> fieldsOf(const std::string& line,
                                            const std::string& last = "name");

// Binds a host's fresh filter record and its suites to the plug-in's
// statics, as the entry point does for one call.
class BoundHost {
public:
    explicit BoundHost(host::FilterHost& host);
    BoundHost(const BoundHost&) = delete;
    BoundHost& operator=(const BoundHost&) = delete;
    ~BoundHost();
};

using msg::Cell;

// The server's ends of a proxy's two channels, played in this process: the
// plug-in channel created as connectAndLaunch creates it, the server channel
// created as a server creates its own. The proxy gets a connection name of
// its own and both channels; its remoteProcessId is left alone.
class ServerSide {
public:
    explicit ServerSide(ServerProxy& proxy);
    ServerSide(const ServerSide&) = delete;
    ServerSide& operator=(const ServerSide&) = delete;
    ~ServerSide();

    // The next record on the plug-in channel's request queue.
    bool takeRequest(Cell& cell, std::uint32_t timeoutMs = 5000);
    // The next answer of the plug-in on the server channel's response queue.
    bool takeAnswer(Cell& cell, std::uint32_t timeoutMs = 5000);
    // Sends on the plug-in channel's response queue: an answer.
    bool answerBytes(const void* data, std::size_t size);
    template <typename R> bool answer(const R& record) {
        return answerBytes(&record, sizeof record);
    }
    // Sends on the server channel's request queue: a request of the server.
    bool requestBytes(const void* data, std::size_t size);
    template <typename R> bool request(const R& record) {
        return requestBytes(&record, sizeof record);
    }
    ipc::ProxyChannel& pluginChannel() { return *pluginChannel_; }
    ipc::ProxyChannel& serverChannel() { return *serverChannel_; }

private:
    boost::shared_ptr<ipc::ProxyChannel> serverChannel_;
    boost::shared_ptr<ipc::ProxyChannel> pluginChannel_;
};

// A test that drives the reference server as a second process: every server
// it starts writes its log to a file of the test's own and inherits the
// variables the test sets; none outlives the test.
class ReferenceServerTest : public ::testing::Test {
protected:
    ReferenceServerTest();
    ~ReferenceServerTest() override;

    // Variables for the servers started from now on, besides the log.
    void setServerEnvironment(std::vector<std::pair<std::string, std::string>> variables);
    const ServerLog& log() const { return log_; }
    // Servers started from now on write to a log of their own, which log()
    // reads from then on.
    void startNewLog();

    // connectAndLaunch, remembering the server even when the connection
    // fails after the launch.
    void connect(ServerProxy& proxy, unsigned pingSliceMs = 20000);
    // The server's exit code once it has ended; fails the test when it still
    // runs after `timeoutMs`.
    std::uint32_t serverExitCode(const ServerProxy& proxy, std::uint32_t timeoutMs = 20000);

private:
    Watchdog watchdog_;
    ServerLog log_;
    std::vector<std::string> earlierLogs_;
    std::unique_ptr<ScopedEnvironment> logVariable_;
    std::unique_ptr<ScopedEnvironment> variables_;
    std::vector<std::shared_ptr<platform::Process>> servers_;
};

} // namespace testing_support
