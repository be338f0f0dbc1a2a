#include "image/Errors.h"
#include "image/PixelFormat.h"
#include "image/PixelRect.h"
#include "image/VTImageBuffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

using image::PixelFormat;
using image::PixelRect;
using image::VTImageBuffer;

TEST(PixelRect, IntersectionIsTheOverlapOrAllZeros) {
    struct Case {
        const char* name;
        PixelRect a, b, expected;
    };
    const Case cases[] = {
        {"overlap", {0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}},
        {"contained", {0, 0, 10, 10}, {2, 3, 4, 5}, {2, 3, 4, 5}},
        {"negative coordinates", {-5, -5, 5, 5}, {-10, -2, 0, 3}, {-5, -2, 0, 3}},
        {"touching left and right edges", {0, 0, 10, 10}, {10, 0, 20, 10}, {}},
        {"touching top and bottom edges", {0, 0, 10, 10}, {0, 10, 10, 20}, {}},
        {"disjoint", {-20, -20, -10, -10}, {5, 5, 6, 6}, {}},
        {"columns overlap, rows do not", {0, 0, 10, 3}, {2, 7, 8, 9}, {}},
        {"with an empty rectangle", {3, 3, 3, 9}, {0, 0, 10, 10}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a.intersection(c.b), c.expected);
        EXPECT_EQ(c.b.intersection(c.a), c.expected);
    }
    EXPECT_TRUE(PixelRect(5, 0, 4, 5).isEmpty());
    EXPECT_FALSE(PixelRect(-1, -1, 0, 0).isEmpty());
    EXPECT_EQ(PixelRect(INT_MIN, 0, INT_MAX, 1).width(), 4294967295LL);
}

PixelFormat format(std::uint32_t model, std::uint32_t channels, bool alpha = false) {
    PixelFormat f(model, channels, alpha);
    f.totalChannels = 99; // never copied: the record derives it
    return f;
}

TEST(VTImageBuffer, LayoutRulesAndFullScale) {
    enum Constructor { wrap, allocate };
    struct Case {
        const char* name;
        Constructor constructor;
        std::int32_t bytesPerSample;
        PixelFormat format;
        PixelRect bounds;
        std::int32_t minimumRowBytes;
        std::int32_t colBytes, rowBytes, planeBytes, rowStride, planeStride;
        std::uint32_t maxValue;
    };
    const std::uint32_t rgb = image::colorModelRGB;
    const std::uint32_t gray = image::colorModelGray;
    const std::uint32_t planar = image::colorModelPlanar;
    // name, constructor, bytes per sample, format, bounds, minimum row bytes;
    // colBytes, rowBytes, planeBytes, rowStride, planeStride, maxValue
    const Case cases[] = {
        {"8-bit RGB", wrap, 1, format(rgb, 3), {2, 3, 7, 6}, 0, 3, 15, 1, 15, 1, 255},
        {"host padding", wrap, 1, format(rgb, 3), {2, 3, 7, 6}, 20, 3, 20, 1, 20, 1, 255},
        {"short minimum", wrap, 1, format(gray, 1), {0, 0, 5, 1}, 3, 1, 5, 1, 5, 1, 255},
        {"16-bit RGBA", wrap, 2, format(rgb, 3, true), {0, 0, 5, 3}, 0, 8, 40, 2, 20, 1, 32768},
        {"float gray", wrap, 4, format(gray, 1), {0, 0, 5, 3}, 0, 4, 20, 4, 5, 1, 1},
        {"3-byte", wrap, 3, format(gray, 1), {0, 0, 2, 2}, 0, 3, 6, 3, 2, 1, 16777215},
        {"8-bit planar", wrap, 1, format(planar, 3), {0, 0, 5, 3}, 0, 1, 5, 15, 5, 15, 255},
        {"16-bit planar", wrap, 2, format(planar, 3), {0, 0, 4, 2}, 10, 2, 10, 20, 5, 10, 32768},
        {"owned RGB", allocate, 1, format(rgb, 3), {0, 0, 5, 3}, 0, 3, 16, 1, 16, 1, 255},
        {"owned 16-bit", allocate, 2, format(gray, 1), {0, 0, 3, 2}, 0, 2, 8, 2, 4, 1, 32768},
        {"owned float", allocate, 4, format(gray, 1), {9, 9, 10, 10}, 0, 4, 4, 4, 1, 1, 1},
        {"owned planar", allocate, 1, format(planar, 3), {0, 0, 5, 2}, 0, 1, 8, 16, 8, 16, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> samples(64);
        const auto image =
            c.constructor == wrap
                ? std::make_unique<VTImageBuffer>(samples.data(), c.bounds, c.minimumRowBytes,
                                                  c.bytesPerSample, c.format)
                : std::make_unique<VTImageBuffer>(c.bounds, c.bytesPerSample, c.format);
        EXPECT_EQ(image->colBytes, c.colBytes);
        EXPECT_EQ(image->rowBytes, c.rowBytes);
        EXPECT_EQ(image->planeBytes, c.planeBytes);
        EXPECT_EQ(image->pixelStride, c.colBytes / c.bytesPerSample);
        EXPECT_EQ(image->rowStride, c.rowStride);
        EXPECT_EQ(image->nextRowPixelStride, image->pixelStride + c.rowStride);
        EXPECT_EQ(image->planeStride, c.planeStride);
        EXPECT_EQ(image->maxValue, c.maxValue);
        EXPECT_EQ(image->bounds, c.bounds);
        EXPECT_EQ(image->format.totalChannels,
                  c.format.colorChannels + (c.format.hasAlpha ? 1 : 0));
        EXPECT_EQ(image->ownsData, c.constructor == allocate);
        if (c.constructor == allocate) {
            // Every row of every plane is there and zeroed; the sanitizer
            // build catches a short block.
            const std::size_t planes = c.format.colorModel == planar ? 3 : 1;
            const auto size = planes * static_cast<std::size_t>(c.bounds.height() * c.rowBytes);
            EXPECT_EQ(std::vector<unsigned char>(image->data, image->data + size),
                      std::vector<unsigned char>(size, 0));
            std::memset(image->data, 0x5A, size);
        }
    }
}

TEST(VTImageBuffer, CopyIsAViewThatLeavesTheBlockToItsOwner) {
    PixelFormat profiled(image::colorModelRGB, 3, true);
    profiled.iccProfile = std::make_shared<std::vector<unsigned char>>(16, 1);
    VTImageBuffer owner({1, 2, 6, 5}, 2, profiled);
    owner.maxValue = 4095;
    {
        const VTImageBuffer view(owner);
        EXPECT_FALSE(view.ownsData);
        EXPECT_EQ(view.data, owner.data);
        EXPECT_EQ(view.bounds, owner.bounds);
        EXPECT_EQ(view.rowStride, owner.rowStride);
        EXPECT_EQ(view.nextRowPixelStride, owner.nextRowPixelStride);
        EXPECT_EQ(view.maxValue, 4095U);
        EXPECT_EQ(view.format.iccProfile, profiled.iccProfile);
    }
    // The view is gone; the owner's block must still be live.
    std::memset(owner.data, 1, static_cast<std::size_t>(owner.rowBytes) * 3);
}

TEST(VTImageBuffer, RejectsLayoutsItCannotRepresent) {
    std::vector<unsigned char> samples(16);
    const PixelFormat gray(image::colorModelGray, 1, false);
    const PixelRect wide(0, 0, INT_MAX, 1);
    struct Case {
        std::int32_t bytesPerSample;
        PixelRect bounds;
        const char* text;
    };
    for (const Case& c : {Case{0, {0, 0, 2, 2}, image::errors::badBytesPerSample},
                          Case{2, wide, image::errors::rowTooLong}}) {
        try {
            const VTImageBuffer image(samples.data(), c.bounds, 0, c.bytesPerSample, gray);
            ADD_FAILURE() << "no exception for " << c.text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    EXPECT_THROW(VTImageBuffer(wide, 2, gray), std::bad_alloc);
    EXPECT_THROW(VTImageBuffer(PixelRect(0, 0, 1 << 16, 1 << 16), 1,
                               format(image::colorModelPlanar, 3, false)),
                 std::bad_alloc);
}

} // namespace
