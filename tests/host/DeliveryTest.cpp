// advanceState as the host implements it, played directly through the
// filter record the way a plug-in calls it.

#include "HostTestSupport.h"
#include "image/DepthConversion.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace host;
using namespace hostapi;
using host_testing::acquire;
using host_testing::patternDocument;
using host_testing::patternValue;
using host_testing::shortRect;

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

TEST(Delivery, RequestedPlanesArriveInterleavedInRowsWiderThanTight) {
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
            document.addTransparency(0);
            for (int y = 0; y < 12; ++y) {
                for (int x = 0; x < 20; ++x) {
                    document.setSample(x, y, 3, patternValue(x, y, 3, document.maxValue()));
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
        EXPECT_GT(r.inRowBytes, (c.right - c.left) * planes * bps);
        EXPECT_EQ(r.inRowBytes % 4, 0);
        for (int y = c.top; y < c.bottom; ++y) {
            for (int x = c.left; x < c.right; ++x) {
                for (int p = c.lo; p <= c.hi; ++p) {
                    const int index = (x - c.left) * planes + (p - c.lo);
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
TEST(Delivery, RequestsTheHostCannotServeAreRefusedWithNothingDelivered) {
    struct Case {
        const char* name;
        Rect in;
        Rect out;
        Rect mask;
        int16 hiPlane;
        std::int64_t budget;
        OSErr expected;
    };
    const Rect none{0, 0, 0, 0};
    const Case cases[] = {
        {"one pixel at the origin, outside the filter rectangle", shortRect(0, 0, 1, 1), none, none,
         0, 0, noErr},
        {"inside the image, outside the filter rectangle", shortRect(30, 20, 40, 24), none, none, 2,
         0, noErr},
        {"input reaching past the right edge", shortRect(35, 0, 41, 4), none, none, 2, 0, paramErr},
        {"input starting left of the image", shortRect(-1, 0, 4, 4), none, none, 2, 0, paramErr},
        {"input below the image", shortRect(0, 24, 4, 26), none, none, 2, 0, paramErr},
        {"output past the bottom", none, shortRect(0, 20, 4, 25), none, 2, 0, paramErr},
        {"mask past the right edge", none, none, shortRect(38, 0, 41, 2), 2, 0, paramErr},
        {"a plane the image does not have", shortRect(0, 0, 2, 2), none, none, 3, 0, paramErr},
        // Rows of 40 RGB pixels take at least 120 bytes.
        {"input and output over the budget", shortRect(0, 0, 40, 8), shortRect(0, 0, 40, 8), none,
         2, 1900, memFullErr},
        {"input and output within the budget", shortRect(0, 0, 8, 8), shortRect(0, 0, 8, 8), none,
         2, 1900, noErr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Document document = patternDocument(ColorMode::RGB, 8, 40, 24);
        document.setFilterRect(rectLTRB(10, 8, 20, 16));
        document.selectRect(rectLTRB(10, 8, 20, 16));
        HostOptions options;
        options.requestBudget = c.budget;
        FilterHost host(document, options);
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
        ASSERT_EQ(host.records().advanceStates.size(), 1U);
        EXPECT_EQ(host.records().advanceStates[0].result, c.expected);
    }
}

TEST(Delivery, OutputGoesBackIntoTheDocumentAtTheNextAdvanceState) {
    FilterHost host(patternDocument(ColorMode::RGB, 16, 8, 8));
    host.beginApplication();
    FilterRecord& r = host.record();
    r.outRect = shortRect(2, 3, 5, 4);
    r.outLoPlane = 1;
    r.outHiPlane = 1;
    ASSERT_EQ(r.advanceState(), noErr);
    // The output buffer starts as the current pixels.
    EXPECT_EQ(sampleAt(r.outData, r.outRowBytes, 0, 0, 2), patternValue(2, 3, 1, 32768));
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
    EXPECT_EQ(sampleAt(r.inData, r.inRowBytes, 0, 0, 2), patternValue(2, 3, 1, 32768));
}

// Warm pages instead of fresh ones: the buffers grow and are reused, and an
// output asked for alone takes the input's buffer.
TEST(Delivery, BuffersAreReusedFromRequestToRequest) {
    FilterHost host(Document::rgb(64, 64));
    host.beginApplication();
    FilterRecord& r = host.record();
    r.inHiPlane = r.outHiPlane = 2;
    r.inRect = shortRect(0, 0, 32, 32);
    ASSERT_EQ(r.advanceState(), noErr);
    void* first = r.inData;
    r.inRect = shortRect(32, 32, 64, 64);
    ASSERT_EQ(r.advanceState(), noErr);
    EXPECT_EQ(r.inData, first);
    r.inRect = Rect{0, 0, 0, 0};
    r.outRect = shortRect(0, 0, 8, 8);
    ASSERT_EQ(r.advanceState(), noErr);
    // The record is packed: its fields are read by value, not bound.
    const void* output = r.outData;
    EXPECT_EQ(output, first);
}

// Where the host turns an 8-bit value into a 16-bit sample (the constant
// padding of a 16-bit document, the colour space suite) it must land where
// the plug-in's own rule does (254 is 32640, not 32639), and come back.
TEST(SampleScaling, EightBitValuesBecomeTheSamplesThePlugInMakesOfThem) {
    FilterHost host(Document(ColorMode::Gray, 16, 2, 2));
    host.beginApplication();
    const auto* colorSpace = acquire<ColorSpaceSuite>(host);
    ASSERT_NE(colorSpace, nullptr);
    const std::uint8_t values[] = {0, 1, 128, 254, 255};
    for (std::uint8_t value : values) {
        SCOPED_TRACE(static_cast<int>(value));
        const std::uint16_t expected = image::convert8To16Sample(value);
        FilterRecord& r = host.record();
        r.inputPadding = value;
        r.inRect = shortRect(-1, 0, 0, 1);
        ASSERT_EQ(r.advanceState(), noErr);
        EXPECT_EQ(sampleAt(r.inData, r.inRowBytes, 0, 0, 2), expected);

        std::uint16_t wide = 0;
        ASSERT_EQ(colorSpace->Convert8to16(&value, &wide, 1), 0);
        EXPECT_EQ(wide, expected);
        std::uint8_t narrow = 0;
        ASSERT_EQ(colorSpace->Convert16to8(&wide, &narrow, 1), 0);
        EXPECT_EQ(narrow, value);
    }
}

TEST(Delivery, WritingIntoTheRowPaddingIsReported) {
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
