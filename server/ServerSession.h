#pragma once

#include "AdjustmentSettings.h"
#include "ServerArguments.h"
#include "ServerOptions.h"
#include "SessionLog.h"
#include "proxy/Messages.h"

#include <cstddef>
#include <cstdint>
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

namespace refserver {

// How a session ends; the executable returns these codes.
enum ExitCode : int {
    exitEnded = 0,          // the plug-in ended the connection (25)
    exitFailure = 1,        // a channel could not be opened or created, or the transport failed
    exitBadCommandLine = 2, // the arguments were not " -server:<name> -clientpid:<pid>"
    exitDiedOnPurpose = 3,  // a fault plan's "die" step was reached
    exitClientGone = 4,     // the plug-in's process ended or could not be opened
    exitIdle = 5,           // nothing arrived from the plug-in for the idle limit
};

using msg::Cell;
struct PixelLayout;

// The reference server's side of one connection: it opens the plug-in's
// channel, creates its own before it answers the first ping, and serves the
// plug-in's requests in order until the plug-in ends the connection or its
// process is gone. Interactive editing is played without a screen and renders
// read the document in tiles through one buffer kept for the session.
// A fault plan's "die" step ends the whole process at once, as a crash would.
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
    void openChannels();
    void serve();

    // Every record that arrives in the plug-in channel's request queue.
    void dispatch(const Cell& cell);
    // With a record directory: the record's bytes as they arrived.
    void keepRecord(const Cell& cell);
    void takeHostSettings(const msgHostSettings& settings);
    void takeDocument(const msgDocumentInfo& document);
    void answerSettingsSize();
    void answerGetSettings(const msgGetParameters& request);
    void answerSetSettings(const msgSetParameters& request);
    void answerNewLayerParameters();
    template <typename R> void answer(std::int32_t requestSelector, const R& record);

    void runInteractive();
    void playPreview();
    void playColourRequest();
    void runRender();
    bool renderTiles(const PixelLayout& layout);
    void endRender(std::int32_t selector, std::int32_t code);

    // The server's own requests and their answers.
    template <typename R> bool request(const R& record);
    bool awaitAnswer(std::int32_t expected, Cell& cell);
    bool readRegion(const WireRect& rect, const PixelLayout& layout, std::int32_t& result);
    bool awaitWriteResult(std::int32_t& result);
    bool ensureBuffer(std::unique_ptr<ipc::IPCMemoryBuffer>& buffer, const char* prefix,
                      std::size_t bytes);

    bool receiveFromPlugin(Cell& cell, unsigned timeoutMs);
    // Takes what the plug-in sent meanwhile (an abort, the end) while the
    // server is busy with its own requests.
    void pollPlugin();
    void serveFor(std::uint32_t milliseconds);
    void watchClient();

    void reach(const ServerStep& step);
    [[noreturn]] void staySilent();
    void flood();

    std::optional<PixelLayout> documentLayout(std::string& failure) const;

    ServerArguments arguments_;
    ServerOptions options_;
    std::vector<std::string> optionProblems_;
    SessionLog log_;
    int recordsKept_ = 0;
    std::shared_ptr<platform::Process> client_;
    std::unique_ptr<ipc::ProxyChannel> pluginChannel_;
    std::unique_ptr<ipc::ProxyChannel> ownChannel_;

    AdjustmentSettings settings_;
    bool haveSettings_ = false;
    bool newLayerChoice_ = false;
    // The text whose size the last request 14 announced; request 12 writes
    // exactly that text even if the settings changed in between.
    std::optional<std::string> announcedText_;

    msgHostSettings hostSettings_{};
    bool haveHostSettings_ = false;
    msgDocumentInfo document_{};
    bool haveDocument_ = false;
    std::unique_ptr<ipc::IPCMemoryBuffer> iccProfile_;
    bool newLayerFlag_ = false;
    bool kept_ = false;
    // The plug-in sent 25: the session ends when it has gone quiet.
    bool ended_ = false;

    bool busy_ = false;
    bool abortRequested_ = false;
    // Kept for the whole session: a fresh mapping costs far more than a copy
    // into a warm one.
    std::unique_ptr<ipc::IPCMemoryBuffer> tileBuffer_;
    std::unique_ptr<ipc::IPCMemoryBuffer> maskBuffer_;
    std::unique_ptr<ipc::IPCMemoryBuffer> viewBuffer_;
    int bufferGeneration_ = 0;

    std::uint32_t lastWatch_ = 0;
    std::uint32_t lastRecord_ = 0;
};

} // namespace refserver
