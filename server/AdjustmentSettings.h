#pragma once

#include <string>
#include <vector>

namespace refserver {

// The reference server's settings: an image adjustment that its settings text
// describes as "key=value" pairs separated by ';', for example
// "exposure=0.3;contrast=1.1;saturation=1.2;invert=0;layer=Warm".
struct AdjustmentSettings {
    static constexpr double minimumExposure = -8.0;
    static constexpr double maximumExposure = 8.0;
    static constexpr double maximumFactor = 8.0;

    double exposure = 0.0;                         // stops: each sample is multiplied by 2^exposure
    double contrast = 1.0;                         // slope around mid-grey
    double saturation = 1.0;                       // distance from the pixel's luminance, RGB only
    bool invert = false;                           // applied last
    std::string layerName = "Solvanta Adjustment"; // for a result on a new layer

    bool operator==(const AdjustmentSettings& other) const;
    bool operator!=(const AdjustmentSettings& other) const { return !(*this == other); }
};

struct SettingsParse {
    AdjustmentSettings settings;
    // One line for every pair that was not taken: unknown key, no '=',
    // unreadable or out-of-range value. Those pairs leave the setting as it
    // was.
    std::vector<std::string> rejected;
};

// Reads the pairs of `text` over `base`. Blanks around keys and values are
// ignored; empty pairs are skipped; a later pair for the same key wins.
SettingsParse parseSettingsText(const std::string& text, const AdjustmentSettings& base = {});

// The canonical text: every adjustment key in a fixed order, numbers in their
// shortest exact form, the layer name only when it is not the default.
std::string formatSettingsText(const AdjustmentSettings& settings);

// The text the server hands the plug-in: '1' or '0' for the new-layer choice,
// then the canonical settings.
std::string settingsTextWithChoice(bool newLayer, const AdjustmentSettings& settings);

// Removes a leading '0' or '1' from `text` and reports it in `newLayer`.
// False, and nothing changed, when the text starts otherwise.
bool takeNewLayerChoice(std::string& text, bool& newLayer);

} // namespace refserver
