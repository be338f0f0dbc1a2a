#pragma once

#include "InteractivePlay.h"
#include "PluginConnection.h"
#include "PluginDocument.h"
#include "ServerArguments.h"
#include "ServerBuffers.h"
#include "ServerOptions.h"
#include "ServerSettings.h"
#include "SessionEnd.h"
#include "SessionFaults.h"
#include "SessionLog.h"
#include "TileRender.h"
#include "proxy/Messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace refserver {

// The reference server's side of one connection: it opens the plug-in's
// channel, creates its own before it answers the first ping, and serves the
// plug-in's requests in order until the plug-in ends the connection or its
// process is gone. Each kind of work has a room of its own: the connection
// and its waits, what the plug-in described, the settings and their
// exchanges, the interactive play, the render, the faults on purpose; the
// session hands each record to the one it belongs to.
class ServerSession {
public:
    // `optionProblems` are written to the log first: the options that could
    // not be read.
    ServerSession(ServerArguments arguments, ServerOptions options,
                  std::vector<std::string> optionProblems = {});
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;
    ~ServerSession();

    // The whole life of the session; returns its ExitCode.
    int run();

private:
    void log(const std::string& line) { log_.write(line); }
    void serve();

    // Every record that arrives in the plug-in channel's request queue.
    void dispatch(const Cell& cell);
    // With a record directory: the record's bytes as they arrived.
    void keepRecord(const Cell& cell);
    template <typename R> void answer(std::int32_t requestSelector, const R& record);
    void takeAbort(const msgAbort& abort);
    // Runs an interactive edit or a render unless one is in progress.
    template <typename Run> void startRun(const char* request, Run run);

    ServerArguments arguments_;
    ServerOptions options_;
    std::vector<std::string> optionProblems_;
    SessionLog log_;
    PluginConnection connection_;
    SessionFaults faults_;
    ServerBuffers buffers_;
    PluginDocument document_;
    ServerSettings settings_;
    InteractivePlay interactive_;
    TileRender render_;
    int recordsKept_ = 0;
    // The plug-in sent 25: the session ends when it has gone quiet.
    bool ended_ = false;
    bool busy_ = false;
    bool abortRequested_ = false;
};

} // namespace refserver
