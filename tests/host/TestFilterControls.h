#pragma once

// Host properties through which a test steers the test filter (simple
// properties), and the key under which it records its run count.

#include "hostapi/FilterInterface.h"

namespace test_filter {

using hostapi::fourCharCode;

inline constexpr hostapi::uint32 tileSize = fourCharCode("tfts");
inline constexpr hostapi::uint32 startResult = fourCharCode("tfss");

inline constexpr hostapi::uint32 runCount = fourCharCode("TFrn");

} // namespace test_filter
