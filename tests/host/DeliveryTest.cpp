// advanceState as the host implements it, played directly through the
// filter record the way a plug-in calls it.

#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace host;
using namespace hostapi;
using host_testing::patternDocument;
using host_testing::patternValue;

Rect shortRect(int left, int top, int right, int bottom) {
    return Rect{static_cast<int16>(top), static_cast<int16>(left), static_cast<int16>(bottom),
                static_cast<int16>(right)};
}

// Sample `index` of row `y` (samples counted from the row's start).
std::uint32_t sampleAt(const void* data, int32 rowBytes, int y, int index, int bps) {
    const auto* row = static_cast<const std::uint8_t*>(data) + y * rowBytes;
    if (bps == 1) {
        return row[index];
    }
    std::uint16_t v = 0;
    std::memcpy(&v, row + index * 2, 2);
    return v;
}

TEST(Delivery, requested_planes_arrive_interleaved_in_rows_wider_than_tight) {
    struct Case {
        const char* name;
        ColorMode mode;
        int depth;
        bool transparency;
        int left, top, right, bottom;
        int lo, hi;
    };
    const Case cases[] = {
        {"RGB 8 all planes", ColorMode::RGB, 8, false, 3, 2, 17, 9, 0, 2},
        {"RGB 16 all planes", ColorMode::RGB, 16, false, 0, 0, 5, 3, 0, 2},
        {"RGB 8 layer, colour planes only", ColorMode::RGB, 8, true, 1, 1, 6, 4, 0, 2},
        {"RGB 16 layer, green to alpha", ColorMode::RGB, 16, true, 2, 5, 9, 7, 1, 3},
        {"Gray 16 one pixel", ColorMode::Gray, 16, false, 19, 11, 20, 12, 0, 0},
        {"CMYK 8 one plane", ColorMode::CMYK, 8, false, 0, 0, 20, 12, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Document document = patternDocument(c.mode, c.depth, 20, 12);
        if (c.transparency) {
            document.addTransparency(document.maxValue());
            for (int y = 0; y < 12; ++y) {
                for (int x = 0; x < 20; ++x) {
                    document.setSample(x, y, document.planes() - 1,
                                       patternValue(x, y, 3, document.maxValue()));
                }
            }
        }
        FilterHost host(document);
        host.beginApplication();
        FilterRecord& r = host.record();
        r.inRect = shortRect(c.left, c.top, c.right, c.bottom);
        r.inLoPlane = static_cast<int16>(c.lo);
        r.inHiPlane = static_cast<int16>(c.hi);
        ASSERT_EQ(r.advanceState(), noErr);
        ASSERT_NE(r.inData, nullptr);
        const int bps = c.depth / 8;
        const int planes = c.hi - c.lo + 1;
        const int tight = (c.right - c.left) * planes * bps;
        EXPECT_GT(r.inRowBytes, tight);
        EXPECT_EQ(r.inRowBytes % 4, 0);
        for (int y = c.top; y < c.bottom; ++y) {
            for (int x = c.left; x < c.right; ++x) {
                for (int p = c.lo; p <= c.hi; ++p) {
                    const int index = ((x - c.left) * planes + (p - c.lo));
                    ASSERT_EQ(sampleAt(r.inData, r.inRowBytes, y - c.top, index, bps),
                              patternValue(x, y, p, document.maxValue()))
                        << "x " << x << " y " << y << " plane " << p;
                }
            }
        }
    }
}

// A rectangle must lie inside the image; inside the filter rectangle it
// need not (the plug-in leaves a one-pixel request at the image origin).
TEST(Delivery, rectangles_outside_the_image_are_refused) {
    struct Case {
        const char* name;
        Rect in;
        Rect out;
        Rect mask;
        int16 hiPlane;
        OSErr expected;
    };
    const Rect none{0, 0, 0, 0};
    const Case cases[] = {
        {"one pixel at the origin, outside the filter rectangle", shortRect(0, 0, 1, 1), none, none,
         0, noErr},
        {"inside the image, outside the filter rectangle", shortRect(30, 20, 40, 24), none, none, 2,
         noErr},
        {"input reaching past the right edge", shortRect(35, 0, 41, 4), none, none, 2, paramErr},
        {"input starting left of the image", shortRect(-1, 0, 4, 4), none, none, 2, paramErr},
        {"input below the image", shortRect(0, 24, 4, 26), none, none, 2, paramErr},
        {"output past the bottom", none, shortRect(0, 20, 4, 25), none, 2, paramErr},
        {"mask past the right edge", none, none, shortRect(38, 0, 41, 2), 2, paramErr},
        {"a plane the image does not have", shortRect(0, 0, 2, 2), none, none, 3, paramErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Document document = patternDocument(ColorMode::RGB, 8, 40, 24);
        document.setFilterRect(rectLTRB(10, 8, 20, 16));
        document.selectRect(rectLTRB(10, 8, 20, 16));
        FilterHost host(document);
        host.beginApplication();
        FilterRecord& r = host.record();
        r.inRect = c.in;
        r.outRect = c.out;
        r.maskRect = c.mask;
        r.inHiPlane = r.outHiPlane = c.hiPlane;
        EXPECT_EQ(r.advanceState(), c.expected);
        if (c.expected != noErr) {
            // Copies: the packed record's pointers may sit off 8-byte
            // boundaries, where a reference must not bind.
            const void* in = r.inData;
            const void* out = r.outData;
            const void* mask = r.maskData;
            EXPECT_EQ(in, nullptr);
            EXPECT_EQ(out, nullptr);
            EXPECT_EQ(mask, nullptr);
        }
        ASSERT_FALSE(host.records().advanceStates.empty());
        EXPECT_EQ(host.records().advanceStates.back().result, c.expected);
    }
}

TEST(Delivery, a_request_over_the_memory_budget_reports_out_of_memory) {
    struct Case {
        std::int64_t budget;
        int width;
        OSErr expected;
    };
    // 64 pixels of RGB 8 with padded rows: at least 192 bytes a row.
    const Case cases[] = {{100000, 64, noErr}, {192 * 8, 64, memFullErr}, {192 * 8, 8, noErr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.budget);
        HostOptions options;
        options.requestBudget = c.budget;
        FilterHost host(Document::rgb(64, 64), options);
        host.beginApplication();
        FilterRecord& r = host.record();
        r.inRect = shortRect(0, 0, c.width, 8);
        r.outRect = shortRect(0, 0, c.width, 8);
        r.inHiPlane = r.outHiPlane = 2;
        EXPECT_EQ(r.advanceState(), c.expected);
    }
}

TEST(Delivery, output_returns_into_the_document_at_the_next_advance_state) {
    FilterHost host(patternDocument(ColorMode::RGB, 16, 8, 8));
    host.beginApplication();
    FilterRecord& r = host.record();
    r.outRect = shortRect(2, 3, 5, 4);
    r.outLoPlane = 1;
    r.outHiPlane = 1;
    ASSERT_EQ(r.advanceState(), noErr);
    // The output buffer starts as the current pixels.
    std::uint16_t first = 0;
    std::memcpy(&first, r.outData, 2);
    EXPECT_EQ(first, patternValue(2, 3, 1, 32768));
    for (int x = 0; x < 3; ++x) {
        const std::uint16_t v = 32768;
        std::memcpy(static_cast<std::uint8_t*>(r.outData) + 2 * x, &v, 2);
    }
    EXPECT_EQ(host.document().sample(3, 3, 1), patternValue(3, 3, 1, 32768));

    r.outRect = Rect{0, 0, 0, 0};
    ASSERT_EQ(r.advanceState(), noErr);
    for (int x = 0; x < 8; ++x) {
        for (int p = 0; p < 3; ++p) {
            const bool written = x >= 2 && x < 5 && p == 1;
            EXPECT_EQ(host.document().sample(x, 3, p),
                      written ? 32768U : patternValue(x, 3, p, 32768));
        }
    }
    // Input deliveries keep reading the image as it was.
    r.inRect = shortRect(2, 3, 3, 4);
    r.inLoPlane = r.inHiPlane = 1;
    ASSERT_EQ(r.advanceState(), noErr);
    std::uint16_t source = 0;
    std::memcpy(&source, r.inData, 2);
    EXPECT_EQ(source, patternValue(2, 3, 1, 32768));
}

// The entry point the next test plays: Start fills the output it was given.
void fillOutputOnStart(int16 selector, void* block, std::intptr_t* /*data*/, int16* result) {
    auto* r = static_cast<FilterRecord*>(block);
    *result = noErr;
    if (selector != filterSelectorStart) {
        return;
    }
    r->outRect = Rect{0, 0, 2, 4};
    r->outLoPlane = 0;
    r->outHiPlane = 2;
    *result = r->advanceState();
    for (int y = 0; y < 2; ++y) {
        std::memset(static_cast<std::uint8_t*>(r->outData) + y * r->outRowBytes, 200, 12);
    }
    r->outRect = Rect{0, 0, 0, 0};
}

TEST(Delivery, output_returns_into_the_document_when_the_call_returns) {
    FilterHost host(Document::rgb(4, 4));
    host.setEntryPoint(fillOutputOnStart);
    host.beginApplication();
    ASSERT_EQ(host.callSelector(filterSelectorStart), noErr);
    EXPECT_EQ(host.document().sample(3, 1, 2), 200U);
    EXPECT_EQ(host.document().sample(0, 2, 0), 0U);
    EXPECT_TRUE(host.records().faults.empty());
}

TEST(Delivery, the_rectangles_come_from_the_fields_the_plug_in_opted_into) {
    // Wider than 16-bit coordinates reach.
    Document document = patternDocument(ColorMode::Gray, 8, 40000, 2);
    FilterHost host(document);
    host.beginApplication();
    FilterRecord& r = host.record();
    ASSERT_NE(r.bigDocumentData, nullptr);
    EXPECT_EQ(r.bigDocumentData->imageSize32.h, 40000);
    EXPECT_EQ(r.imageSize.h, 32767);

    r.bigDocumentData->inRect32 = rectLTRB(39990, 1, 40000, 2);
    r.inRect = shortRect(0, 0, 1, 1);
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_FALSE(host.records().advanceStates.back().bigCoordinates);
    EXPECT_EQ(*static_cast<std::uint8_t*>(r.inData), patternValue(0, 0, 0, 255));

    r.bigDocumentData->PluginUsing32BitCoordinates = 1;
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_TRUE(host.records().advanceStates.back().bigCoordinates);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(static_cast<std::uint8_t*>(r.inData)[x], patternValue(39990 + x, 1, 0, 255));
    }
    // With 32-bit coordinates the 16-bit fields no longer count.
    r.bigDocumentData->inRect32 = VRect{0, 0, 0, 0};
    EXPECT_FALSE(host.requestPending());
}

TEST(Delivery, buffers_are_reused_from_request_to_request) {
    FilterHost host(Document::rgb(64, 64));
    host.beginApplication();
    FilterRecord& r = host.record();
    r.inHiPlane = 2;
    r.inRect = shortRect(0, 0, 32, 32);
    ASSERT_EQ(r.advanceState(), noErr);
    void* first = r.inData;
    r.inRect = shortRect(32, 32, 64, 64);
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_EQ(r.inData, first);
    r.inRect = shortRect(0, 0, 8, 8);
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_EQ(r.inData, first);
}

TEST(Delivery, an_input_rate_of_two_samples_every_second_pixel) {
    FilterHost host(patternDocument(ColorMode::RGB, 8, 9, 7));
    host.beginApplication();
    FilterRecord& r = host.record();
    r.inputRate = 2 << 16;
    r.inHiPlane = 2;
    // Sampled coordinates: the 9 × 7 image is 5 × 4 at step 2.
    r.inRect = shortRect(0, 0, 5, 4);
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_EQ(host.records().advanceStates.back().inputStep, 2);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            const auto* pixel = static_cast<std::uint8_t*>(r.inData) + y * r.inRowBytes + x * 3;
            EXPECT_EQ(pixel[1], patternValue(2 * x, 2 * y, 1, 255));
        }
    }
    r.inRect = shortRect(0, 0, 6, 4);
    EXPECT_EQ(r.advanceState(), paramErr);
}

TEST(Delivery, input_padding_fills_what_lies_outside_the_image) {
    struct Case {
        int16 padding;
        std::uint32_t expectedOutside;
    };
    FilterHost host(patternDocument(ColorMode::Gray, 8, 4, 4));
    const Case cases[] = {{-1, patternValue(0, 1, 0, 255)}, {77, 77}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.padding);
        host.beginApplication();
        FilterRecord& r = host.record();
        r.inputPadding = c.padding;
        r.inRect = shortRect(-1, 1, 2, 2);
        ASSERT_EQ(r.advanceState(), noErr);
        const auto* row = static_cast<std::uint8_t*>(r.inData);
        EXPECT_EQ(row[0], c.expectedOutside);
        EXPECT_EQ(row[1], patternValue(0, 1, 0, 255));
        EXPECT_EQ(row[2], patternValue(1, 1, 0, 255));
    }
}

TEST(Delivery, the_mask_arrives_as_8_bit_selection_samples) {
    Document document = patternDocument(ColorMode::RGB, 16, 10, 6);
    document.selectRect(rectLTRB(2, 1, 5, 4));
    FilterHost host(document);
    host.beginApplication();
    FilterRecord& r = host.record();
    EXPECT_EQ(r.haveMask, 1);
    EXPECT_EQ(r.filterCase, filterCaseFlatImageWithSelection);
    r.maskRect = shortRect(0, 0, 10, 6);
    ASSERT_EQ(r.advanceState(), noErr);
    const auto* mask = static_cast<const std::uint8_t*>(r.maskData);
    ASSERT_NE(mask, nullptr);
    EXPECT_GT(r.maskRowBytes, 10);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool selected = x >= 2 && x < 5 && y >= 1 && y < 4;
            EXPECT_EQ(mask[y * r.maskRowBytes + x], selected ? 255 : 0);
        }
    }
}

TEST(Delivery, automatic_masking_blends_the_output_by_the_selection) {
    for (const bool autoMask : {true, false}) {
        SCOPED_TRACE(autoMask);
        Document document = Document::rgb(4, 1);
        std::vector<std::uint8_t> selection = {255, 128, 0, 255};
        document.setSelection(selection);
        FilterHost host(document);
        host.beginApplication();
        FilterRecord& r = host.record();
        r.autoMask = autoMask ? 1 : 0;
        r.outRect = shortRect(0, 0, 4, 1);
        r.outHiPlane = 0;
        ASSERT_EQ(r.advanceState(), noErr);
        std::memset(r.outData, 255, 4);
        host.endApplication();
        const std::uint32_t expected[] = {255, autoMask ? 128U : 255U, autoMask ? 0U : 255U, 255};
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(host.document().sample(x, 0, 0), expected[x]);
        }
    }
}

TEST(Delivery, writing_into_the_row_padding_is_reported) {
    FilterHost host(Document::rgb(4, 2));
    host.beginApplication();
    FilterRecord& r = host.record();
    r.outRect = shortRect(0, 0, 4, 2);
    r.outHiPlane = 2;
    ASSERT_EQ(r.advanceState(), noErr);
    std::memset(r.outData, 1, static_cast<std::size_t>(r.outRowBytes));
    host.endApplication();
    ASSERT_EQ(host.records().faults.size(), 1U);
    EXPECT_NE(host.records().faults[0].find("padding"), std::string::npos);
}

} // namespace
