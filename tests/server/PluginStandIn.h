#pragma once

// The plug-in's side of a connection, played with plain transport objects and
// the records of the protocol, so that the reference server can be driven as
// the real plug-in will drive it.

#include "TestSupport.h"
#include "proxy/Messages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ipc {
class IPCMemoryBuffer;
class ProxyChannel;
} // namespace ipc

namespace platform {
class Process;
}

namespace server_testing {

using msg::Cell;
using msg::emptyRecord;

template <std::size_t N> void copyName(char (&field)[N], const std::string& name) {
    std::memset(field, 0, N);
    std::memcpy(field, name.data(), std::min(name.size(), N));
}

template <std::size_t N> std::string fieldName(const char (&field)[N]) {
    return std::string(field, std::find(field, field + N, '\0'));
}

using testing_support::Environment;
using testing_support::fileText;
using testing_support::ScopedEnvironment;
using testing_support::temporaryPath;

// A small document in the plug-in's memory: interleaved samples, colour
// channels then alpha, and optionally a selection mask of one sample per
// pixel.
struct TestDocument {
    int width = 0;
    int height = 0;
    int colorModel = 0;
    int colorChannels = 3;
    bool hasAlpha = false;
    int bytesPerSample = 1;
    WireRect effective{};
    std::vector<std::uint16_t> pixels; // one value per sample, whatever the depth
    std::vector<std::uint16_t> mask;   // empty: no selection mask
    std::vector<std::uint16_t> output; // what the server wrote back, starting as a copy

    int totalChannels() const { return colorChannels + (hasAlpha ? 1 : 0); }
    std::size_t sampleIndex(int x, int y, int channel) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)) *
                   static_cast<std::size_t>(totalChannels()) +
               static_cast<std::size_t>(channel);
    }
    msgDocumentInfo describe(std::int32_t selector = msg::documentInfoLaunched) const;
};

// What the plug-in saw while it served one render.
struct RenderTranscript {
    std::int32_t endSelector = -1;
    std::int32_t endCode = 0;
    std::vector<WireRect> reads;
    std::vector<WireRect> masks;
    std::vector<WireRect> writes;
    std::vector<std::string> imageBuffers; // names used by reads and writes, in order
    std::vector<msgProgress> progress;
};

// How the plug-in answers during a render: a result code for the n-th read
// or write (counted from 1), and an abort after the n-th progress report.
struct RenderScript {
    int failingRead = 0;
    std::int32_t readResult = 0;
    int failingWrite = 0;
    std::int32_t writeResult = 0;
    int abortAfterProgress = 0;
};

class PluginStandIn {
public:
    // Creates the plug-in channel under a connection name of its own.
    PluginStandIn();
    PluginStandIn(const PluginStandIn&) = delete;
    PluginStandIn& operator=(const PluginStandIn&) = delete;
    // Never leaves a server behind: one still running is killed.
    ~PluginStandIn();

    // Starts the server with " -server:<name> -clientpid:<pid>" and the
    // given variables (plus a log file of this stand-in's own).
    bool launch(const Environment& environment = {});
    platform::Process& server() const { return *server_; }
    std::uint32_t serverPid() const;
    bool serverRunning() const;
    // The exit code, or nothing when the server still runs after timeoutMs.
    std::optional<std::uint32_t> waitForExit(std::uint32_t timeoutMs = 15000);

    // Sends 0 and waits for 1, then opens the server's channel. False when no
    // answer came or it was another record.
    bool connect(std::uint32_t timeoutMs = 20000);
    // Forgets both channels and opens them again by name, as a later
    // invocation that attaches to a kept server does.
    void attachAgain();

    // The plug-in channel's request queue: requests and one-way messages.
    template <typename R> bool send(const R& record) { return sendBytes(&record, sizeof record); }
    bool sendBytes(const void* data, std::size_t size);
    // The next answer on the plug-in channel's response queue.
    bool awaitAnswer(Cell& cell, std::uint32_t timeoutMs = 20000);
    // A request and its answer, which must carry `expected`.
    template <typename R, typename Q>
    std::optional<R> post(const Q& request, std::int32_t expected) {
        Cell cell{};
        if (!send(request) || !awaitAnswer(cell) || cell.selector() != expected) {
            return std::nullopt;
        }
        return cell.as<R>();
    }
    // A ping: every record sent before it has been taken once it is answered.
    bool sync();

    // The server channel: the server's requests and the plug-in's answers.
    bool awaitRequest(Cell& cell, std::uint32_t timeoutMs = 20000);
    template <typename R> bool respond(const R& record) {
        return respondBytes(&record, sizeof record);
    }
    bool respondBytes(const void* data, std::size_t size);

    // The settings exchanges of the plug-in (14 then 12, and 10).
    std::optional<std::int32_t> settingsSize();
    // Text of `size` bytes read through request 12, or nothing on a failing
    // status.
    std::optional<std::string> fetchSettings(std::int32_t size);
    std::optional<std::string> fetchSettings();
    std::optional<std::int32_t> storeSettings(const std::string& text);

    // Serves the server's requests of a render until it ends it with 5, 6
    // or 24, answering 5 with 8 as the plug-in does.
    RenderTranscript serveRender(TestDocument& document, const RenderScript& script = {});

    // Sends 25 and returns the server's exit code.
    std::optional<std::uint32_t> endConnection();

    std::string log() const;
    bool logContains(const std::string& text) const;
    const std::string& connectionName() const { return connectionName_; }

private:
    ipc::IPCMemoryBuffer& buffer(const std::string& name);

    std::string connectionName_;
    std::string logPath_;
    std::unique_ptr<ipc::ProxyChannel> clientChannel_;
    std::unique_ptr<ipc::ProxyChannel> serverChannel_;
    std::shared_ptr<platform::Process> server_;
    std::vector<std::pair<std::string, std::unique_ptr<ipc::IPCMemoryBuffer>>> buffers_;
};

} // namespace server_testing
