#include "image/Convert16To8Span.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Variant = image::Convert16To8Variant;

// The rule, written out independently of the library: round to nearest, and
// inputs above full scale (outside the host's range) saturate.
std::uint8_t rule(std::uint32_t v) {
    return v > 32768 ? 255 : static_cast<std::uint8_t>((v * 255 + 16384) >> 15);
}

constexpr std::uint8_t guard = 0xC3;
constexpr std::size_t guardBytes = 32;

class Convert16To8Span : public testing::TestWithParam<Variant> {
protected:
    void SetUp() override {
        if (GetParam().needsAvx2 && !image::cpuHasAvx2()) {
            GTEST_SKIP() << "this processor has no AVX2";
        }
    }

    // Converts `input` from a source shifted by `sourceOffset` samples into a
    // destination shifted by `destinationOffset` bytes, and checks every
    // output and the untouched guard bytes on both sides.
    void check(const std::vector<std::uint16_t>& input, std::size_t sourceOffset,
               std::size_t destinationOffset) {
        std::vector<std::uint16_t> source(sourceOffset + input.size());
        std::copy(input.begin(), input.end(),
                  source.begin() + static_cast<std::ptrdiff_t>(sourceOffset));
        std::vector<std::uint8_t> destination(destinationOffset + input.size() + guardBytes, guard);
        GetParam().convert(source.data() + sourceOffset, destination.data() + destinationOffset,
                           input.size());
        for (std::size_t i = 0; i < destination.size(); ++i) {
            const bool inSpan = i >= destinationOffset && i < destinationOffset + input.size();
            const std::uint8_t expected = inSpan ? rule(input[i - destinationOffset]) : guard;
            if (destination[i] != expected) {
                FAIL() << "length " << input.size() << ", source offset " << sourceOffset
                       << ", destination offset " << destinationOffset << ": byte " << i << " is "
                       << int{destination[i]} << ", expected " << int{expected};
            }
        }
    }
};

TEST_P(Convert16To8Span, HostRangeExamples) {
    // Repeated so that the vector steps see them too.
    std::vector<std::uint16_t> source;
    std::vector<std::uint8_t> expected;
    for (int repeat = 0; repeat < 5; ++repeat) {
        source.insert(source.end(), {32768, 16384, 128, 127, 64, 0, 65535});
        expected.insert(expected.end(), {255, 128, 1, 1, 0, 0, 255});
    }
    std::vector<std::uint8_t> destination(source.size());
    GetParam().convert(source.data(), destination.data(), source.size());
    EXPECT_EQ(destination, expected);
}

TEST_P(Convert16To8Span, EveryInputAtEveryAlignment) {
    // All of 0..65535: the host's range must match the rule exactly, and the
    // rest must not crash and must saturate like the scalar rule.
    std::vector<std::uint16_t> every(65536);
    for (std::size_t v = 0; v < every.size(); ++v) {
        every[v] = static_cast<std::uint16_t>(v);
    }
    for (std::size_t sourceOffset = 0; sourceOffset < 16; ++sourceOffset) {
        for (std::size_t destinationOffset = 0; destinationOffset < 32; ++destinationOffset) {
            check(every, sourceOffset, destinationOffset);
            if (HasFatalFailure()) {
                return;
            }
        }
    }
}

TEST_P(Convert16To8Span, ShortSpansAndTails) {
    std::vector<std::uint16_t> input;
    for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t sourceOffset = 0; sourceOffset < 16; ++sourceOffset) {
            for (std::size_t destinationOffset = 0; destinationOffset < 32; ++destinationOffset) {
                check(input, sourceOffset, destinationOffset);
                if (HasFatalFailure()) {
                    return;
                }
            }
        }
        // Values spread over the host's range.
        input.push_back(static_cast<std::uint16_t>((length * 16513 + 64) % 32769));
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, Convert16To8Span, testing::ValuesIn(image::convert16To8Variants),
                         [](const testing::TestParamInfo<Variant>& param) {
                             return std::string(param.param.name);
                         });

TEST(Convert16To8SpanDispatch, InPlaceConversionReadsEachSampleBeforeItIsOverwritten) {
    std::vector<std::uint16_t> block(100);
    std::vector<std::uint8_t> expected(block.size());
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint16_t>(i * 331);
        expected[i] = rule(block[i]);
    }
    auto* bytes = reinterpret_cast<std::uint8_t*>(block.data());
    image::convert16To8Span(block.data(), bytes, block.size());
    EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + block.size()), expected);
}

} // namespace
