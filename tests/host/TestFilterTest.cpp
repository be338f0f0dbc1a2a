// The whole stand-in proven with the test filter library: loading, the
// selector order, the Continue loop, pixels and the parameters kept from one
// application to the next.

#include "HostTestSupport.h"
#include "TestFilterControls.h"

#include <gtest/gtest.h>

namespace {

using namespace host;
using namespace hostapi;
using host_testing::loadTestFilter;
using host_testing::patternDocument;

void expectInverted(const Document& before, const Document& after, const VRect& area) {
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const bool inside =
                x >= area.left && x < area.right && y >= area.top && y < area.bottom;
            for (int p = 0; p < before.planes(); ++p) {
                const bool colour = p < before.colorChannels();
                const std::uint32_t original = before.sample(x, y, p);
                const std::uint32_t expected =
                    inside && colour ? before.maxValue() - original : original;
                ASSERT_EQ(after.sample(x, y, p), expected)
                    << "x " << x << " y " << y << " plane " << p;
            }
        }
    }
}

// What a well-behaved plug-in leaves behind: every suite released, nothing
// of the host's but the parameters handle kept, no misuse.
void expectClean(const FilterHost& host) {
    EXPECT_TRUE(host.records().faults.empty()) << host.records().faults.front();
    for (const SuiteUse& use : host.records().suites) {
        EXPECT_EQ(use.acquired, use.released) << use.name;
    }
    EXPECT_EQ(host.liveHandles(), 1);
    EXPECT_EQ(host.liveDescriptors(), 0);
    EXPECT_EQ(host.liveZStrings(), 0);
}

// The host delivers each tile between Continue calls and writes it back.
TEST(TestFilter, InvertsTheFilterRectangleTileByTile) {
    struct Case {
        const char* name;
        ColorMode mode;
        int depth;
        bool layer;
        int tile;
        VRect filterRect;
    };
    const Case cases[] = {
        {"RGB 8", ColorMode::RGB, 8, false, 16, rectLTRB(0, 0, 37, 21)},
        {"Gray 16", ColorMode::Gray, 16, false, 8, rectLTRB(0, 0, 37, 21)},
        {"RGB 16 layer", ColorMode::RGB, 16, true, 10, rectLTRB(0, 0, 37, 21)},
        {"layer smaller than the canvas", ColorMode::RGB, 8, true, 7, rectLTRB(9, 4, 30, 17)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Document document = patternDocument(c.mode, c.depth, 37, 21);
        if (c.layer) {
            document.addTransparency(document.maxValue() / 2);
        }
        document.setFilterRect(c.filterRect);
        const Document before = document;
        FilterHost host(document);
        loadTestFilter(host);
        host.setProperty(test_filter::tileSize, c.tile);

        const ApplicationResult result = host.apply();
        EXPECT_EQ(result.result, noErr);
        EXPECT_TRUE(result.finishSent);
        expectInverted(before, host.document(), c.filterRect);
        expectClean(host);

        const int tiles = ((c.filterRect.right - c.filterRect.left + c.tile - 1) / c.tile) *
                          ((c.filterRect.bottom - c.filterRect.top + c.tile - 1) / c.tile);
        std::vector<int16> order = {filterSelectorParameters, filterSelectorPrepare,
                                    filterSelectorStart};
        order.insert(order.end(), tiles, filterSelectorContinue);
        order.push_back(filterSelectorFinish);
        EXPECT_EQ(host.selectorOrder(), order);
        EXPECT_EQ(result.continueCalls, tiles);
        ASSERT_EQ(host.records().advanceStates.size(), static_cast<std::size_t>(tiles));
        for (const AdvanceStateCall& d : host.records().advanceStates) {
            EXPECT_TRUE(d.betweenCalls);
            EXPECT_EQ(d.result, noErr);
        }
        EXPECT_EQ(host.records().progress.size(), static_cast<std::size_t>(tiles));
    }
}

TEST(TestFilter, AFailedStartGetsNeitherContinueNorFinish) {
    const Document document = patternDocument(ColorMode::RGB, 8, 8, 8);
    FilterHost host(document);
    loadTestFilter(host);
    host.setProperty(test_filter::startResult, 7);
    const ApplicationResult result = host.apply();
    EXPECT_EQ(result.result, 7);
    EXPECT_EQ(result.failedSelector, filterSelectorStart);
    EXPECT_FALSE(result.finishSent);
    EXPECT_EQ(
        host.selectorOrder(),
        (std::vector<int16>{filterSelectorParameters, filterSelectorPrepare, filterSelectorStart}));
    expectInverted(document, host.document(), VRect{});
}

TEST(TestFilter, FailuresDuringContinueStillGetFinish) {
    struct Case {
        const char* name;
        int abortAfter;
        std::int64_t budget;
        bool filterRectPastImage;
        OSErr expected;
    };
    const Case cases[] = {
        {"user cancel", 2, 0, false, userCanceledErr},
        {"over the memory budget", 0, 64, false, memFullErr},
        // A host bug the plug-in cannot see: tiles reach past the image.
        {"tile past the image", 0, 0, true, paramErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostOptions options;
        options.requestBudget = c.budget;
        Document document = patternDocument(ColorMode::RGB, 8, 32, 32);
        if (c.filterRectPastImage) {
            document.setFilterRect(rectLTRB(0, 0, 40, 32));
        }
        FilterHost host(document, options);
        loadTestFilter(host);
        host.abortAfter(c.abortAfter);
        host.setProperty(test_filter::tileSize, 16);
        const ApplicationResult result = host.apply();
        EXPECT_EQ(result.result, c.expected);
        EXPECT_EQ(result.failedSelector, filterSelectorContinue);
        EXPECT_TRUE(result.finishSent);
        EXPECT_EQ(host.selectorOrder().back(), filterSelectorFinish);
    }
}

TEST(TestFilter, TheParametersHandleLivesFromOneApplicationToTheNext) {
    FilterHost host(Document::rgb(4, 4));
    loadTestFilter(host);
    ASSERT_EQ(host.apply().result, noErr);
    EXPECT_EQ(host.recordedDescriptor()->integer(test_filter::runCount), 1);
    ApplicationOptions repeat;
    repeat.parameters = false;
    repeat.about = true;
    ASSERT_EQ(host.apply(repeat).result, noErr);
    EXPECT_EQ(host.recordedDescriptor()->integer(test_filter::runCount), 2);
    const std::optional<std::vector<std::uint8_t>> stored = host.parameters();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, (std::vector<std::uint8_t>{2, 0, 0, 0}));
    const std::vector<int16> order = host.selectorOrder();
    EXPECT_EQ(std::count(order.begin(), order.end(), filterSelectorParameters), 1);
    EXPECT_EQ(std::count(order.begin(), order.end(), filterSelectorAbout), 1);
    expectClean(host);
}

} // namespace
