#pragma once

// The plug-in's side of a connection, played with plain transport objects and
// the records of the protocol, so that the reference server can be driven as
// the real plug-in will drive it.

#include "TestSupport.h"
#include "proxy/Messages.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
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
using testing_support::Environment;
using testing_support::fileText;
using testing_support::ScopedEnvironment;
using testing_support::temporaryPath;

// A small document as the plug-in describes it. Its pixels stay with the
// plug-in: the server's requests are checked against the description and
// answered, the pixels themselves are the business of the filter-run suite.
struct TestDocument {
    int width = 0;
    int height = 0;
    int colorModel = 0;
    int colorChannels = 3;
    bool hasAlpha = false;
    int bytesPerSample = 1;
    WireRect effective{};
    bool hasMask = false;

    std::size_t pixelBytes() const {
        return static_cast<std::size_t>((colorChannels + (hasAlpha ? 1 : 0)) * bytesPerSample);
    }
    msgDocumentInfo describe(std::int32_t selector = msg::documentInfoLaunched) const;
};

// A document of `width` x `height` pixels, all of them in the effective
// bounds.
TestDocument makeDocument(int width, int height, int colorChannels = 3, bool hasAlpha = false,
                          int bytesPerSample = 1);

inline bool sameRect(const WireRect& a, const WireRect& b) {
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
}

// Host settings as the plug-in sends them, foreground 10,20,30,255.
msgHostSettings hostSettings();

// Makes the size header of a buffer claim `size` payload bytes, as a peer
// that lies would.
void claimSize(ipc::IPCMemoryBuffer& buffer, std::int64_t size);

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

    // Starts the server with " -server:<name> -clientpid:<pid>" and the given
    // variables (plus a log file of this stand-in's own), sends 0, waits for
    // 1 and opens the server's channel. Fails the test when any step fails.
    bool start(const Environment& environment = {});
    bool serverRunning() const;
    // The exit code, or nothing when the server still runs after timeoutMs.
    std::optional<std::uint32_t> waitForExit(std::uint32_t timeoutMs = 15000);

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

    // The settings exchanges of the plug-in (14 then 12, and 10). The text of
    // `size` bytes, or nothing on a failing status or size.
    std::optional<std::int32_t> settingsSize();
    std::optional<std::string> fetchSettings(std::int32_t size);
    std::optional<std::string> fetchSettings();
    std::optional<std::int32_t> storeSettings(const std::string& text);

    // Serves the server's requests of a render until it ends it with 5, 6
    // or 24, answering 5 with 8 as the plug-in does.
    RenderTranscript serveRender(const TestDocument& document, const RenderScript& script = {});

    // Sends 25 and returns the server's exit code.
    std::optional<std::uint32_t> endConnection();

    std::string log() const;
    bool logContains(const std::string& text) const;

    // The plug-in's view of a buffer the server named, opened once.
    ipc::IPCMemoryBuffer& buffer(const std::string& name);

private:
    bool respondBytes(const void* data, std::size_t size);
    // Takes a record through `receive` slice by slice until `timeoutMs` has
    // passed or the server is found gone.
    template <typename Receive>
    bool receiveWhileRunning(std::uint32_t timeoutMs, Receive receive) const;
    // Whether `rect` lies within the document and `rowBytes` rows of
    // `pixelBytes` pixels fit in the named buffer.
    bool fits(const WireRect& rect, std::int32_t rowBytes, const std::string& bufferName,
              const TestDocument& document, std::size_t pixelBytes);

    std::string connectionName_;
    std::string logPath_;
    std::unique_ptr<ipc::ProxyChannel> clientChannel_;
    std::unique_ptr<ipc::ProxyChannel> serverChannel_;
    std::shared_ptr<platform::Process> server_;
    std::map<std::string, std::unique_ptr<ipc::IPCMemoryBuffer>> buffers_;
};

} // namespace server_testing
