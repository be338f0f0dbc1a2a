// The render exchange: the test plays the plug-in's side of 16, 18, 20, 21
// and 36 for a small document in its own memory and checks the pixels the
// server wrote back.
#include "PluginStandIn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

using namespace server_testing;

namespace {

TestDocument makeDocument(int width, int height, int channels, bool alpha, int bytesPerSample) {
    TestDocument document;
    document.width = width;
    document.height = height;
    document.colorModel = channels == 1 ? 4 : 0;
    document.colorChannels = channels;
    document.hasAlpha = alpha;
    document.bytesPerSample = bytesPerSample;
    document.effective = WireRect{0, width, 0, height};
    const int maxValue = bytesPerSample == 1 ? 255 : 32768;
    document.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                           static_cast<std::size_t>(document.totalChannels()));
    for (std::size_t i = 0; i < document.pixels.size(); ++i) {
        document.pixels[i] = static_cast<std::uint16_t>((i * 37 + 11) % (maxValue + 1));
    }
    return document;
}

bool insideRect(const WireRect& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// A render from 23 to its end, after the settings were handed over.
RenderTranscript render(PluginStandIn& plugin, TestDocument& document, const std::string& settings,
                        const RenderScript& script = {}) {
    EXPECT_TRUE(plugin.send(document.describe()));
    EXPECT_EQ(plugin.storeSettings(settings), 0);
    EXPECT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
    return plugin.serveRender(document, script);
}

// Checks every sample: outside the effective bounds and in alpha unchanged,
// inside moved to `expected` of the old value and the mask value.
template <typename Expected> void expectPixels(const TestDocument& document, Expected expected) {
    for (int y = 0; y < document.height; ++y) {
        for (int x = 0; x < document.width; ++x) {
            const std::uint16_t mask =
                document.mask.empty() ? (document.bytesPerSample == 1 ? 255 : 32768)
                                      : document.mask[static_cast<std::size_t>(y) *
                                                          static_cast<std::size_t>(document.width) +
                                                      static_cast<std::size_t>(x)];
            for (int c = 0; c < document.totalChannels(); ++c) {
                const std::size_t i = document.sampleIndex(x, y, c);
                const bool adjusted =
                    insideRect(document.effective, x, y) && c < document.colorChannels;
                const int want = adjusted ? expected(document.pixels[i], mask) : document.pixels[i];
                ASSERT_LE(std::abs(document.output[i] - want), 1)
                    << "x " << x << " y " << y << " channel " << c << " was " << document.pixels[i]
                    << " mask " << mask;
            }
        }
    }
}

} // namespace

TEST(ReferenceServerRender, InvertsEightBitRgbThroughTheMaskInTilesOfOneBuffer) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_TILE", "4"}}));
    ASSERT_TRUE(plugin.connect());
    TestDocument document = makeDocument(9, 7, 3, false, 1);
    document.effective = WireRect{1, 8, 1, 6}; // 7 x 5: tiles of 4 x 4, 3 x 4, 4 x 1, 3 x 1
    const std::uint16_t maskValues[] = {0, 255, 51, 255};
    for (int i = 0; i < 9 * 7; ++i) {
        document.mask.push_back(maskValues[i % 4]);
    }

    const RenderTranscript transcript = render(plugin, document, "invert=1");
    EXPECT_EQ(transcript.endSelector, msg::finish);
    ASSERT_EQ(transcript.reads.size(), 4U);
    EXPECT_EQ(transcript.masks.size(), 4U) << "the document has a selection mask";
    EXPECT_EQ(transcript.writes.size(), 4U);
    for (std::size_t i = 0; i < transcript.reads.size(); ++i) {
        EXPECT_EQ(transcript.writes[i].left, transcript.reads[i].left);
        EXPECT_EQ(transcript.writes[i].bottom, transcript.reads[i].bottom);
    }
    EXPECT_EQ(std::set<std::string>(transcript.imageBuffers.begin(), transcript.imageBuffers.end())
                  .size(),
              1U)
        << "every tile goes through the one buffer";
    ASSERT_EQ(transcript.progress.size(), 4U);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(transcript.progress[i].done, static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(transcript.progress[i].total, 4);
    }
    expectPixels(document,
                 [](int value, int mask) { return value + ((255 - value) - value) * mask / 255; });

    // A second render of the same session reuses the buffer.
    document.output.clear();
    const RenderTranscript again = render(plugin, document, "exposure=1");
    EXPECT_EQ(again.endSelector, msg::finish);
    ASSERT_FALSE(again.imageBuffers.empty());
    EXPECT_EQ(again.imageBuffers.front(), transcript.imageBuffers.front());
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerRender, AdjustsSixteenBitSamplesAndLeavesAlphaAlone) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_TILE", "3"}}));
    ASSERT_TRUE(plugin.connect());
    TestDocument document = makeDocument(5, 4, 3, true, 2);
    const RenderTranscript transcript = render(plugin, document, "invert=1");
    EXPECT_EQ(transcript.endSelector, msg::finish);
    EXPECT_TRUE(transcript.masks.empty()) << "no selection mask, no mask request";
    EXPECT_EQ(transcript.writes.size(), 4U);
    expectPixels(document, [](int value, int) { return 32768 - value; });
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerRender, BrightensGrayWithOneTileOfTheDefaultSize) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch());
    ASSERT_TRUE(plugin.connect());
    TestDocument document = makeDocument(7, 5, 1, false, 1);
    const RenderTranscript transcript = render(plugin, document, "exposure=1");
    EXPECT_EQ(transcript.endSelector, msg::finish);
    ASSERT_EQ(transcript.reads.size(), 1U);
    EXPECT_EQ(transcript.reads[0].right, 7);
    EXPECT_EQ(transcript.reads[0].bottom, 5);
    expectPixels(document, [](int value, int) { return std::min(2 * value, 255); });
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerRender, EndsWithTheHostsCodeWhenAReadOrWriteFails) {
    struct Case {
        RenderScript script;
        std::int32_t code;
        std::size_t writes;
    };
    const std::vector<Case> cases = {
        {RenderScript{2, -108, 0, 0, 0}, -108, 1},
        {RenderScript{0, 0, 3, -1, 0}, -1, 3},
        {RenderScript{0, 0, 1, -30001, 0}, -30001, 1},
    };
    for (const Case& c : cases) {
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_TILE", "2"}}));
        ASSERT_TRUE(plugin.connect());
        TestDocument document = makeDocument(4, 4, 3, false, 1);
        const RenderTranscript transcript = render(plugin, document, "invert=1", c.script);
        EXPECT_EQ(transcript.endSelector, msg::endWithError);
        EXPECT_EQ(transcript.endCode, c.code);
        EXPECT_EQ(transcript.writes.size(), c.writes) << "nothing more after the failure";
        EXPECT_TRUE(plugin.sync()) << "the server serves on";
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}

TEST(ReferenceServerRender, AnAbortEndsTheRenderAsCancelled) {
    PluginStandIn plugin;
    ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_TILE", "2"}}));
    ASSERT_TRUE(plugin.connect());
    TestDocument document = makeDocument(4, 4, 3, false, 1);
    const RenderTranscript transcript =
        render(plugin, document, "invert=1", RenderScript{0, 0, 0, 0, 1});
    EXPECT_EQ(transcript.endSelector, msg::endWithError);
    EXPECT_EQ(transcript.endCode, -128) << "the plug-in reads -128 as a cancellation";
    EXPECT_LE(transcript.writes.size(), 2U);
    EXPECT_EQ(plugin.endConnection(), 0U);
}

TEST(ReferenceServerRender, EndsAsTheEnvironmentSays) {
    struct Case {
        std::string end;
        std::int32_t selector;
        std::int32_t code;
    };
    const std::vector<Case> cases = {
        {"cancel", msg::cancel, 0},
        {"error:-108", msg::endWithError, -108},
    };
    for (const Case& c : cases) {
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.launch({{"SOLVANTA_SERVER_RENDER_END", c.end}}));
        ASSERT_TRUE(plugin.connect());
        TestDocument document = makeDocument(3, 2, 3, false, 1);
        const RenderTranscript transcript = render(plugin, document, "");
        EXPECT_EQ(transcript.endSelector, c.selector) << c.end;
        EXPECT_EQ(transcript.endCode, c.code) << c.end;
        EXPECT_EQ(transcript.writes.size(), 1U) << c.end;
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}

TEST(ReferenceServerRender, RefusesADocumentItCannotRender) {
    struct Case {
        const char* what;
        int bytesPerSample;
        WireRect effective;
    };
    const std::vector<Case> cases = {
        {"four bytes per sample", 4, WireRect{0, 2, 0, 2}},
        {"empty bounds", 1, WireRect{2, 2, 0, 2}},
        {"inverted bounds", 1, WireRect{0, 2, 2, -5}},
    };
    for (const Case& c : cases) {
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.launch());
        ASSERT_TRUE(plugin.connect());
        TestDocument document = makeDocument(2, 2, 3, false, 1);
        msgDocumentInfo info = document.describe();
        info.bytesPerChannel = static_cast<std::uint8_t>(c.bytesPerSample);
        info.effectiveRect = c.effective;
        ASSERT_TRUE(plugin.send(info));
        ASSERT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
        Cell cell{};
        ASSERT_TRUE(plugin.awaitRequest(cell)) << c.what;
        EXPECT_EQ(cell.selector(), msg::endWithError) << c.what;
        EXPECT_EQ(cell.as<msgEndWithError>().code, -1) << c.what;
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}
