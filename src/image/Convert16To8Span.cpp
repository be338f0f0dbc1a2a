#include "image/Convert16To8Span.h"

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace image {

namespace {

constexpr std::size_t vectorStep = 16;

// (v * 255 + 2^14) >> 15 is t = floor(v * 255 / 2^14) halved, halves rounding up:
// the high half of v * 1020 followed by an average with zero. Both steps are
// exact for every 16-bit input, and the result stays below 511, so the signed
// pack that follows saturates anything above the host's range to 255, as the
// scalar rule does.
__attribute__((target("sse2"))) __m128i round16To8Sse2(__m128i samples) {
    const __m128i quarterSteps = _mm_mulhi_epu16(samples, _mm_set1_epi16(1020));
    return _mm_avg_epu16(quarterSteps, _mm_setzero_si128());
}

__attribute__((target("avx2"))) __m256i round16To8Avx2(__m256i samples) {
    const __m256i quarterSteps = _mm256_mulhi_epu16(samples, _mm256_set1_epi16(1020));
    return _mm256_avg_epu16(quarterSteps, _mm256_setzero_si256());
}

bool overlaps(const std::uint16_t* source, const std::uint8_t* destination, std::size_t count) {
    const auto sourceBegin = reinterpret_cast<std::uintptr_t>(source);
    const auto destinationBegin = reinterpret_cast<std::uintptr_t>(destination);
    return destinationBegin < sourceBegin + count * sizeof(std::uint16_t) &&
           sourceBegin < destinationBegin + count;
}

using SpanConversion = void (*)(const std::uint16_t*, std::uint8_t*, std::size_t);

SpanConversion widestVariant() {
    static const SpanConversion chosen =
        cpuHasAvx2() ? convert16To8Span_avx2 : convert16To8Span_sse2;
    return chosen;
}

} // namespace

void convert16To8Span_scalar(const std::uint16_t* source, std::uint8_t* destination,
                             std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        destination[i] = convert16To8Sample(source[i]);
    }
}

__attribute__((target("sse2"))) void
convert16To8Span_sse2(const std::uint16_t* source, std::uint8_t* destination, std::size_t count) {
    std::size_t i = 0;
    for (; i + vectorStep <= count; i += vectorStep) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 8));
        const __m128i packed = _mm_packus_epi16(round16To8Sse2(low), round16To8Sse2(high));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
    }
    convert16To8Span_scalar(source + i, destination + i, count - i);
}

__attribute__((target("avx2"))) void
convert16To8Span_avx2(const std::uint16_t* source, std::uint8_t* destination, std::size_t count) {
    std::size_t i = 0;
    for (; i + vectorStep <= count; i += vectorStep) {
        const __m256i rounded =
            round16To8Avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i)));
        // The 256-bit pack works within 128-bit lanes; packing the two halves
        // as 128-bit vectors keeps the samples in order.
        const __m128i packed =
            _mm_packus_epi16(_mm256_castsi256_si128(rounded), _mm256_extracti128_si256(rounded, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), packed);
    }
    convert16To8Span_scalar(source + i, destination + i, count - i);
}

bool cpuHasAvx2() {
    // Checks the operating system's support for the wide registers as well.
    return __builtin_cpu_supports("avx2") != 0;
}

void convert16To8Span(const std::uint16_t* source, std::uint8_t* destination, std::size_t count) {
    if (count < vectorStep || overlaps(source, destination, count)) {
        convert16To8Span_scalar(source, destination, count);
        return;
    }
    widestVariant()(source, destination, count);
}

} // namespace image
