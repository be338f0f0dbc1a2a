#pragma once

#include "ServerArguments.h"
#include "proxy/Messages.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace ipc {
class ProxyChannel;
}

namespace platform {
class Process;
}

namespace refserver {

class SessionLog;
using msg::Cell;

// The server's end of its connection to one plug-in: the plug-in's channel,
// whose requests the server answers, and the server's own channel, whose
// requests the plug-in answers (all but 20, whose answer 21 arrives in the
// plug-in's channel). While the server waits for anything it keeps handing
// what the plug-in sends to the session's handler (an abort, the end), and
// every couple of seconds it looks at the plug-in's process: a server whose
// plug-in is gone can never be spoken to again, and its session ends.
class PluginConnection {
public:
    using RecordHandler = std::function<void(const Cell&)>;

    // How long one wait lasts before the server looks around again.
    static constexpr unsigned sliceMs = 250;

    PluginConnection(ServerArguments arguments, SessionLog& log, RecordHandler serve);
    PluginConnection(const PluginConnection&) = delete;
    PluginConnection& operator=(const PluginConnection&) = delete;
    ~PluginConnection();

    // Opens a handle on the plug-in's process; ends the session when there
    // is none.
    void openClient();
    // Opens the plug-in's channel, then creates the server's own, which the
    // plug-in opens as soon as its first ping is answered.
    void openChannels();

    // Waits up to `timeoutMs` for a record from the plug-in and serves it,
    // then looks at the plug-in's process.
    void serveOne(unsigned timeoutMs);
    // Serves the plug-in for that long.
    void serveFor(std::uint32_t milliseconds);
    // Serves what the plug-in has sent, without waiting.
    void servePending();
    // Waits for the plug-in's next record of `selector`, serving all others.
    void awaitFromPlugin(std::int32_t selector, Cell& cell);
    // Milliseconds since the last record arrived from the plug-in.
    std::uint32_t quietMs() const;

    // An answer to the plug-in's request `requestSelector`.
    bool answer(std::int32_t requestSelector, const void* record, std::size_t size);
    // One of the server's own requests.
    template <typename R> bool request(const R& record) {
        return requestBytes(record.selector, &record, sizeof record);
    }
    // The answer to the server's last request: false when it was another
    // record.
    bool awaitAnswer(std::int32_t expected, Cell& cell);

    // Ends the session when the plug-in's process is gone; looks only every
    // couple of seconds.
    void watchClient();
    // The plug-in asked the server to outlive the invocation (27).
    void markKept() { kept_ = true; }

private:
    bool receiveFromPlugin(Cell& cell, unsigned timeoutMs);
    bool requestBytes(std::int32_t selector, const void* record, std::size_t size);

    ServerArguments arguments_;
    SessionLog& log_;
    RecordHandler serve_;
    std::shared_ptr<platform::Process> client_;
    std::unique_ptr<ipc::ProxyChannel> pluginChannel_;
    std::unique_ptr<ipc::ProxyChannel> ownChannel_;
    bool kept_ = false;
    std::uint32_t lastWatch_;
    std::uint32_t lastRecord_;
};

} // namespace refserver
