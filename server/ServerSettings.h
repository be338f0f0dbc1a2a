#pragma once

#include "AdjustmentSettings.h"
#include "proxy/Messages.h"

#include <optional>
#include <string>

namespace refserver {

class SessionLog;

// The settings the server holds, with the user's new-layer choice, and the
// exchanges that move them: 14 announces the text, 12 hands it over, 10
// replaces the settings, 28 describes the new layer. A fresh server holds no
// settings until it is given some or a user accepts.
class ServerSettings {
public:
    // `initialText` may start with the new-layer choice ('0' or '1').
    ServerSettings(SessionLog& log, const std::optional<std::string>& initialText);

    const AdjustmentSettings& adjustment() const { return settings_; }
    // The new-layer choice followed by the canonical text.
    std::string textWithChoice() const {
        return settingsTextWithChoice(newLayerChoice_, settings_);
    }

    // An accepting user: the new-layer choice and `edit` over the settings.
    void accept(bool newLayer, const std::optional<std::string>& edit);
    // 22 with a flag of 1 is the pass that makes the new layer: a choice
    // still asking for one would make the plug-in skip its render once more.
    void takeNewLayerFlag(bool newLayer);

    msgGetParametersSizeResponse answerSize();
    msgGetParametersResponse answerGet(const msgGetParameters& request);
    msgSetParametersResponse answerSet(const msgSetParameters& request);
    msgGetNewLayerParametersResponse answerNewLayerParameters() const;

private:
    // Reads `text` over `base` into the settings; every pair not taken is
    // logged after `context`.
    void read(const std::string& text, const AdjustmentSettings& base, const std::string& context);

    SessionLog& log_;
    AdjustmentSettings settings_;
    bool haveSettings_ = false;
    bool newLayerChoice_ = false;
    // The text whose size the last request 14 announced; request 12 writes
    // exactly that text even if the settings changed in between.
    std::optional<std::string> announcedText_;
};

} // namespace refserver
