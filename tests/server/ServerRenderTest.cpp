// The render exchange: the test plays the plug-in's side of 16, 18, 20, 21
// and 36 and checks how the server walks the document and ends the render.
#include "PluginStandIn.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace server_testing;

namespace {

// A render from 23 to its end, after the settings were handed over.
RenderTranscript render(PluginStandIn& plugin, const TestDocument& document,
                        const std::string& settings, const RenderScript& script = {}) {
    EXPECT_TRUE(plugin.send(document.describe()));
    EXPECT_EQ(plugin.storeSettings(settings), 0);
    EXPECT_TRUE(plugin.send(emptyRecord<msgBase>(msg::startRender)));
    return plugin.serveRender(document, script);
}

std::int64_t area(const WireRect& rect) {
    return std::int64_t{rect.right - rect.left} * (rect.bottom - rect.top);
}

TestDocument withBounds(const WireRect& effective) {
    TestDocument document = makeDocument(2, 2);
    document.effective = effective;
    return document;
}

bool within(const WireRect& inner, const WireRect& outer) {
    return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
           inner.bottom <= outer.bottom;
}

} // namespace

TEST(ReferenceServerRender, CoversTheEffectiveBoundsTileByTileThroughOneBuffer) {
    struct Case {
        const char* what;
        TestDocument document;
        std::string tile;
        std::size_t tiles;
    };
    TestDocument masked = makeDocument(9, 7);
    masked.effective = WireRect{1, 8, 1, 6}; // 7 x 5: tiles of 4 x 4, 3 x 4, 4 x 1, 3 x 1
    masked.hasMask = true;
    const std::vector<Case> cases = {
        {"8-bit RGB under a mask", masked, "4", 4},
        {"16-bit RGB with alpha", makeDocument(5, 4, 3, true, 2), "3", 4},
        {"gray in one tile of the default size", makeDocument(7, 5, 1), "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.start(c.tile.empty() ? Environment{}
                                                : Environment{{"SOLVANTA_SERVER_TILE", c.tile}}));
        const RenderTranscript transcript = render(plugin, c.document, "invert=1");
        EXPECT_EQ(transcript.endSelector, msg::finish);
        ASSERT_EQ(transcript.reads.size(), c.tiles);
        EXPECT_EQ(transcript.masks.size(), c.document.hasMask ? c.tiles : 0);
        ASSERT_EQ(transcript.writes.size(), c.tiles);
        ASSERT_EQ(transcript.progress.size(), c.tiles);
        std::int64_t covered = 0;
        for (std::size_t i = 0; i < c.tiles; ++i) {
            EXPECT_TRUE(within(transcript.reads[i], c.document.effective)) << i;
            EXPECT_EQ(std::memcmp(&transcript.writes[i], &transcript.reads[i], sizeof(WireRect)),
                      0);
            EXPECT_EQ(transcript.progress[i].done, static_cast<std::int32_t>(i + 1));
            EXPECT_EQ(transcript.progress[i].total, static_cast<std::int32_t>(c.tiles));
            covered += area(transcript.reads[i]);
        }
        EXPECT_EQ(covered, area(c.document.effective)) << "the tiles cover the bounds once";
        const std::set<std::string> buffers(transcript.imageBuffers.begin(),
                                            transcript.imageBuffers.end());
        EXPECT_EQ(buffers.size(), 1U) << "every tile goes through the one buffer";

        // A second render of the same session reuses the buffer.
        const RenderTranscript again = render(plugin, c.document, "exposure=1");
        EXPECT_EQ(again.endSelector, msg::finish);
        EXPECT_EQ(again.imageBuffers, std::vector<std::string>(2 * c.tiles, *buffers.begin()));
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}

TEST(ReferenceServerRender, EndsAsThePluginsAnswersTheDocumentOrTheOptionsSay) {
    struct Case {
        const char* what;
        Environment environment;
        RenderScript script;
        std::int32_t selector;
        std::int32_t code;
        std::size_t writes; // nothing more after a failure
        TestDocument document = makeDocument(4, 4);
    };
    const Environment tiles = {{"SOLVANTA_SERVER_TILE", "2"}};
    const Environment cancel = {{"SOLVANTA_SERVER_RENDER_END", "cancel"}};
    const Environment error = {{"SOLVANTA_SERVER_RENDER_END", "error:-108"}};
    const std::vector<Case> cases = {
        {"a failing read", tiles, {2, -108, 0, 0, 0}, msg::endWithError, -108, 1},
        {"a failing write", tiles, {0, 0, 3, -1, 0}, msg::endWithError, -1, 3},
        {"an abort", tiles, {0, 0, 0, 0, 1}, msg::endWithError, -128, 1},
        {"a user who cancels", cancel, {}, msg::cancel, 0, 1},
        {"an error code", error, {}, msg::endWithError, -108, 1},
        // Documents the server cannot render are refused at once.
        {"four bytes per sample",
         {},
         {},
         msg::endWithError,
         -1,
         0,
         makeDocument(2, 2, 3, false, 4)},
        {"empty bounds", {}, {}, msg::endWithError, -1, 0, withBounds(WireRect{2, 2, 0, 2})},
        {"inverted bounds", {}, {}, msg::endWithError, -1, 0, withBounds(WireRect{0, 2, 2, -5})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PluginStandIn plugin;
        ASSERT_TRUE(plugin.start(c.environment));
        const RenderTranscript transcript = render(plugin, c.document, "invert=1", c.script);
        EXPECT_EQ(transcript.endSelector, c.selector);
        EXPECT_EQ(transcript.endCode, c.code);
        // An abort is taken before the next tile; it may arrive one tile late.
        EXPECT_GE(transcript.writes.size(), c.writes);
        EXPECT_LE(transcript.writes.size(), c.writes + (c.script.abortAfterProgress ? 1 : 0));
        EXPECT_TRUE(plugin.sync()) << "the server serves on";
        EXPECT_EQ(plugin.endConnection(), 0U);
    }
}
