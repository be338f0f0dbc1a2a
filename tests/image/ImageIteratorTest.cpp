#include "image/Image.h"
#include "image/PixelFormat.h"
#include "image/PixelRect.h"
#include "image/ProgressObserver.h"
#include "image/SingleChannelImage.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using image::Image;
using image::PixelFormat;
using image::PixelRect;
using image::SingleChannelImage;

// One kind of iterator with the kind of image it walks.
template <typename ImageType, typename IteratorType, std::uint32_t Channels> struct Kind {
    using Img = ImageType;
    using Iterator = IteratorType;
    using Sample = typename ImageType::Sample;
    static constexpr std::uint32_t channels = Channels;
};

template <typename T> using Interleaved = Image<T>;
template <typename T> using Single = SingleChannelImage<T>;

using Kinds = testing::Types<
    Kind<Interleaved<unsigned char>, Interleaved<unsigned char>::LeftToRightTopToBottomIterator, 3>,
    Kind<Interleaved<unsigned char>,
         Interleaved<unsigned char>::LeftToRightTopToBottomConstIterator, 3>,
    Kind<Interleaved<unsigned short>, Interleaved<unsigned short>::LeftToRightTopToBottomIterator,
         4>,
    Kind<Interleaved<unsigned short>,
         Interleaved<unsigned short>::LeftToRightTopToBottomConstIterator, 4>,
    Kind<Single<unsigned char>, Single<unsigned char>::LeftToRightTopToBottomConstIterator, 1>,
    Kind<Single<unsigned short>, Single<unsigned short>::LeftToRightTopToBottomConstIterator, 1>,
    Kind<Single<float>, Single<float>::LeftToRightTopToBottomConstIterator, 1>>;

// x, y, byte offset of the pixel in the block, atRowStart.
using Visit = std::tuple<std::int32_t, std::int32_t, std::ptrdiff_t, bool>;

class RecordingObserver : public image::ProgressObserver {
public:
    void progress(double fraction) override { reports.emplace_back(fraction, visits); }
    std::vector<std::pair<double, int>> reports; // fraction, pixels visited before
    int visits = 0;
};

template <typename K> class ImageIterator : public testing::Test {
protected:
    // 5 x 4 pixels at (10, 20), each row followed by 8 bytes of padding.
    const PixelRect bounds{10, 20, 15, 24};
    const std::int32_t pixelBytes = K::channels * sizeof(typename K::Sample);
    const std::int32_t rowBytes = 5 * pixelBytes + 8;
    std::vector<unsigned char> block = std::vector<unsigned char>(std::size_t{4} * rowBytes);

    std::unique_ptr<typename K::Img> makeImage() {
        auto* samples = reinterpret_cast<typename K::Sample*>(block.data());
        if constexpr (K::channels == 1) {
            return std::make_unique<typename K::Img>(samples, bounds, rowBytes);
        } else {
            return std::make_unique<typename K::Img>(
                samples, bounds, rowBytes,
                PixelFormat(image::colorModelRGB, K::channels - 1, true));
        }
    }

    std::vector<Visit> walk(typename K::Iterator& it, RecordingObserver* observer = nullptr) {
        std::vector<Visit> visits;
        for (; it.valid() && visits.size() < 100; it.next()) {
            const auto* pixel = reinterpret_cast<const unsigned char*>(it.pixel());
            visits.emplace_back(it.x(), it.y(), pixel - block.data(), it.atRowStart());
            if (observer != nullptr) {
                ++observer->visits;
            }
        }
        return visits;
    }

    // What a walk over `rect` must visit, from the layout alone.
    [[nodiscard]] std::vector<Visit> expected(const PixelRect& rect) const {
        std::vector<Visit> visits;
        for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
            for (std::int32_t x = rect.left; x < rect.right; ++x) {
                visits.emplace_back(x, y,
                                    std::ptrdiff_t{y - bounds.top} * rowBytes +
                                        std::ptrdiff_t{x - bounds.left} * pixelBytes,
                                    x == rect.left);
            }
        }
        return visits;
    }
};

TYPED_TEST_SUITE(ImageIterator, Kinds);

TYPED_TEST(ImageIterator, WalksRectanglesRowByRowSkippingThePadding) {
    const auto img = this->makeImage();
    typename TypeParam::Iterator it(*img);
    EXPECT_EQ(this->walk(it), this->expected(this->bounds));
    const PixelRect rects[] = {
        {11, 21, 14, 23}, {12, 22, 13, 23}, {10, 23, 15, 24}, {14, 20, 15, 24}, // inner, 1 x 1,
        {12, 21, 12, 23}, {11, 22, 14, 22}, {13, 21, 12, 23}, // last row, last column, empties
    };
    for (const PixelRect& rect : rects) {
        SCOPED_TRACE(testing::Message()
                     << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
        it.begin(rect, nullptr, 0.0, 1.0);
        EXPECT_EQ(this->walk(it), this->expected(rect));
        // Past the end: not valid, on the bottom edge, back on the left edge.
        EXPECT_FALSE(it.valid());
        EXPECT_EQ(it.y(), rect.bottom);
        EXPECT_TRUE(it.atRowStart());
    }
    it.reset();
    EXPECT_EQ(this->walk(it), this->expected(this->bounds));
}

TYPED_TEST(ImageIterator, ReportsProgressOncePerCompletedRow) {
    const auto img = this->makeImage();
    typename TypeParam::Iterator it(*img);
    RecordingObserver observer;
    it.begin({11, 20, 15, 23}, &observer, 0.2, 0.8); // 4 x 3
    EXPECT_EQ(this->walk(it, &observer).size(), 12U);
    ASSERT_EQ(observer.reports.size(), 3U);
    const std::pair<double, int> expected[] = {{0.4, 4}, {0.6, 8}, {0.8, 12}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(observer.reports[i].first, expected[i].first);
        EXPECT_EQ(observer.reports[i].second, expected[i].second);
    }
}

TEST(ImageIterator, ReadWriteIteratorWritesOnlyTheRectangle) {
    // 2 x 3 RGB with alpha first, 3 samples of padding a row.
    std::vector<unsigned short> samples(std::size_t{3} * 11, 0xBEEF);
    PixelFormat format(image::colorModelRGB, 3, true);
    format.alphaLast = 0;
    Image<unsigned short> img(samples.data(), {0, 0, 2, 3}, 22, format);
    Image<unsigned short>::LeftToRightTopToBottomIterator it(img);
    EXPECT_EQ(it.format().firstColorIndex(), 1U);
    for (it.begin({1, 0, 2, 3}, nullptr, 0.0, 1.0); it.valid(); it.next()) {
        it.pixel()[it.format().firstColorIndex()] = static_cast<unsigned short>(it.y());
    }
    for (std::size_t row = 0; row < 3; ++row) {
        const unsigned short* r = samples.data() + 11 * row;
        std::vector<unsigned short> line(11, 0xBEEF);
        line[5] = static_cast<unsigned short>(row);
        EXPECT_EQ(std::vector<unsigned short>(r, r + 11), line);
    }
}

} // namespace
