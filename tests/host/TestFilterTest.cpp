// The whole stand-in proven with the test filter library: loading, the
// selector order, the Continue loop, pixels, masks, descriptors, handles,
// properties, the registry and message boxes.

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

TEST(TestFilter, inverts_the_filter_rectangle_tile_by_tile) {
    struct Case {
        const char* name;
        ColorMode mode;
        int depth;
        bool layer;
        bool nested;
        bool big;
        int tile;
        VRect filterRect;
    };
    const Case cases[] = {
        {"RGB 8, one tile per Continue", ColorMode::RGB, 8, false, false, false, 16,
         rectLTRB(0, 0, 37, 21)},
        {"RGB 16, nested advanceState", ColorMode::RGB, 16, false, true, false, 16,
         rectLTRB(0, 0, 37, 21)},
        {"Gray 8, 32-bit coordinates", ColorMode::Gray, 8, false, false, true, 8,
         rectLTRB(0, 0, 37, 21)},
        {"RGB 16 layer, 32-bit, nested", ColorMode::RGB, 16, true, true, true, 10,
         rectLTRB(0, 0, 37, 21)},
        {"layer smaller than the canvas", ColorMode::RGB, 8, true, false, false, 7,
         rectLTRB(9, 4, 30, 17)},
        {"layer smaller than the canvas, nested", ColorMode::RGB, 16, false, true, false, 7,
         rectLTRB(9, 4, 30, 17)},
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
        host.setProperty(test_filter::nestedAdvance, c.nested ? 1 : 0);
        host.setProperty(test_filter::bigCoordinates, c.big ? 1 : 0);

        const ApplicationResult result = host.apply();
        EXPECT_EQ(result.result, noErr);
        EXPECT_TRUE(result.finishSent);
        expectInverted(before, host.document(), c.filterRect);
        expectClean(host);

        const int tiles = ((c.filterRect.right - c.filterRect.left + c.tile - 1) / c.tile) *
                          ((c.filterRect.bottom - c.filterRect.top + c.tile - 1) / c.tile);
        std::vector<int16> order = {filterSelectorParameters, filterSelectorPrepare,
                                    filterSelectorStart};
        order.insert(order.end(), c.nested ? 1 : tiles, filterSelectorContinue);
        order.push_back(filterSelectorFinish);
        EXPECT_EQ(host.selectorOrder(), order);
        EXPECT_EQ(result.continueCalls, c.nested ? 1 : tiles);
        // The host's own deliveries before each Continue, and the plug-in's.
        const std::vector<AdvanceStateCall>& deliveries = host.records().advanceStates;
        ASSERT_EQ(deliveries.size(), static_cast<std::size_t>(c.nested ? 1 + tiles : tiles));
        for (const AdvanceStateCall& d : deliveries) {
            EXPECT_EQ(d.bigCoordinates, c.big);
            EXPECT_EQ(d.result, noErr);
        }
        if (c.nested) {
            // Start leaves one pixel at the image origin.
            EXPECT_TRUE(deliveries[0].betweenCalls);
            EXPECT_TRUE(sameRect(deliveries[0].inRect, rectLTRB(0, 0, 1, 1)));
            EXPECT_FALSE(deliveries[1].betweenCalls);
        }
        EXPECT_EQ(host.records().progress.size(), static_cast<std::size_t>(tiles));
    }
}

TEST(TestFilter, a_failed_start_gets_neither_continue_nor_finish) {
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

TEST(TestFilter, failures_during_continue_still_get_finish) {
    struct Case {
        const char* name;
        bool nested;
        int abortAfter;
        std::int64_t budget;
        bool filterRectPastImage;
        OSErr expected;
    };
    const Case cases[] = {
        {"user cancel", false, 2, 0, false, userCanceledErr},
        {"user cancel, nested", true, 2, 0, false, userCanceledErr},
        {"over the memory budget, nested", true, 0, 64, false, memFullErr},
        {"over the memory budget, host delivery", false, 0, 64, false, memFullErr},
        {"tile past the image, nested", true, 0, 0, true, paramErr},
        {"tile past the image, host delivery", false, 0, 0, true, paramErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostOptions options;
        options.requestBudget = c.budget;
        Document document = patternDocument(ColorMode::RGB, 8, 32, 32);
        if (c.filterRectPastImage) {
            // A host bug the plug-in cannot see: tiles reach past the image.
            document.setFilterRect(rectLTRB(0, 0, 40, 32));
        }
        FilterHost host(document, options);
        loadTestFilter(host);
        host.abortAfter(c.abortAfter);
        host.setProperty(test_filter::nestedAdvance, c.nested ? 1 : 0);
        host.setProperty(test_filter::tileSize, 16);
        const ApplicationResult result = host.apply();
        EXPECT_EQ(result.result, c.expected);
        EXPECT_EQ(result.failedSelector, filterSelectorContinue);
        EXPECT_TRUE(result.finishSent);
        EXPECT_EQ(host.selectorOrder().back(), filterSelectorFinish);
    }
}

TEST(TestFilter, a_selection_masks_the_result_whoever_applies_it) {
    for (const bool ownMasking : {false, true}) {
        SCOPED_TRACE(ownMasking ? "plug-in masks" : "host masks");
        Document document = patternDocument(ColorMode::RGB, 8, 20, 10);
        std::vector<std::uint8_t> selection(200, 0);
        for (int y = 0; y < 10; ++y) {
            for (int x = 3; x < 12; ++x) {
                selection[static_cast<std::size_t>(y * 20 + x)] = x < 11 ? 255 : 128;
            }
        }
        document.setSelection(selection);
        document.setFilterRect(rectLTRB(0, 0, 20, 10));
        const Document before = document;
        FilterHost host(document);
        loadTestFilter(host);
        host.setProperty(test_filter::ownMasking, ownMasking ? 1 : 0);
        host.setProperty(test_filter::tileSize, 6);
        ASSERT_EQ(host.apply().result, noErr);
        EXPECT_EQ(host.record().autoMask, ownMasking ? 0 : 1);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 20; ++x) {
                const std::uint32_t v = before.sample(x, y, 0);
                const std::uint32_t m = selection[static_cast<std::size_t>(y * 20 + x)];
                const std::uint32_t expected = ((255 - v) * m + v * (255 - m) + 127) / 255;
                EXPECT_EQ(host.document().sample(x, y, 0), expected) << x << "," << y;
            }
        }
        const bool maskRequested =
            std::any_of(host.records().advanceStates.begin(), host.records().advanceStates.end(),
                        [](const AdvanceStateCall& d) { return !isEmpty(d.maskRect); });
        EXPECT_EQ(maskRequested, ownMasking);
    }
}

TEST(TestFilter, descriptors_of_every_type_come_back_through_the_plug_in) {
    ActionDescriptor inner;
    inner.putText(fourCharCode("Nam "), u"\u00E9l\u00E9ment");
    ActionDescriptor replay;
    replay.putInteger(fourCharCode("Intn"), 75)
        .putFloat(fourCharCode("Ssps"), 0.125)
        .putBoolean(fourCharCode("SEmo"), true)
        .putText(fourCharCode("SEna"), u"Weiche Kante \u2014 \u67D4\u3089\u304B\U0001F308")
        .putText(fourCharCode("SsPS"), u"")
        .put(fourCharCode("Wdth"), DescriptorValue::makeUnitFloat(fourCharCode("#Pxl"), 3.5))
        .put(fourCharCode("Mthd"),
             DescriptorValue::makeEnumerated(fourCharCode("Mthd"), fourCharCode("Fst ")))
        .put(fourCharCode("Clss"), DescriptorValue::makeClass(fourCharCode("Lyr ")))
        .put(fourCharCode("GCls"), DescriptorValue::makeClass(fourCharCode("Dcmn"), true))
        .put(fourCharCode("Obj "), DescriptorValue::makeObject(fourCharCode("Pnt "), inner))
        .put(fourCharCode("GObj"), DescriptorValue::makeObject(fourCharCode("Pnt "), inner, true))
        .put(fourCharCode("Ints"), DescriptorValue::makeList({DescriptorValue::makeInteger(4),
                                                              DescriptorValue::makeInteger(-4)}))
        .put(fourCharCode("Blob"), DescriptorValue::makeData({0, 255, 7}))
        .put(fourCharCode("Alis"), DescriptorValue::makeAlias({1, 2}));
    Document document = Document::rgb(4, 4);
    document.name = u"\u0160koda \u6771\u4EAC.psd";
    FilterHost host(document);
    loadTestFilter(host);
    host.setDescriptor(replay);
    host.setProperty(propPlayInProgress, 1);
    ActionDescriptor registryIn;
    registryIn.putInteger(test_filter::intensity, 33);
    host.setRegistryEntry(test_filter::registryInKey, registryIn);
    host.setRegistryEntry(test_filter::registryEraseKey, ActionDescriptor());

    ASSERT_EQ(host.apply().result, noErr);
    const std::optional<ActionDescriptor> recorded = host.recordedDescriptor();
    ASSERT_TRUE(recorded.has_value());
    for (const auto& [key, value] : replay.entries()) {
        const DescriptorValue* back = recorded->find(key);
        ASSERT_NE(back, nullptr) << fourCharText(key);
        EXPECT_EQ(*back, value) << fourCharText(key);
    }
    EXPECT_EQ(recorded->text(test_filter::documentName), document.name);
    EXPECT_EQ(recorded->integer(test_filter::runCount), 1);
    EXPECT_EQ(recorded->integer(test_filter::playInProgress), 1);
    EXPECT_EQ(recorded->boolean(test_filter::handleSuiteWorked), true);
    EXPECT_EQ(recorded->integer(test_filter::registryIntensity), 33);
    EXPECT_EQ(host.recordInfo(), plugInDialogOptional);

    const std::optional<ActionDescriptor> registered =
        host.registryEntry(test_filter::registryOutKey);
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(registered->integer(test_filter::runCount), 1);
    EXPECT_FALSE(host.registryEntry(test_filter::registryEraseKey).has_value());

    const std::vector<PropertyCall>& sets = host.records().propertySets;
    ASSERT_EQ(sets.size(), 1U);
    EXPECT_EQ(sets[0].key, propWatchSuspension);
    EXPECT_EQ(sets[0].simple, 1);
    expectClean(host);
}

TEST(TestFilter, the_parameters_handle_lives_from_one_application_to_the_next) {
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

TEST(TestFilter, message_boxes_the_plug_in_shows_are_observed) {
    FilterHost host(Document::rgb(4, 4));
    loadTestFilter(host);
    const std::string text = "Bitte \xC3\xBC"
                             "berpr\xC3\xBC"
                             "fen: \xE6\xA4\x9C\xE6\x9F\xBB";
    host.setProperty(test_filter::showMessage, 1);
    host.setComplexProperty(test_filter::messageText,
                            std::vector<std::uint8_t>(text.begin(), text.end()));
    ASSERT_EQ(host.apply().result, noErr);
    const std::vector<platform::MessageBoxRecord> boxes = host.messageBoxes();
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(boxes[0].text, text);
}

TEST(TestFilter, display_pixels_reach_the_plug_ins_surface) {
    FilterHost host(Document::rgb(4, 4));
    loadTestFilter(host);
    host.setProperty(test_filter::displayCheck, 1);
    ASSERT_EQ(host.apply().result, noErr);
    ASSERT_EQ(host.records().displayPixels.size(), 1U);
    EXPECT_EQ(host.records().displayPixels[0].result, noErr);
    const std::vector<PropertyCall>& sets = host.records().propertySets;
    const auto report = std::find_if(sets.begin(), sets.end(), [](const PropertyCall& call) {
        return call.key == test_filter::displayedPixels;
    });
    ASSERT_NE(report, sets.end());
    // Red, then blue, stored blue-green-red.
    EXPECT_EQ(report->complex, (std::vector<std::uint8_t>{0, 0, 255, 255, 0, 0}));
}

} // namespace
