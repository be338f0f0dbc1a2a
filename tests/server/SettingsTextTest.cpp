#include "AdjustmentSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using refserver::AdjustmentSettings;
using refserver::formatSettingsText;
using refserver::parseSettingsText;
using refserver::takeNewLayerChoice;

TEST(SettingsText, ReadsEachParameterAndLeavesTheOthersAtTheirBase) {
    struct Case {
        std::string text;
        double exposure;
        double contrast;
        double saturation;
        bool invert;
        std::string layer;
    };
    const std::string defaultLayer = AdjustmentSettings().layerName;
    const std::vector<Case> cases = {
        {"", 0.0, 1.0, 1.0, false, defaultLayer},
        {"exposure=0.3;contrast=1.1;saturation=1.2;invert=0", 0.3, 1.1, 1.2, false, defaultLayer},
        {"invert=1", 0.0, 1.0, 1.0, true, defaultLayer},
        {" exposure = -1.5 ; ; saturation=0 ", -1.5, 1.0, 0.0, false, defaultLayer},
        {"exposure=+2", 2.0, 1.0, 1.0, false, defaultLayer},
        {"contrast=2;contrast=0.5", 0.0, 0.5, 1.0, false, defaultLayer},
        {"layer=Warm evening;exposure=1e-1", 0.1, 1.0, 1.0, false, "Warm evening"},
    };
    for (const Case& c : cases) {
        const auto parse = parseSettingsText(c.text);
        EXPECT_TRUE(parse.rejected.empty()) << c.text;
        EXPECT_DOUBLE_EQ(parse.settings.exposure, c.exposure) << c.text;
        EXPECT_DOUBLE_EQ(parse.settings.contrast, c.contrast) << c.text;
        EXPECT_DOUBLE_EQ(parse.settings.saturation, c.saturation) << c.text;
        EXPECT_EQ(parse.settings.invert, c.invert) << c.text;
        EXPECT_EQ(parse.settings.layerName, c.layer) << c.text;
    }
}

TEST(SettingsText, RejectsBadPairsOneByOneAndKeepsTheRest) {
    AdjustmentSettings base;
    base.exposure = 0.25;
    base.invert = true;
    const std::vector<std::string> badPairs = {
        "exposure=bright", "exposure=9",    "exposure=-8.5", "contrast=-0.1", "saturation=8.01",
        "invert=yes",      "invert=",       "gamma=2",       "exposure",      "exposure=nan",
        "exposure=inf",    "exposure=0.3x", "layer=",        "exposure=0,3",
    };
    for (const std::string& bad : badPairs) {
        const auto parse = parseSettingsText(bad + ";contrast=1.5", base);
        EXPECT_EQ(parse.rejected.size(), 1U) << bad;
        EXPECT_DOUBLE_EQ(parse.settings.exposure, 0.25) << bad;
        EXPECT_TRUE(parse.settings.invert) << bad;
        EXPECT_DOUBLE_EQ(parse.settings.contrast, 1.5) << "a bad pair does not stop the reading";
    }
}

TEST(SettingsText, TheCanonicalTextReadsBackToTheSameSettings) {
    AdjustmentSettings settings;
    settings.exposure = -1.0 / 3.0;
    settings.saturation = 1.2;
    settings.layerName = "Night";
    const std::string text = formatSettingsText(settings);
    EXPECT_NE(text.find(";layer=Night"), std::string::npos);
    const auto parse = parseSettingsText(text);
    EXPECT_TRUE(parse.rejected.empty());
    EXPECT_EQ(parse.settings, settings) << "numbers keep every bit through the text";
}

TEST(SettingsText, OnlyALeadingZeroOrOneIsTheNewLayerChoice) {
    struct Case {
        std::string text;
        bool taken;
        bool choice;
        std::string rest;
    };
    const std::vector<Case> cases = {
        {"1invert=1", true, true, "invert=1"},
        {"0", true, false, ""},
        {"", false, false, ""},
        {"2invert=1", false, false, "2invert=1"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        bool choice = false;
        EXPECT_EQ(takeNewLayerChoice(text, choice), c.taken) << c.text;
        EXPECT_EQ(choice, c.choice) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
}
