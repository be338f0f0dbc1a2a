#pragma once

// Host properties through which a test steers the test filter, and the keys
// under which the filter reports back (descriptor keys and property sets).

#include "hostapi/FilterInterface.h"

namespace test_filter {

using hostapi::fourCharCode;

// Steering (simple properties unless noted).
inline constexpr hostapi::uint32 bigCoordinates = fourCharCode("tfbg");
inline constexpr hostapi::uint32 tileSize = fourCharCode("tfts");
// Pixels through nested advanceState calls inside one Continue, instead of
// one tile per Continue.
inline constexpr hostapi::uint32 nestedAdvance = fourCharCode("tfad");
inline constexpr hostapi::uint32 startResult = fourCharCode("tfss");
// Show a message box in Start with the UTF-8 text of complex property
// messageText.
inline constexpr hostapi::uint32 showMessage = fourCharCode("tfmb");
inline constexpr hostapi::uint32 messageText = fourCharCode("tfmt");
// Clear autoMask, ask for the mask and blend by it itself.
inline constexpr hostapi::uint32 ownMasking = fourCharCode("tfom");
// Draw two pixels through displayPixels and report them.
inline constexpr hostapi::uint32 displayCheck = fourCharCode("tfdp");

// Reports.
inline constexpr hostapi::uint32 displayedPixels = fourCharCode("tfdr");
inline constexpr hostapi::uint32 runCount = fourCharCode("TFrn");
inline constexpr hostapi::uint32 documentName = fourCharCode("TFnm");
inline constexpr hostapi::uint32 playInProgress = fourCharCode("TFpl");
inline constexpr hostapi::uint32 handleSuiteWorked = fourCharCode("TFhs");
inline constexpr hostapi::uint32 registryIntensity = fourCharCode("TFri");
inline constexpr hostapi::uint32 intensity = fourCharCode("Intn");

inline constexpr const char* registryInKey = "test_filter.in";
inline constexpr const char* registryOutKey = "test_filter.out";
inline constexpr const char* registryEraseKey = "test_filter.erase";

} // namespace test_filter
