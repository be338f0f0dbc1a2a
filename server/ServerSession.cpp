#include "ServerSession.h"

#include "platform/Process.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <utility>

namespace refserver {

namespace {

using msg::emptyRecord;

// How long the session still serves the plug-in after the end of the
// connection (25).
constexpr std::uint32_t endGraceMs = 2000;

class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() { busy_ = false; }

private:
    bool& busy_;
};

// The size of each record the plug-in sends; a cell holds more, left over
// from earlier messages.
std::size_t recordSize(std::int32_t selector) {
    switch (selector) {
    case msg::hostSettings:
        return sizeof(msgHostSettings);
    case msg::documentInfoLaunched:
    case msg::documentInfoAttached:
        return sizeof(msgDocumentInfo);
    case msg::setParameters:
        return sizeof(msgSetParameters);
    case msg::getParameters:
        return sizeof(msgGetParameters);
    case msg::newLayerFlag:
        return sizeof(msgNewLayerFlag);
    case msg::keepServer:
        return sizeof(msgKeepServer);
    case msg::writeOutputResponse:
        return sizeof(msgWriteOutputResponse);
    case msg::progress:
        return sizeof(msgAbort);
    default:
        return sizeof(msgBase);
    }
}

} // namespace

ServerSession::ServerSession(ServerArguments arguments, ServerOptions options,
                             std::vector<std::string> optionProblems)
    : arguments_(std::move(arguments)), options_(std::move(options)),
      optionProblems_(std::move(optionProblems)), log_(options_.logPath),
      connection_(arguments_, log_, [this](const Cell& cell) { dispatch(cell); }),
      faults_(options_.faults, connection_, log_), buffers_(log_), document_(log_),
      settings_(log_, options_.initialSettings),
      interactive_(connection_, buffers_, log_, options_),
      render_(connection_, faults_, buffers_, log_, options_) {}

ServerSession::~ServerSession() = default;

int ServerSession::run() {
    try {
        log("start connection=" + arguments_.connectionName +
            " client=" + std::to_string(arguments_.clientProcessId) +
            " server=" + std::to_string(platform::currentProcessId()));
        for (const std::string& problem : optionProblems_) {
            log(problem);
        }
        connection_.openClient();
        faults_.reach(ServerStep::start());
        connection_.openChannels();
        serve();
    } catch (const SessionEnd& end) {
        log("exit " + std::to_string(end.exitCode));
        return end.exitCode;
    } catch (const std::exception& failure) {
        log(std::string("failure: ") + failure.what());
        log("exit " + std::to_string(exitFailure));
        return exitFailure;
    }
    return exitFailure;
}

void ServerSession::serve() {
    for (;;) {
        connection_.serveOne(PluginConnection::sliceMs);
        // A cancel sends 25 before the plug-in's Finish asks for the
        // settings: the session ends once the plug-in has gone quiet.
        if (ended_ && connection_.quietMs() >= endGraceMs) {
            throw SessionEnd{exitEnded};
        }
        if (options_.idleLimitMs != 0 && connection_.quietMs() >= options_.idleLimitMs) {
            log("idle for " + std::to_string(options_.idleLimitMs) + " ms");
            throw SessionEnd{exitIdle};
        }
    }
}

void ServerSession::keepRecord(const Cell& cell) {
    const std::int32_t selector = cell.selector();
    const std::filesystem::path file =
        std::filesystem::path(options_.recordDirectory) /
        (std::to_string(recordsKept_++) + "-" + std::to_string(selector) + ".bin");
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(cell.bytes),
              static_cast<std::streamsize>(recordSize(selector)));
    if (!out) {
        log("cannot keep record in " + file.string());
    }
}

template <typename R> void ServerSession::answer(std::int32_t requestSelector, const R& record) {
    if (!faults_.answerWrongly(requestSelector)) {
        connection_.answer(requestSelector, &record, sizeof record);
    }
}

void ServerSession::takeAbort(const msgAbort& abort) {
    log("abort code=" + std::to_string(abort.code) + (busy_ ? "" : " (nothing to abort)"));
    if (busy_) {
        abortRequested_ = true;
    }
}

template <typename Run> void ServerSession::startRun(const char* request, Run run) {
    if (busy_) {
        log(std::string(request) + " ignored: busy");
        return;
    }
    const BusyScope busy(busy_);
    abortRequested_ = false;
    run();
}

void ServerSession::dispatch(const Cell& cell) {
    const std::int32_t selector = cell.selector();
    if (!options_.recordDirectory.empty()) {
        keepRecord(cell);
    }
    faults_.reach(ServerStep::request(selector));
    switch (selector) {
    case msg::ping:
        log("ping");
        answer(selector, emptyRecord<msgPingResponse>(msg::pingResponse));
        break;
    case msg::hostSettings:
        document_.takeHostSettings(cell.as<msgHostSettings>());
        break;
    case msg::documentInfoLaunched:
    case msg::documentInfoAttached:
        document_.takeDescription(cell.as<msgDocumentInfo>());
        break;
    case msg::startInteractive:
        startRun("start-interactive",
                 [this] { interactive_.run(document_, settings_, abortRequested_); });
        break;
    case msg::startRender:
        startRun("start-render",
                 [this] { render_.run(document_, settings_.adjustment(), abortRequested_); });
        break;
    case msg::setParameters:
        answer(selector, settings_.answerSet(cell.as<msgSetParameters>()));
        break;
    case msg::getParameters:
        answer(selector, settings_.answerGet(cell.as<msgGetParameters>()));
        break;
    case msg::getParametersSize:
        answer(selector, settings_.answerSize());
        break;
    case msg::getNewLayerParameters:
        answer(selector, settings_.answerNewLayerParameters());
        break;
    case msg::newLayerFlag: {
        const bool newLayer = cell.as<msgNewLayerFlag>().newLayer != 0;
        settings_.takeNewLayerFlag(newLayer);
        log(std::string("new-layer-flag ") + (newLayer ? "1" : "0"));
        break;
    }
    case msg::keepServer:
        connection_.markKept();
        log("keep-server value=" + std::to_string(cell.as<msgKeepServer>().value));
        break;
    case msg::endConnection:
        log("end-connection");
        ended_ = true;
        break;
    case msg::progress:
        takeAbort(cell.as<msgAbort>());
        break;
    case msg::finishAcknowledged:
        log("finish-acknowledged");
        break;
    case msg::bringToFront:
        log("bring-to-front");
        break;
    case msg::writeOutputResponse:
        log("write answer without a write request");
        break;
    default:
        log("unknown selector " + std::to_string(selector) + " ignored");
        break;
    }
}

} // namespace refserver
