#include "ServerSession.h"

#include "Adjustment.h"
#include "PeerInput.h"
#include "TextUnits.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/ProxyChannel.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "proxy/MessageFields.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace refserver {

using msg::emptyRecord;

namespace {

constexpr unsigned sendTimeoutMs = 10000;
constexpr unsigned receiveSliceMs = 250;
constexpr std::uint32_t watchIntervalMs = 2000;
// How long the session still serves the plug-in after the end of the
// connection (25).
constexpr std::uint32_t endGraceMs = 2000;
// The plug-in registers no handler for it.
constexpr std::int32_t unknownSelector = 26;
// Codes of the end record 24 that the plug-in maps to "cancelled" and to a
// general failure.
constexpr std::int32_t cancelledCode = -128;
constexpr std::int32_t generalFailureCode = -1;
// A tile never needs more than this; larger tiles are cut to fewer rows.
constexpr std::size_t maximumTileBytes = std::size_t{256} << 20;
// The edge of the region an interactive preview shows.
constexpr int previewEdge = 64;
// Colour-services space codes.
constexpr std::int8_t spaceRGB = 0;
constexpr std::int8_t spaceGray = 4;

constexpr const char* filterName = "Solvanta Q9 Reference";

// Ends the session from wherever it is; not a std::exception, so that no
// handler of ordinary failures takes it.
struct SessionEnd {
    int exitCode;
};

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

std::uint32_t elapsedSince(std::uint32_t tick) {
    return platform::tickCount() - tick;
}

std::string rectText(const WireRect& rect) {
    std::ostringstream text;
    text << rect.left << ',' << rect.top << ',' << rect.right << ',' << rect.bottom;
    return text.str();
}

std::string colourText(const std::uint16_t (&components)[4]) {
    std::ostringstream text;
    text << components[0] << ',' << components[1] << ',' << components[2] << ',' << components[3];
    return text.str();
}

// FNV-1a, so that a log line can show which bytes a buffer held.
std::uint32_t checksum(const unsigned char* bytes, std::size_t count) {
    std::uint32_t hash = 2166136261U;
    for (std::size_t i = 0; i < count; ++i) {
        hash = (hash ^ bytes[i]) * 16777619U;
    }
    return hash;
}

std::int64_t width(const WireRect& rect) {
    return std::int64_t{rect.right} - rect.left;
}

std::int64_t height(const WireRect& rect) {
    return std::int64_t{rect.bottom} - rect.top;
}

// A short readable form of the settings for the new-layer parameters.
std::string settingsSummary(const AdjustmentSettings& settings) {
    std::ostringstream text;
    text << 'e' << settings.exposure << " c" << settings.contrast << " s" << settings.saturation
         << " i" << (settings.invert ? 1 : 0);
    return text.str().substr(0, msg::nameSize - 1);
}

const char* userText(UserChoice user) {
    switch (user) {
    case UserChoice::accept:
        return "accept";
    case UserChoice::cancel:
        return "cancel";
    case UserChoice::acceptNewLayer:
        return "accept-new-layer";
    }
    return "accept";
}

} // namespace

ServerSession::ServerSession(ServerArguments arguments, ServerOptions options,
                             std::vector<std::string> optionProblems)
    : arguments_(std::move(arguments)), options_(std::move(options)),
      optionProblems_(std::move(optionProblems)), log_(options_.logPath) {
    if (options_.initialSettings) {
        std::string text = *options_.initialSettings;
        takeNewLayerChoice(text, newLayerChoice_);
        const SettingsParse parse = parseSettingsText(text);
        for (const std::string& problem : parse.rejected) {
            log("initial settings: " + problem);
        }
        settings_ = parse.settings;
        haveSettings_ = true;
    }
}

ServerSession::~ServerSession() = default;

int ServerSession::run() {
    try {
        lastWatch_ = platform::tickCount();
        lastRecord_ = lastWatch_;
        log("start connection=" + arguments_.connectionName +
            " client=" + std::to_string(arguments_.clientProcessId) +
            " server=" + std::to_string(platform::currentProcessId()));
        for (const std::string& problem : optionProblems_) {
            log(problem);
        }
        client_ = platform::openProcess(arguments_.clientProcessId);
        if (!client_) {
            log("the plug-in's process " + std::to_string(arguments_.clientProcessId) +
                " cannot be opened");
            throw SessionEnd{exitClientGone};
        }
        reach(ServerStep::start());
        openChannels();
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

void ServerSession::openChannels() {
    const std::string& name = arguments_.connectionName;
    const std::uint32_t clientPid = arguments_.clientProcessId;
    pluginChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::open, name, clientPid);
    // The plug-in opens this channel as soon as its first ping is answered.
    const std::uint32_t ownPid = platform::currentProcessId();
    ownChannel_ = std::make_unique<ipc::ProxyChannel>(ipc::create, name, ownPid);
    log("ready request=" + ownChannel_->requestQueueName() +
        " response=" + ownChannel_->responseQueueName());
}

void ServerSession::serve() {
    for (;;) {
        Cell cell;
        if (receiveFromPlugin(cell, receiveSliceMs)) {
            dispatch(cell);
        }
        watchClient();
        // A cancel sends 25 before the plug-in's Finish asks for the
        // settings: the session ends once the plug-in has gone quiet.
        if (ended_ && elapsedSince(lastRecord_) >= endGraceMs) {
            throw SessionEnd{exitEnded};
        }
        if (options_.idleLimitMs != 0 && elapsedSince(lastRecord_) >= options_.idleLimitMs) {
            log("idle for " + std::to_string(options_.idleLimitMs) + " ms");
            throw SessionEnd{exitIdle};
        }
    }
}

bool ServerSession::receiveFromPlugin(Cell& cell, unsigned timeoutMs) {
    std::size_t size = 0;
    if (!pluginChannel_->receiveRequest(cell.bytes, sizeof cell.bytes, size, timeoutMs)) {
        return false;
    }
    lastRecord_ = platform::tickCount();
    return true;
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

void ServerSession::dispatch(const Cell& cell) {
    const std::int32_t selector = cell.selector();
    if (!options_.recordDirectory.empty()) {
        keepRecord(cell);
    }
    reach(ServerStep::request(selector));
    switch (selector) {
    case msg::ping:
        log("ping");
        answer(selector, emptyRecord<msgPingResponse>(msg::pingResponse));
        break;
    case msg::hostSettings:
        takeHostSettings(cell.as<msgHostSettings>());
        break;
    case msg::documentInfoLaunched:
    case msg::documentInfoAttached:
        takeDocument(cell.as<msgDocumentInfo>());
        break;
    case msg::startInteractive:
        runInteractive();
        break;
    case msg::finishAcknowledged:
        log("finish-acknowledged");
        break;
    case msg::bringToFront:
        log("bring-to-front");
        break;
    case msg::setParameters:
        answerSetSettings(cell.as<msgSetParameters>());
        break;
    case msg::getParameters:
        answerGetSettings(cell.as<msgGetParameters>());
        break;
    case msg::getParametersSize:
        answerSettingsSize();
        break;
    case msg::newLayerFlag:
        newLayerFlag_ = cell.as<msgNewLayerFlag>().newLayer != 0;
        // This is the pass that makes the new layer: a choice still asking
        // for one would make the plug-in skip its render once more.
        if (newLayerFlag_) {
            newLayerChoice_ = false;
        }
        log(std::string("new-layer-flag ") + (newLayerFlag_ ? "1" : "0"));
        break;
    case msg::startRender:
        runRender();
        break;
    case msg::endConnection:
        log("end-connection");
        ended_ = true;
        break;
    case msg::keepServer:
        kept_ = true;
        log("keep-server value=" + std::to_string(cell.as<msgKeepServer>().value));
        break;
    case msg::getNewLayerParameters:
        answerNewLayerParameters();
        break;
    case msg::progress:
        log("abort code=" + std::to_string(cell.as<msgAbort>().code) +
            (busy_ ? "" : " (nothing to abort)"));
        if (busy_) {
            abortRequested_ = true;
        }
        break;
    case msg::writeOutputResponse:
        log("write answer without a write request");
        break;
    default:
        log("unknown selector " + std::to_string(selector) + " ignored");
        break;
    }
}

template <typename R> void ServerSession::answer(std::int32_t requestSelector, const R& record) {
    bool sent = false;
    if (options_.faults.wrongAnswerTo == requestSelector) {
        // Another request's answer: the plug-in matches answers by position
        // and must notice the selector.
        if (requestSelector == msg::ping) {
            const auto wrong =
                emptyRecord<msgGetParametersSizeResponse>(msg::getParametersSizeResponse);
            sent = ipc::sendWithin(pluginChannel_->responseQueue(), &wrong, sizeof wrong,
                                   sendTimeoutMs);
        } else {
            const auto wrong = emptyRecord<msgPingResponse>(msg::pingResponse);
            sent = ipc::sendWithin(pluginChannel_->responseQueue(), &wrong, sizeof wrong,
                                   sendTimeoutMs);
        }
        log("fault: wrong answer to " + std::to_string(requestSelector));
    } else {
        sent =
            ipc::sendWithin(pluginChannel_->responseQueue(), &record, sizeof record, sendTimeoutMs);
    }
    if (!sent) {
        log("answer to " + std::to_string(requestSelector) + " not accepted: queue full");
    }
}

void ServerSession::takeHostSettings(const msgHostSettings& settings) {
    hostSettings_ = settings;
    haveHostSettings_ = true;
    std::ostringstream line;
    line << "host-settings newLayerCapable=" << int{settings.newLayerCapable}
         << " maskFromTransparency=" << int{settings.maskFromTransparency}
         << " maskFullySelected=" << int{settings.maskFullySelected}
         << " descriptorHadKeys=" << int{settings.descriptorHadKeys}
         << " liss=" << int{settings.lissSet} << " plip=" << int{settings.plipSetWithoutAutolayer}
         << " constants=" << int{settings.constant4} << int{settings.constant5}
         << int{settings.constant6} << int{settings.constant7} << int{settings.constant9}
         << int{settings.constant10} << int{settings.constant11} << int{settings.constant17}
         << " background=" << colourText(settings.background)
         << " foreground=" << colourText(settings.foreground);
    log(line.str());
}

void ServerSession::takeDocument(const msgDocumentInfo& document) {
    document_ = document;
    haveDocument_ = true;
    std::ostringstream line;
    line << "document selector=" << document.selector << " version=" << document.version
         << " bytesPerChannel=" << int{document.bytesPerChannel}
         << " hasSelectionMask=" << int{document.hasSelectionMask}
         << " hasSelection=" << int{document.hasSelection}
         << " image=" << rectText(document.imageRect) << " whole=" << rectText(document.wholeRect)
         << " effective=" << rectText(document.effectiveRect)
         << " model=" << int{document.colorModel} << " channels=" << int{document.colorChannels}
         << " alpha=" << int{document.hasAlpha};

    iccProfile_.reset();
    const std::string profileName = fieldText(document.iccProfileName);
    if (!profileName.empty()) {
        std::string failure;
        std::unique_ptr<ipc::IPCMemoryBuffer> profile = openPeerBuffer(profileName, failure);
        const std::int64_t size = profile ? checkedPayloadSize(*profile, failure) : -1;
        line << " icc=" << profileName;
        if (size >= 0) {
            line << " iccBytes=" << size
                 << " iccChecksum=" << checksum(profile->data(), static_cast<std::size_t>(size));
            iccProfile_ = std::move(profile);
        } else {
            line << " iccRejected=\"" << failure << '"';
        }
    }
    // Last, as the name may hold any text.
    line << " name=" << utf8FromUtf16Field(document.documentName, sizeof document.documentName);
    log(line.str());
}

void ServerSession::answerSettingsSize() {
    announcedText_ =
        haveSettings_ ? settingsTextWithChoice(newLayerChoice_, settings_) : std::string();
    auto response = emptyRecord<msgGetParametersSizeResponse>(msg::getParametersSizeResponse);
    response.size = static_cast<std::int32_t>(announcedText_->size());
    log("settings-size size=" + std::to_string(response.size));
    answer(msg::getParametersSize, response);
}

void ServerSession::answerGetSettings(const msgGetParameters& request) {
    const std::string text = announcedText_.value_or(
        haveSettings_ ? settingsTextWithChoice(newLayerChoice_, settings_) : std::string());
    announcedText_.reset();
    const std::string name = fieldText(request.bufferName);
    std::string failure;
    std::unique_ptr<ipc::IPCMemoryBuffer> buffer = openPeerBuffer(name, failure);
    auto response = emptyRecord<msgGetParametersResponse>(msg::getParametersResponse);
    response.status = buffer && writePeerText(*buffer, text, failure) ? 0 : 1;
    log("settings-get status=" + std::to_string(response.status) + " buffer=" + name +
        (response.status == 0 ? " text=" + text : " failure=\"" + failure + '"'));
    answer(msg::getParameters, response);
}

void ServerSession::answerSetSettings(const msgSetParameters& request) {
    const std::string name = fieldText(request.bufferName);
    std::string failure;
    std::string text;
    std::unique_ptr<ipc::IPCMemoryBuffer> buffer = openPeerBuffer(name, failure);
    auto response = emptyRecord<msgSetParametersResponse>(msg::setParametersResponse);
    if (buffer && readPeerText(*buffer, text, failure)) {
        // A text replayed from an action may carry the host's terminator:
        // the settings end at the first NUL.
        text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
        // The plug-in's text replaces the settings whole; the new-layer
        // choice is the server's own and never comes with it.
        const SettingsParse parse = parseSettingsText(text);
        settings_ = parse.settings;
        haveSettings_ = true;
        for (const std::string& problem : parse.rejected) {
            log("settings-set rejected " + problem);
        }
        response.status = 0;
        log("settings-set status=0 buffer=" + name + " text=" + text);
    } else {
        response.status = 1;
        log("settings-set status=1 buffer=" + name + " failure=\"" + failure + '"');
    }
    answer(msg::setParameters, response);
}

void ServerSession::answerNewLayerParameters() {
    auto response =
        emptyRecord<msgGetNewLayerParametersResponse>(msg::getNewLayerParametersResponse);
    msg::writeFieldText(response.fnText, filterName);
    msg::writeFieldText(response.fiText, settingsSummary(settings_));
    response.abFlag = newLayerChoice_ ? 1 : 0;
    response.duFlag = settings_.invert ? 1 : 0;
    response.deFlag = Adjustment(settings_, PixelLayout{}).isIdentity() ? 0 : 1;
    writeUtf16Field(settings_.layerName, response.layerName, sizeof response.layerName);
    log("new-layer-parameters fn=" + std::string(response.fnText) +
        " fi=" + std::string(response.fiText) + " layer=" + settings_.layerName);
    answer(msg::getNewLayerParameters, response);
}

void ServerSession::runInteractive() {
    if (busy_) {
        log("start-interactive ignored: busy");
        return;
    }
    const BusyScope busy(busy_);
    abortRequested_ = false;
    log(std::string("interactive start user=") + userText(options_.user) +
        " delay=" + std::to_string(options_.userDelayMs));
    serveFor(options_.userDelayMs);
    if (options_.preview) {
        playPreview();
    }
    if (options_.colour != ColourRequest::none) {
        playColourRequest();
    }
    std::int32_t end = msg::finish;
    if (abortRequested_ || options_.user == UserChoice::cancel) {
        end = msg::cancel;
    } else {
        newLayerChoice_ = options_.user == UserChoice::acceptNewLayer;
        if (options_.userEdit) {
            const SettingsParse parse = parseSettingsText(*options_.userEdit, settings_);
            for (const std::string& problem : parse.rejected) {
                log("user edit rejected " + problem);
            }
            settings_ = parse.settings;
        }
        haveSettings_ = true;
    }
    if (request(emptyRecord<msgBase>(end))) {
        log("interactive end selector=" + std::to_string(end) +
            " settings=" + settingsTextWithChoice(newLayerChoice_, settings_));
    }
}

void ServerSession::playPreview() {
    std::string failure;
    const std::optional<PixelLayout> layout = documentLayout(failure);
    if (!layout) {
        log("preview skipped: " + failure);
        return;
    }
    const WireRect& area = document_.effectiveRect;
    const WireRect rect{
        area.left,
        static_cast<std::int32_t>(area.left + std::min<std::int64_t>(width(area), previewEdge)),
        area.top,
        static_cast<std::int32_t>(area.top + std::min<std::int64_t>(height(area), previewEdge))};
    const auto w = static_cast<int>(width(rect));
    const auto h = static_cast<int>(height(rect));
    const std::size_t rowBytes = static_cast<std::size_t>(w) * layout->pixelBytes();
    std::int32_t result = 0;
    if (!ensureBuffer(tileBuffer_, "vtsrvtile", rowBytes * static_cast<std::size_t>(h)) ||
        !ensureBuffer(viewBuffer_, "vtsrvview",
                      static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) ||
        !readRegion(rect, *layout, result)) {
        log("preview failed");
        return;
    }
    if (result != 0) {
        log("preview read answered " + std::to_string(result));
        return;
    }
    Adjustment(settings_, *layout).apply(tileBuffer_->data(), rowBytes, w, h);

    auto display = emptyRecord<msgDisplayRequest>(msg::display);
    display.rect = rect;
    display.rowBytes = static_cast<std::int32_t>(rowBytes);
    display.bytesPerSample = layout->bytesPerSample;
    display.resultBytesPerPixel = 4;
    display.colBytes = static_cast<std::int32_t>(layout->pixelBytes());
    display.colorModel = static_cast<std::uint8_t>(layout->colorModel);
    display.colorChannels = static_cast<std::uint8_t>(layout->colorChannels);
    display.hasAlpha = layout->hasAlpha ? 1 : 0;
    msg::writeFieldText(display.sourceName, tileBuffer_->name());
    msg::writeFieldText(display.resultName, viewBuffer_->name());
    Cell cell;
    if (!request(display) || !awaitAnswer(msg::displayResponse, cell)) {
        log("preview failed");
        return;
    }
    const std::size_t viewBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4;
    log("preview " + std::to_string(w) + "x" + std::to_string(h) + " answered=" +
        std::to_string(cell.as<msgDisplayResponse>().result) + " view=" + viewBuffer_->name() +
        " viewChecksum=" + std::to_string(checksum(viewBuffer_->data(), viewBytes)));
}

void ServerSession::playColourRequest() {
    std::uint16_t colour[4] = {0, 0, 0, 255};
    if (haveHostSettings_) {
        std::copy(std::begin(hostSettings_.foreground), std::end(hostSettings_.foreground),
                  std::begin(colour));
    }
    Cell cell;
    if (options_.colour == ColourRequest::pick) {
        auto pick = emptyRecord<msgPickColorRequest>(msg::pickColor);
        pick.space = spaceRGB;
        std::copy(std::begin(colour), std::end(colour), std::begin(pick.components));
        if (request(pick) && awaitAnswer(msg::pickColor, cell)) {
            const auto picked = cell.as<msgPickColorResponse>();
            log("colour picked space=" + std::to_string(picked.space) + " components=" +
                colourText(picked.components) + " failed=" + std::to_string(picked.failed));
            return;
        }
    } else {
        auto convert = emptyRecord<msgConvertColorRequest>(msg::convertColor);
        convert.space = spaceRGB;
        convert.targetSpace = spaceGray;
        std::copy(std::begin(colour), std::end(colour), std::begin(convert.components));
        if (request(convert) && awaitAnswer(msg::convertColor, cell)) {
            const auto converted = cell.as<msgConvertColorResponse>();
            log("colour converted from=" + colourText(colour) +
                " space=" + std::to_string(converted.targetSpace) +
                " components=" + colourText(converted.components));
            return;
        }
    }
    log("colour request failed");
}

std::optional<PixelLayout> ServerSession::documentLayout(std::string& failure) const {
    if (!haveDocument_) {
        failure = "no document description";
        return std::nullopt;
    }
    PixelLayout layout;
    layout.colorModel = document_.colorModel;
    layout.colorChannels = document_.colorChannels;
    layout.hasAlpha = document_.hasAlpha != 0;
    layout.bytesPerSample = document_.bytesPerChannel;
    const WireRect& area = document_.effectiveRect;
    if (layout.bytesPerSample != 1 && layout.bytesPerSample != 2) {
        failure = "unsupported bytes per channel " + std::to_string(layout.bytesPerSample);
    } else if (layout.colorChannels < 1) {
        failure = "no colour channels";
    } else if (width(area) <= 0 || height(area) <= 0) {
        failure = "empty effective bounds " + rectText(area);
    } else {
        return layout;
    }
    return std::nullopt;
}

void ServerSession::runRender() {
    if (busy_) {
        log("start-render ignored: busy");
        return;
    }
    const BusyScope busy(busy_);
    abortRequested_ = false;
    std::string failure;
    const std::optional<PixelLayout> layout = documentLayout(failure);
    if (!layout) {
        log("render refused: " + failure);
        endRender(msg::endWithError, generalFailureCode);
        return;
    }
    if (!renderTiles(*layout)) {
        return;
    }
    switch (options_.renderEnd) {
    case RenderEnd::finish:
        endRender(msg::finish, 0);
        break;
    case RenderEnd::cancel:
        endRender(msg::cancel, 0);
        break;
    case RenderEnd::error:
        endRender(msg::endWithError, options_.renderErrorCode);
        break;
    }
}

// Reads, adjusts and writes the effective bounds tile by tile. False when the
// render has already been ended (or could not be, the plug-in not reading).
bool ServerSession::renderTiles(const PixelLayout& layout) {
    const WireRect& area = document_.effectiveRect;
    const std::size_t pixelBytes = layout.pixelBytes();
    const std::int64_t tileWidth = std::min<std::int64_t>(options_.tileSize, width(area));
    const auto rowLimit = static_cast<std::int64_t>(
        maximumTileBytes / (static_cast<std::size_t>(tileWidth) * pixelBytes));
    const std::int64_t tileHeight = std::max<std::int64_t>(
        1, std::min({std::int64_t{options_.tileSize}, height(area), rowLimit}));
    const std::int64_t columns = (width(area) + tileWidth - 1) / tileWidth;
    const std::int64_t rows = (height(area) + tileHeight - 1) / tileHeight;
    const std::int64_t total = columns * rows;
    const bool withMask = document_.hasSelectionMask != 0;
    const auto bytesPerSample = static_cast<std::size_t>(layout.bytesPerSample);

    if (total > INT32_MAX ||
        !ensureBuffer(tileBuffer_, "vtsrvtile",
                      static_cast<std::size_t>(tileWidth * tileHeight) * pixelBytes) ||
        (withMask &&
         !ensureBuffer(maskBuffer_, "vtsrvmask",
                       static_cast<std::size_t>(tileWidth * tileHeight) * bytesPerSample))) {
        endRender(msg::endWithError, generalFailureCode);
        return false;
    }
    log("render tiles=" + std::to_string(total) + " tile=" + std::to_string(tileWidth) + "x" +
        std::to_string(tileHeight) + " buffer=" + tileBuffer_->name() +
        (withMask ? " mask=" + maskBuffer_->name() : std::string()) +
        " settings=" + formatSettingsText(settings_));
    const Adjustment adjustment(settings_, layout);

    std::int32_t done = 0;
    for (std::int64_t top = area.top; top < area.bottom; top += tileHeight) {
        for (std::int64_t left = area.left; left < area.right; left += tileWidth) {
            pollPlugin();
            if (abortRequested_) {
                endRender(msg::endWithError, cancelledCode);
                return false;
            }
            const WireRect rect{
                static_cast<std::int32_t>(left),
                static_cast<std::int32_t>(std::min<std::int64_t>(left + tileWidth, area.right)),
                static_cast<std::int32_t>(top),
                static_cast<std::int32_t>(std::min<std::int64_t>(top + tileHeight, area.bottom))};
            const auto w = static_cast<int>(width(rect));
            const auto h = static_cast<int>(height(rect));
            const std::size_t rowBytes = static_cast<std::size_t>(w) * pixelBytes;

            std::int32_t result = 0;
            if (!readRegion(rect, layout, result)) {
                endRender(msg::endWithError, generalFailureCode);
                return false;
            }
            if (result != 0) {
                endRender(msg::endWithError, result);
                return false;
            }

            const unsigned char* mask = nullptr;
            const std::size_t maskRowBytes = static_cast<std::size_t>(w) * bytesPerSample;
            if (withMask) {
                // Pixels outside the mask's bounds are not written by the
                // plug-in: they read as unselected.
                std::memset(maskBuffer_->data(), 0, maskRowBytes * static_cast<std::size_t>(h));
                auto readMask = emptyRecord<msgReadMaskRequest>(msg::readMask);
                readMask.rect = rect;
                readMask.minRowBytes = static_cast<std::int32_t>(maskRowBytes);
                readMask.bytesPerSample = layout.bytesPerSample;
                readMask.channels = 1;
                msg::writeFieldText(readMask.bufferName, maskBuffer_->name());
                Cell cell;
                if (!request(readMask) || !awaitAnswer(msg::readMaskResponse, cell)) {
                    endRender(msg::endWithError, generalFailureCode);
                    return false;
                }
                if (cell.as<msgReadMaskResponse>().copied != 0) {
                    mask = maskBuffer_->data();
                }
            }

            adjustment.apply(tileBuffer_->data(), rowBytes, w, h, mask, maskRowBytes);

            auto write = emptyRecord<msgWriteOutputRequest>(msg::writeOutput);
            write.rect = rect;
            write.minRowBytes = static_cast<std::int32_t>(rowBytes);
            write.bytesPerSample = layout.bytesPerSample;
            write.colorModel = layout.colorModel;
            write.colorChannels = layout.colorChannels;
            write.hasAlpha = layout.hasAlpha ? 1 : 0;
            msg::writeFieldText(write.bufferName, tileBuffer_->name());
            if (!request(write) || !awaitWriteResult(result)) {
                endRender(msg::endWithError, generalFailureCode);
                return false;
            }
            if (result != 0) {
                endRender(msg::endWithError, result);
                return false;
            }

            ++done;
            auto progress = emptyRecord<msgProgress>(msg::progress);
            progress.done = done;
            progress.total = static_cast<std::int32_t>(total);
            request(progress);
            reach(ServerStep::tile(done));
        }
    }
    return true;
}

void ServerSession::endRender(std::int32_t selector, std::int32_t code) {
    bool sent = false;
    if (selector == msg::endWithError) {
        auto end = emptyRecord<msgEndWithError>(msg::endWithError);
        end.code = code;
        sent = request(end);
    } else {
        sent = request(emptyRecord<msgBase>(selector));
    }
    if (sent) {
        log("render end selector=" + std::to_string(selector) +
            (selector == msg::endWithError ? " code=" + std::to_string(code) : std::string()));
    }
    reach(ServerStep::afterRender());
}

template <typename R> bool ServerSession::request(const R& record) {
    if (!ownChannel_) {
        log("request " + std::to_string(record.selector) + " before the channel exists");
        return false;
    }
    if (ipc::sendWithin(ownChannel_->requestQueue(), &record, sizeof record, sendTimeoutMs)) {
        return true;
    }
    log("request " + std::to_string(record.selector) + " not accepted: queue full");
    return false;
}

bool ServerSession::awaitAnswer(std::int32_t expected, Cell& cell) {
    for (;;) {
        std::size_t size = 0;
        if (ownChannel_->receive(cell.bytes, sizeof cell.bytes, size, receiveSliceMs)) {
            lastRecord_ = platform::tickCount();
            const std::int32_t selector = cell.selector();
            if (selector == expected) {
                return true;
            }
            log("answer " + std::to_string(selector) + " where " + std::to_string(expected) +
                " was expected");
            return false;
        }
        pollPlugin();
        watchClient();
    }
}

bool ServerSession::readRegion(const WireRect& rect, const PixelLayout& layout,
                               std::int32_t& result) {
    auto read = emptyRecord<msgReadInputRequest>(msg::readInput);
    read.rect = rect;
    read.step = 1;
    read.minRowBytes =
        static_cast<std::int32_t>(static_cast<std::size_t>(width(rect)) * layout.pixelBytes());
    read.bytesPerSample = layout.bytesPerSample;
    read.colorModel = static_cast<std::uint8_t>(layout.colorModel);
    read.colorChannels = static_cast<std::uint8_t>(layout.colorChannels);
    read.hasAlpha = layout.hasAlpha ? 1 : 0;
    msg::writeFieldText(read.bufferName, tileBuffer_->name());
    Cell cell;
    if (!request(read) || !awaitAnswer(msg::readInputResponse, cell)) {
        return false;
    }
    result = cell.as<msgReadInputResponse>().result;
    return true;
}

// The plug-in answers a write with a record of its own in its channel's
// request queue; whatever else it sends meanwhile is handled on the way.
bool ServerSession::awaitWriteResult(std::int32_t& result) {
    for (;;) {
        Cell cell;
        if (receiveFromPlugin(cell, receiveSliceMs)) {
            if (cell.selector() == msg::writeOutputResponse) {
                reach(ServerStep::request(msg::writeOutputResponse));
                result = cell.as<msgWriteOutputResponse>().result;
                return true;
            }
            dispatch(cell);
        }
        watchClient();
    }
}

bool ServerSession::ensureBuffer(std::unique_ptr<ipc::IPCMemoryBuffer>& buffer, const char* prefix,
                                 std::size_t bytes) {
    if (buffer && buffer->contains(0, bytes)) {
        return true;
    }
    buffer.reset();
    if (bytes > static_cast<std::size_t>(INT32_MAX)) {
        log("a buffer of " + std::to_string(bytes) + " bytes is too large");
        return false;
    }
    // A name of an earlier buffer may still be held by the plug-in, and
    // creating it again would open that old region: every buffer gets a new
    // generation.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::string suffix = std::to_string(platform::currentProcessId()) + "_" +
                                   std::to_string(bufferGeneration_++);
        try {
            auto created = std::make_unique<ipc::IPCMemoryBuffer>(
                ipc::create, prefix, suffix, static_cast<int>(bytes), ipc::UniqueSuffix::none);
            if (created->contains(0, bytes) && created->name().size() < msg::nameSize) {
                buffer = std::move(created);
                return true;
            }
            log("buffer " + created->name() + " exists already and is too small");
        } catch (const std::exception& failure) {
            log(std::string("cannot create a buffer: ") + failure.what());
        }
    }
    return false;
}

void ServerSession::pollPlugin() {
    Cell cell;
    while (receiveFromPlugin(cell, 0)) {
        dispatch(cell);
    }
}

void ServerSession::serveFor(std::uint32_t milliseconds) {
    const std::uint32_t start = platform::tickCount();
    for (;;) {
        const std::uint32_t elapsed = elapsedSince(start);
        if (elapsed >= milliseconds) {
            return;
        }
        Cell cell;
        if (receiveFromPlugin(cell,
                              std::min<std::uint32_t>(milliseconds - elapsed, receiveSliceMs))) {
            dispatch(cell);
        }
        watchClient();
    }
}

// Every couple of seconds: a server whose plug-in process has gone can never
// be spoken to again.
void ServerSession::watchClient() {
    if (elapsedSince(lastWatch_) < watchIntervalMs) {
        return;
    }
    lastWatch_ = platform::tickCount();
    std::uint32_t code = 0;
    if (client_ && client_->exitCode(code) && code != platform::kStillActive) {
        log("the plug-in's process " + std::to_string(arguments_.clientProcessId) + " is gone" +
            (kept_ ? " (kept)" : ""));
        throw SessionEnd{exitClientGone};
    }
}

void ServerSession::reach(const ServerStep& step) {
    const FaultPlan& faults = options_.faults;
    if (step == faults.unknownAt) {
        log("fault: unknown selector " + std::to_string(unknownSelector) + " at " + step.text());
        request(emptyRecord<msgBase>(unknownSelector));
    }
    if (step == faults.floodAt) {
        flood();
    }
    if (step == faults.silentAt) {
        staySilent();
    }
    if (step == faults.dieAt) {
        log("fault: dying at " + step.text());
        std::_Exit(exitDiedOnPurpose);
    }
}

void ServerSession::staySilent() {
    log("fault: silent");
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(receiveSliceMs));
        watchClient();
    }
}

void ServerSession::flood() {
    const std::int32_t count = options_.faults.floodCount;
    log("fault: flooding " + std::to_string(count) + " progress reports");
    for (std::int32_t i = 0; i < count; ++i) {
        auto progress = emptyRecord<msgProgress>(msg::progress);
        progress.done = i;
        progress.total = count;
        if (!request(progress)) {
            log("fault: flood stopped after " + std::to_string(i));
            return;
        }
    }
}

} // namespace refserver
