// The plug-in's window onto the host's pixels, against the host stand-in's
// filter record (8- and 16-bit documents) and hand-made records for what the
// stand-in does not offer (float documents, refusals).

#include "image/HostImageBuffer.h"
#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"
#include "image/SingleChannelImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace {

using image::HostImageBuffer;
using image::PixelRect;

struct AcquiredMask {
    std::int16_t result = 0;
    std::unique_ptr<image::VTImageBuffer> mask;
    bool fullySelected = false;
    bool fromTransparency = true;
};

AcquiredMask acquire(hostapi::FilterRecord& record) {
    AcquiredMask out;
    out.result = HostImageBuffer(record).acquireSelectionMask(out.mask, out.fullySelected,
                                                              out.fromTransparency);
    return out;
}

template <typename T> T sampleAt(const image::VTImageBuffer& mask, int x, int y) {
    return *image::SingleChannelImage<T>(mask).pixel(x, y);
}

// Rectangles the host asked for are empty after the plug-in is done.
void expectRequestsCleared(hostapi::FilterRecord& record) {
    const HostImageBuffer buffer(record);
    EXPECT_TRUE(buffer.inputRect().isEmpty());
    EXPECT_TRUE(buffer.outputRect().isEmpty());
}

TEST(HostRectangles, GoThroughThe32BitFieldsOnlyAfterTheOptIn) {
    host::FilterHost host(host::Document::rgb(300, 200));
    host.document().setFilterRect(host::rectLTRB(10, 20, 290, 180));
    host.beginApplication();
    hostapi::FilterRecord& record = host.record();
    HostImageBuffer buffer(record);

    // 16-bit fields first.
    EXPECT_FALSE(buffer.usesBigCoordinates());
    buffer.setInputRect(PixelRect(1, 2, 3, 4));
    EXPECT_EQ(record.inRect.left, 1);
    EXPECT_EQ(record.inRect.top, 2);
    EXPECT_EQ(record.inRect.right, 3);
    EXPECT_EQ(record.inRect.bottom, 4);
    EXPECT_EQ(record.bigDocumentData->inRect32.right, 0);

    // Then the big-document record, and nothing but it.
    record.bigDocumentData->PluginUsing32BitCoordinates = 1;
    record.bigDocumentData->imageSize32 = hostapi::VPoint{70000, 90000};
    EXPECT_TRUE(buffer.usesBigCoordinates());
    EXPECT_EQ(buffer.imageBounds(), PixelRect(0, 0, 90000, 70000));
    EXPECT_EQ(buffer.filterBounds(), PixelRect(10, 20, 290, 180));
    buffer.setInputRect(PixelRect(40000, 50000, 40100, 50100));
    buffer.setOutputRect(PixelRect(5, 6, 7, 8));
    buffer.setMaskRect(PixelRect(9, 10, 11, 12));
    EXPECT_EQ(buffer.inputRect(), PixelRect(40000, 50000, 40100, 50100));
    EXPECT_EQ(buffer.outputRect(), PixelRect(5, 6, 7, 8));
    const hostapi::VRect& mask32 = record.bigDocumentData->maskRect32;
    EXPECT_EQ((std::vector<int>{mask32.top, mask32.left, mask32.bottom, mask32.right}),
              (std::vector<int>{10, 9, 12, 11}));
    EXPECT_EQ(record.inRect.right, 3);
    EXPECT_EQ(record.outRect.right, 0);
    EXPECT_EQ(record.maskRect.right, 0);

    // The host reads what the plug-in wrote, from the same fields.
    buffer.setInputRect(PixelRect(0, 0, 4, 4));
    buffer.setOutputRect(PixelRect());
    buffer.setMaskRect(PixelRect());
    record.bigDocumentData->imageSize32 = hostapi::VPoint{200, 300};
    ASSERT_EQ(buffer.advance(), 0);
    ASSERT_FALSE(host.records().advanceStates.empty());
    EXPECT_TRUE(host.records().advanceStates.back().bigCoordinates);
    EXPECT_TRUE(
        host::sameRect(host.records().advanceStates.back().inRect, host::rectLTRB(0, 0, 4, 4)));
}

TEST(HostRequests, ClearingLeavesTheHostNothingToDeliver) {
    host::FilterHost host(host::Document::rgb(64, 48));
    host.document().setFilterRect(host::rectLTRB(8, 4, 60, 40));
    host.beginApplication();
    hostapi::FilterRecord& record = host.record();
    HostImageBuffer buffer(record);
    buffer.setInputRect(PixelRect(0, 0, 10, 10));
    buffer.setOutputRect(PixelRect(0, 0, 10, 10));
    record.inputRate = 0x20000;
    record.maskRate = 0x30000;

    buffer.clearRequests();
    EXPECT_TRUE(buffer.inputRect().isEmpty());
    EXPECT_TRUE(buffer.outputRect().isEmpty());
    EXPECT_EQ((std::vector<int>{record.maskRect.top, record.maskRect.left, record.maskRect.bottom,
                                record.maskRect.right}),
              (std::vector<int>{4, 8, 4, 8}));
    EXPECT_EQ(record.inputRate, 0x10000);
    EXPECT_EQ(record.maskRate, 0x10000);
    EXPECT_FALSE(host.requestPending());

    record.inLoPlane = 1;
    record.inHiPlane = 2;
    buffer.clearRequestsToMinimal();
    EXPECT_EQ(buffer.inputRect(), PixelRect(0, 0, 1, 1));
    EXPECT_EQ(record.inLoPlane, 0);
    EXPECT_EQ(record.inHiPlane, 0);
    EXPECT_TRUE(buffer.outputRect().isEmpty());
}

TEST(HostResults, MapOntoThePluginsCodes) {
    struct Case {
        std::int32_t host;
        std::int16_t expected;
    };
    for (const Case& c : {Case{-108, -108}, Case{-1, -1}, Case{0, 0}, Case{1, 1}, Case{-128, 1},
                          Case{-12100, -108}, Case{-50, -1}, Case{2, -1}, Case{-30100, -1}}) {
        EXPECT_EQ(HostImageBuffer::mapHostResult(c.host), c.expected) << c.host;
    }
}

TEST(HostDocument, CountsChannelsPlanesAndSelectionCases) {
    hostapi::FilterRecord record{};
    const HostImageBuffer buffer(record);
    for (const auto& [depth, bytes] :
         std::vector<std::pair<int, int>>{{0, 1}, {8, 1}, {16, 2}, {32, 4}}) {
        record.depth = depth;
        EXPECT_EQ(buffer.bytesPerChannel(), bytes) << depth;
    }
    record.planes = 5;
    EXPECT_EQ(buffer.inputPlaneCount(), 5);
    EXPECT_EQ(buffer.outputPlaneCount(), 5);
    record.inLayerPlanes = 3;
    record.inTransparencyMask = 1;
    record.outLayerPlanes = 3;
    record.outNonLayerPlanes = 2;
    EXPECT_EQ(buffer.inputPlaneCount(), 4);
    EXPECT_EQ(buffer.outputPlaneCount(), 5);

    for (hostapi::int16 filterCase = -1; filterCase <= 7; ++filterCase) {
        record.filterCase = filterCase;
        EXPECT_EQ(buffer.hasSelection(), filterCase == 2 || filterCase == 5 || filterCase == 7);
        EXPECT_EQ(buffer.transparencyWithoutSelection(), filterCase == 4 || filterCase == 6);
    }
}

TEST(HostPixelFormat, FollowsTheImageMode) {
    struct Case {
        hostapi::int16 mode;
        std::uint32_t model;
        std::uint32_t defaultChannels;
    };
    // Without plane counts only the 8-bit modes are told apart.
    const std::vector<Case> cases = {
        {hostapi::modeBitmap, 0, 3},
        {hostapi::modeGrayScale, 4, 1},
        {hostapi::modeIndexedColor, 0, 3},
        {hostapi::modeRGBColor, 0, 3},
        {hostapi::modeCMYKColor, 2, 4},
        {hostapi::modeHSLColor, 0, 3},
        {hostapi::modeHSBColor, 0, 3},
        {hostapi::modeMultichannel, 0, 6},
        {hostapi::modeDuotone, 500, 1},
        {hostapi::modeLabColor, 3, 3},
        {hostapi::modeGray16, 4, 3},
        {hostapi::modeRGB48, 0, 3},
        {hostapi::modeLab48, 3, 3},
        {hostapi::modeCMYK64, 2, 3},
        {hostapi::modeDeepMultichannel, 0, 3},
        {hostapi::modeDuotone16, 500, 3},
        {hostapi::modeRGB96, 0, 3},
        {hostapi::modeGray32, 4, 3},
    };
    for (const Case& c : cases) {
        hostapi::FilterRecord record{};
        record.imageMode = c.mode;
        record.planes = 6;
        image::PixelFormat format = HostImageBuffer(record).hostPixelFormat();
        EXPECT_EQ(format.colorModel, c.model) << c.mode;
        EXPECT_EQ(format.colorChannels, c.defaultChannels) << c.mode;
        EXPECT_FALSE(format.hasAlpha);
        EXPECT_EQ(format.totalChannels, c.defaultChannels);
        EXPECT_EQ(format.profileKind, 9999U);
        EXPECT_EQ(format.modelFlag, 1U);
        EXPECT_EQ(format.alphaLast, 1U);

        // Counted planes win; an editable transparency plane is the alpha.
        record.inLayerPlanes = 2;
        record.inNonLayerPlanes = 3;
        record.outTransparencyMask = 1;
        format = HostImageBuffer(record).hostPixelFormat();
        EXPECT_EQ(format.colorChannels, 5U) << c.mode;
        EXPECT_TRUE(format.hasAlpha);
        EXPECT_EQ(format.totalChannels, 6U);
    }
}

TEST(HostPixelFormat, CopiesTheIccProfile) {
    host::Document document = host::Document::rgb(8, 8);
    document.iccProfile = {'a', 'c', 's', 'p', 0, 1, 2, 0xFF, 0x80};
    host::FilterHost host(document);
    host.beginApplication();
    const image::PixelFormat format = HostImageBuffer(host.record()).hostPixelFormat();
    EXPECT_EQ(format.profileKind, 5000U);
    ASSERT_TRUE(format.iccProfile);
    EXPECT_EQ(*format.iccProfile,
              std::vector<unsigned char>(document.iccProfile.begin(), document.iccProfile.end()));
    // A copy: the host's handle is its own again.
    EXPECT_NE(format.iccProfile->data(),
              reinterpret_cast<unsigned char*>(*host.record().iCCprofileData));
    EXPECT_TRUE(host.records().faults.empty());
}

class MaskFromHost : public ::testing::TestWithParam<int> {};

TEST_P(MaskFromHost, CropsASelectionOverTheWholeImageToItsSelectedCorner) {
    const int depth = GetParam();
    host::Document document = host::Document::rgb(64, 48, depth);
    document.selectRect(host::rectLTRB(40, 30, 64, 48));
    document.setFilterRect(host::rectLTRB(0, 0, 64, 48));
    std::vector<std::uint8_t> mask = document.selectionMask();
    mask.at(31 * 64 + 41) = 128;
    mask.at(32 * 64 + 42) = 1;
    document.setSelection(mask);
    host::FilterHost host(document);
    host.beginApplication();

    const AcquiredMask acquired = acquire(host.record());
    ASSERT_EQ(acquired.result, 0);
    ASSERT_TRUE(acquired.mask);
    EXPECT_EQ(acquired.mask->bounds, PixelRect(40, 30, 64, 48));
    EXPECT_FALSE(acquired.fullySelected);
    EXPECT_FALSE(acquired.fromTransparency);
    if (depth == 8) {
        EXPECT_EQ(acquired.mask->maxValue, 255U);
        EXPECT_EQ(sampleAt<std::uint8_t>(*acquired.mask, 40, 30), 255);
        EXPECT_EQ(sampleAt<std::uint8_t>(*acquired.mask, 41, 31), 128);
        EXPECT_EQ(sampleAt<std::uint8_t>(*acquired.mask, 42, 32), 1);
    } else {
        EXPECT_EQ(acquired.mask->maxValue, 32768U);
        EXPECT_EQ(sampleAt<std::uint16_t>(*acquired.mask, 40, 30), 32768);
        EXPECT_EQ(sampleAt<std::uint16_t>(*acquired.mask, 41, 31), 16448);
        EXPECT_EQ(sampleAt<std::uint16_t>(*acquired.mask, 42, 32), 129);
    }
    // One read of the mask at full rate, and nothing left requested.
    ASSERT_EQ(host.records().advanceStates.size(), 1U);
    EXPECT_TRUE(
        host::sameRect(host.records().advanceStates[0].maskRect, host::rectLTRB(0, 0, 64, 48)));
    EXPECT_EQ(host.records().advanceStates[0].maskStep, 1);
    expectRequestsCleared(host.record());
    EXPECT_FALSE(host.requestPending());
}

// Where nothing is partly selected there is no mask to read, or one at full
// scale; a mask left from before is replaced or dropped.
TEST_P(MaskFromHost, AWholeSelectionIsFullySelected) {
    const int depth = GetParam();
    struct Case {
        const char* what;
        std::function<void(host::Document&)> prepare;
        bool hasMask;
        PixelRect bounds;
    };
    const Case cases[] = {
        {"no selection over the image", [](host::Document&) {}, false, {}},
        {"an all-zero selection",
         [](host::Document& d) {
             d.setSelection(std::vector<std::uint8_t>(32 * 16, 0));
             d.setFilterRect(host::rectLTRB(0, 0, 32, 16));
         },
         true,
         {}},
        {"a selection inside a smaller filter rectangle",
         [](host::Document& d) { d.selectRect(host::rectLTRB(4, 4, 12, 10)); }, true,
         PixelRect(4, 4, 12, 10)},
        {"a layer smaller than the canvas",
         [](host::Document& d) { d.setFilterRect(host::rectLTRB(3, 2, 13, 9)); }, true,
         PixelRect(3, 2, 13, 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::Document document = host::Document::rgb(32, 16, depth);
        c.prepare(document);
        host::FilterHost host(document);
        host.beginApplication();
        AcquiredMask acquired;
        acquired.mask =
            std::make_unique<image::SingleChannelImage<std::uint8_t>>(PixelRect(0, 0, 1, 1));
        acquired.result = HostImageBuffer(host.record())
                              .acquireSelectionMask(acquired.mask, acquired.fullySelected,
                                                    acquired.fromTransparency);
        ASSERT_EQ(acquired.result, 0);
        EXPECT_TRUE(acquired.fullySelected);
        ASSERT_EQ(acquired.mask != nullptr, c.hasMask);
        if (!c.hasMask) {
            EXPECT_TRUE(host.records().advanceStates.empty());
            continue;
        }
        EXPECT_EQ(acquired.mask->bounds, c.bounds);
        EXPECT_EQ(acquired.mask->rowBytes % 4, 0);
        for (int y = c.bounds.top; y < c.bounds.bottom; ++y) {
            for (int x = c.bounds.left; x < c.bounds.right; ++x) {
                const std::uint32_t sample = depth == 8
                                                 ? sampleAt<std::uint8_t>(*acquired.mask, x, y)
                                                 : sampleAt<std::uint16_t>(*acquired.mask, x, y);
                ASSERT_EQ(sample, acquired.mask->maxValue) << x << ',' << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, MaskFromHost, ::testing::Values(8, 16));

// A host of float documents, which the stand-in does not offer: an 4 x 2
// image whose mask the advance hands over.
std::uint8_t handMadeMask[2][8] = {{0, 255, 51, 0, 9, 9, 9, 9}, {0, 0, 0, 0, 9, 9, 9, 9}};
hostapi::OSErr handMadeResult = 0;

hostapi::OSErr handMadeAdvance() {
    return handMadeResult;
}

hostapi::FilterRecord handMadeRecord(hostapi::int32 depth) {
    hostapi::FilterRecord record{};
    record.imageSize = hostapi::Point{2, 4};
    record.filterRect = hostapi::Rect{0, 0, 2, 4};
    record.depth = depth;
    record.haveMask = 1;
    record.advanceState = &handMadeAdvance;
    record.maskData = handMadeMask;
    record.maskRowBytes = 8;
    return record;
}

TEST(MaskFromHandMadeHost, FloatDocumentsGetAFloatMask) {
    handMadeResult = 0;
    hostapi::FilterRecord record = handMadeRecord(32);
    const AcquiredMask acquired = acquire(record);
    ASSERT_EQ(acquired.result, 0);
    ASSERT_TRUE(acquired.mask);
    EXPECT_EQ(acquired.mask->bounds, PixelRect(1, 0, 3, 1));
    EXPECT_EQ(acquired.mask->bytesPerSample, 4);
    EXPECT_FLOAT_EQ(sampleAt<float>(*acquired.mask, 1, 0), 1.0F);
    EXPECT_FLOAT_EQ(sampleAt<float>(*acquired.mask, 2, 0), 0.2F);
    EXPECT_FALSE(acquired.fullySelected);
}

TEST(MaskFromHandMadeHost, ASmallerFloatLayerGetsAFullMask) {
    hostapi::FilterRecord record = handMadeRecord(32);
    record.haveMask = 0;
    record.filterRect = hostapi::Rect{0, 1, 2, 3};
    const AcquiredMask acquired = acquire(record);
    ASSERT_EQ(acquired.result, 0);
    ASSERT_TRUE(acquired.mask);
    EXPECT_EQ(acquired.mask->bounds, PixelRect(1, 0, 3, 2));
    EXPECT_TRUE(acquired.fullySelected);
    EXPECT_FLOAT_EQ(sampleAt<float>(*acquired.mask, 2, 1), 1.0F);
}

TEST(MaskFromHandMadeHost, RefusesDepthsWithoutASampleType) {
    handMadeResult = 0;
    hostapi::FilterRecord record = handMadeRecord(24);
    EXPECT_EQ(acquire(record).result, -1);
    record.haveMask = 0;
    record.filterRect = hostapi::Rect{0, 1, 2, 3};
    EXPECT_EQ(acquire(record).result, -1);
    // Nothing needs a sample type when the whole image is selected.
    record.filterRect = hostapi::Rect{0, 0, 2, 4};
    EXPECT_EQ(acquire(record).result, 0);
}

TEST(MaskFromHandMadeHost, AFailedReadIsMappedAndLeavesNoRequest) {
    for (const auto& [host, expected] : std::vector<std::pair<hostapi::OSErr, std::int16_t>>{
             {-128, 1}, {-108, -108}, {-30100, -1}}) {
        handMadeResult = host;
        hostapi::FilterRecord record = handMadeRecord(8);
        const AcquiredMask acquired = acquire(record);
        EXPECT_EQ(acquired.result, expected);
        EXPECT_FALSE(acquired.mask);
        EXPECT_EQ(record.maskRect.bottom, record.maskRect.top);
        expectRequestsCleared(record);
    }
    handMadeResult = 0;
}

} // namespace
