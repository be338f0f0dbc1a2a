// Throughput of the 16 -> 8 conversion: GB/s of 16-bit input for each span
// variant and for a whole interleaved image, against memcpy of the same input
// bytes in the same run. Every destination is written before timing: first-
// touch page faults would otherwise dominate the first pass. A second, cache-
// resident size shows what the variants cost when memory is not the limit.

#include "image/Convert16To8Span.h"
#include "image/DepthConversion.h"
#include "image/Image.h"
#include "image/PixelFormat.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int repetitions = 15;

struct Figures {
    double median;
    double slowest;
    double fastest;
};

// GB/s of input over the repetitions of `passes` calls of `run`, after one
// untimed pass.
Figures measure(std::size_t bytes, int passes, const std::function<void()>& run) {
    run();
    std::vector<double> rates;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int p = 0; p < passes; ++p) {
            run();
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        rates.push_back(static_cast<double>(bytes) * passes / elapsed.count() / 1e9);
    }
    std::sort(rates.begin(), rates.end());
    return {rates[rates.size() / 2], rates.front(), rates.back()};
}

void print(const char* name, const Figures& f, double memcpyMedian) {
    std::printf("  %-32s %7.2f GB/s  (min %6.2f, max %6.2f, spread %5.1f%%)  %5.2fx memcpy\n", name,
                f.median, f.slowest, f.fastest, 100.0 * (f.fastest - f.slowest) / f.median,
                f.median / memcpyMedian);
}

// One table: memcpy and every variant over `inputBytes` of 16-bit samples.
// Returns the number of variants whose output differs from the scalar rule.
int spanTable(std::size_t inputBytes, int passes) {
    const std::size_t samples = inputBytes / sizeof(std::uint16_t);
    std::vector<std::uint16_t> input(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        input[i] = static_cast<std::uint16_t>((i * 7919) % 32769);
    }
    std::vector<std::uint8_t> copyTarget(inputBytes, 1);
    std::vector<std::uint8_t> converted(samples, 1);
    std::vector<std::uint8_t> reference(samples, 2);
    image::convert16To8Span_scalar(input.data(), reference.data(), samples);

    std::printf("%zu KiB of 16-bit input, %d x %d passes:\n", inputBytes >> 10, repetitions,
                passes);
    const Figures copy = measure(inputBytes, passes,
                                 [&] { std::memcpy(copyTarget.data(), input.data(), inputBytes); });
    print("memcpy", copy, copy.median);
    int failures = 0;
    for (const image::Convert16To8Variant& v : image::convert16To8Variants) {
        if (v.needsAvx2 && !image::cpuHasAvx2()) {
            std::printf("  %-32s skipped: no AVX2\n", v.name);
            continue;
        }
        std::fill(converted.begin(), converted.end(), 0);
        const Figures f = measure(inputBytes, passes,
                                  [&] { v.convert(input.data(), converted.data(), samples); });
        print(v.name, f, copy.median);
        if (converted != reference) {
            std::printf("  %s differs from the scalar rule\n", v.name);
            ++failures;
        }
    }
    return failures;
}

// The record-level conversion of an RGB image of at least `inputBytes`, row
// by row, against memcpy of its rows.
void imageTable(std::size_t inputBytes) {
    const image::PixelFormat rgb(image::colorModelRGB, 3, false);
    const std::int32_t width = 4096;
    const auto height = static_cast<std::int32_t>(inputBytes / (std::size_t{width} * 3 * 2));
    // Allocation zeroes the blocks, which also touches their pages.
    image::Image<unsigned short> source({0, 0, width, height}, rgb);
    image::Image<unsigned char> destination({0, 0, width, height}, rgb);
    const std::size_t sourceBytes = static_cast<std::size_t>(source.rowBytes) * height;
    std::vector<unsigned char> copyTarget(sourceBytes, 1);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width * 3; ++x) {
            source.pixel(0, y)[x] = static_cast<unsigned short>((x * 7919U + y) % 32769U);
        }
    }
    std::printf("%d x %d RGB image, %zu KiB of 16-bit input, %d passes:\n", width, height,
                sourceBytes >> 10, repetitions);
    const Figures copy =
        measure(sourceBytes, 1, [&] { std::memcpy(copyTarget.data(), source.data, sourceBytes); });
    print("memcpy", copy, copy.median);
    print("convert16To8",
          measure(sourceBytes, 1, [&] { image::convert16To8(source, destination); }), copy.median);
}

} // namespace

int main() {
    std::printf(
        "16 -> 8 conversion, GB/s of 16-bit input, median of %d runs; dispatch picks %s\n\n",
        repetitions, image::cpuHasAvx2() ? "AVX2" : "SSE2");
    int failures = spanTable(std::size_t{64} << 20, 1);
    std::printf("\n");
    failures += spanTable(std::size_t{256} << 10, 200);
    std::printf("\n");
    imageTable(std::size_t{64} << 20);
    return failures == 0 ? 0 : 1;
}
