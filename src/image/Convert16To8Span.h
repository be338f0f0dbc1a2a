#pragma once

#include "image/SampleScaling.h"

#include <cstddef>
#include <cstdint>

namespace image {

// Span variants: `count` samples from `source` to `destination`, which must not
// overlap. The vector variants take sixteen samples per step and finish the
// remainder with the scalar rule; the AVX2 one may only run where
// cpuHasAvx2() holds. They are exposed so that tests and benchmarks can hold
// each one to the scalar rule.
void convert16To8Span_scalar(const std::uint16_t* source, std::uint8_t* destination,
                             std::size_t count);
void convert16To8Span_sse2(const std::uint16_t* source, std::uint8_t* destination,
                           std::size_t count);
void convert16To8Span_avx2(const std::uint16_t* source, std::uint8_t* destination,
                           std::size_t count);

bool cpuHasAvx2();

// Picks the widest variant this processor runs; overlapping or short spans go
// through the scalar loop, front to back.
void convert16To8Span(const std::uint16_t* source, std::uint8_t* destination, std::size_t count);

using Convert16To8SpanFunction = void (*)(const std::uint16_t*, std::uint8_t*, std::size_t);

struct Convert16To8Variant {
    const char* name;
    Convert16To8SpanFunction convert;
    bool needsAvx2;
};

// Every span variant, the run-time choice last.
inline constexpr Convert16To8Variant convert16To8Variants[] = {
    {"scalar", convert16To8Span_scalar, false},
    {"sse2", convert16To8Span_sse2, false},
    {"avx2", convert16To8Span_avx2, true},
    {"dispatch", convert16To8Span, false},
};

} // namespace image
