#include "AdjustmentSettings.h"

#include <array>
#include <charconv>
#include <cmath>

namespace refserver {

namespace {

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Locale-independent, and the whole text must be the number.
bool parseNumber(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto [next, error] = std::from_chars(begin, end, value);
    return error == std::errc() && next == end && std::isfinite(value);
}

std::string formatNumber(double value) {
    std::array<char, 32> digits{};
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() ? std::string(digits.data(), end) : std::string("0");
}

bool takeRange(const std::string& key, const std::string& value, double low, double high,
               double& target, std::vector<std::string>& rejected) {
    double number = 0.0;
    if (!parseNumber(value, number)) {
        rejected.push_back(key + ": not a number: \"" + value + "\"");
        return false;
    }
    if (number < low || number > high) {
        rejected.push_back(key + ": outside " + formatNumber(low) + " to " + formatNumber(high) +
                           ": " + value);
        return false;
    }
    target = number;
    return true;
}

} // namespace

bool AdjustmentSettings::operator==(const AdjustmentSettings& other) const {
    return exposure == other.exposure && contrast == other.contrast &&
           saturation == other.saturation && invert == other.invert && layerName == other.layerName;
}

SettingsParse parseSettingsText(const std::string& text, const AdjustmentSettings& base) {
    SettingsParse parse{base, {}};
    AdjustmentSettings& settings = parse.settings;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string pair = text.substr(start, end - start);
        start = end + 1;
        if (trimmed(pair).empty()) {
            continue;
        }
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos) {
            parse.rejected.push_back("no '=' in \"" + trimmed(pair) + "\"");
            continue;
        }
        const std::string key = trimmed(pair.substr(0, equals));
        const std::string value = trimmed(pair.substr(equals + 1));
        if (key == "exposure") {
            takeRange(key, value, AdjustmentSettings::minimumExposure,
                      AdjustmentSettings::maximumExposure, settings.exposure, parse.rejected);
        } else if (key == "contrast") {
            takeRange(key, value, 0.0, AdjustmentSettings::maximumFactor, settings.contrast,
                      parse.rejected);
        } else if (key == "saturation") {
            takeRange(key, value, 0.0, AdjustmentSettings::maximumFactor, settings.saturation,
                      parse.rejected);
        } else if (key == "invert") {
            if (value == "0" || value == "1") {
                settings.invert = value == "1";
            } else {
                parse.rejected.push_back("invert: not 0 or 1: \"" + value + "\"");
            }
        } else if (key == "layer") {
            if (value.empty()) {
                parse.rejected.emplace_back("layer: empty name");
            } else {
                settings.layerName = value;
            }
        } else {
            parse.rejected.push_back("unknown key \"" + key + "\"");
        }
    }
    return parse;
}

std::string formatSettingsText(const AdjustmentSettings& settings) {
    std::string text = "exposure=" + formatNumber(settings.exposure) +
                       ";contrast=" + formatNumber(settings.contrast) +
                       ";saturation=" + formatNumber(settings.saturation) +
                       ";invert=" + (settings.invert ? "1" : "0");
    if (settings.layerName != AdjustmentSettings().layerName) {
        text += ";layer=" + settings.layerName;
    }
    return text;
}

std::string settingsTextWithChoice(bool newLayer, const AdjustmentSettings& settings) {
    return (newLayer ? "1" : "0") + formatSettingsText(settings);
}

bool takeNewLayerChoice(std::string& text, bool& newLayer) {
    if (text.empty() || (text[0] != '0' && text[0] != '1')) {
        return false;
    }
    newLayer = text[0] == '1';
    text.erase(0, 1);
    return true;
}

} // namespace refserver
