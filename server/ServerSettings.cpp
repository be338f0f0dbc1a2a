#include "ServerSettings.h"

#include "Adjustment.h"
#include "PeerInput.h"
#include "SessionLog.h"
#include "Utf16Field.h"
#include "ipc/IPCMemoryBuffer.h"
#include "proxy/NamedBuffers.h"

#include <algorithm>
#include <memory>
#include <sstream>

namespace refserver {

namespace {

using msg::emptyRecord;

constexpr const char* filterName = "Solvanta Q9 Reference";

// A short readable form of the settings for the new-layer parameters, cut to
// fit its field.
std::string settingsSummary(const AdjustmentSettings& settings) {
    std::ostringstream text;
    text << 'e' << settings.exposure << " c" << settings.contrast << " s" << settings.saturation
         << " i" << (settings.invert ? 1 : 0);
    return text.str().substr(0, msg::nameSize - 1);
}

std::string failureText(const std::string& failure) {
    return " failure=\"" + failure + '"';
}

} // namespace

ServerSettings::ServerSettings(SessionLog& log, const std::optional<std::string>& initialText)
    : log_(log) {
    if (initialText) {
        std::string text = *initialText;
        takeNewLayerChoice(text, newLayerChoice_);
        read(text, AdjustmentSettings(), "initial settings: ");
    }
}

void ServerSettings::read(const std::string& text, const AdjustmentSettings& base,
                          const std::string& context) {
    const SettingsParse parse = parseSettingsText(text, base);
    for (const std::string& problem : parse.rejected) {
        log_.write(context + problem);
    }
    settings_ = parse.settings;
    haveSettings_ = true;
}

void ServerSettings::accept(bool newLayer, const std::optional<std::string>& edit) {
    newLayerChoice_ = newLayer;
    read(edit.value_or(std::string()), settings_, "user edit rejected ");
}

void ServerSettings::takeNewLayerFlag(bool newLayer) {
    if (newLayer) {
        newLayerChoice_ = false;
    }
}

msgGetParametersSizeResponse ServerSettings::answerSize() {
    announcedText_ = haveSettings_ ? textWithChoice() : std::string();
    auto response = emptyRecord<msgGetParametersSizeResponse>(msg::getParametersSizeResponse);
    response.size = static_cast<std::int32_t>(announcedText_->size());
    log_.write("settings-size size=" + std::to_string(response.size));
    return response;
}

msgGetParametersResponse ServerSettings::answerGet(const msgGetParameters& request) {
    const std::string text =
        announcedText_.value_or(haveSettings_ ? textWithChoice() : std::string());
    announcedText_.reset();
    const std::string name = msg::fieldText(request.bufferName);
    std::string failure;
    const std::unique_ptr<ipc::IPCMemoryBuffer> buffer = openPeerBuffer(name, failure);
    auto response = emptyRecord<msgGetParametersResponse>(msg::getParametersResponse);
    response.status = buffer && writePeerText(*buffer, text, failure) ? 0 : 1;
    log_.write("settings-get status=" + std::to_string(response.status) + " buffer=" + name +
               (response.status == 0 ? " text=" + text : failureText(failure)));
    return response;
}

msgSetParametersResponse ServerSettings::answerSet(const msgSetParameters& request) {
    const std::string name = msg::fieldText(request.bufferName);
    std::string failure;
    std::string text;
    const std::unique_ptr<ipc::IPCMemoryBuffer> buffer = openPeerBuffer(name, failure);
    auto response = emptyRecord<msgSetParametersResponse>(msg::setParametersResponse);
    if (!buffer || !readPeerText(*buffer, text, failure)) {
        response.status = 1;
        log_.write("settings-set status=1 buffer=" + name + failureText(failure));
        return response;
    }
    // A text replayed from an action may carry the host's terminator: the
    // settings end at the first NUL. The text replaces the settings whole;
    // the new-layer choice is the server's own and never comes with it.
    text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
    read(text, AdjustmentSettings(), "settings-set rejected ");
    response.status = 0;
    log_.write("settings-set status=0 buffer=" + name + " text=" + text);
    return response;
}

msgGetNewLayerParametersResponse ServerSettings::answerNewLayerParameters() const {
    auto response =
        emptyRecord<msgGetNewLayerParametersResponse>(msg::getNewLayerParametersResponse);
    proxy::copyBufferName(response.fnText, filterName);
    proxy::copyBufferName(response.fiText, settingsSummary(settings_));
    response.abFlag = newLayerChoice_ ? 1 : 0;
    response.duFlag = settings_.invert ? 1 : 0;
    response.deFlag = Adjustment(settings_, PixelLayout{}).isIdentity() ? 0 : 1;
    writeUtf16Field(settings_.layerName, response.layerName, sizeof response.layerName);
    log_.write("new-layer-parameters fn=" + msg::fieldText(response.fnText) +
               " fi=" + msg::fieldText(response.fiText) + " layer=" + settings_.layerName);
    return response;
}

} // namespace refserver
