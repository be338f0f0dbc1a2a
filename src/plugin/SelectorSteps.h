#pragma once

// The steps of the filter selectors, each run by the entry point with the
// suites acquired and gFilterGlobals present.

#include "hostapi/FilterInterface.h"

namespace plugin {

// The memory limit that Prepare gives the host: 50 MiB.
inline constexpr hostapi::int32 kMaxSpaceLimit = 50 * 1024 * 1024;

// Nothing beyond what the entry point does for every selector.
hostapi::int16 Parameters();

// Refuses systems older than Windows 5.0 with a message box (result 1);
// otherwise caps the host's maxSpace at kMaxSpaceLimit, never raising it.
hostapi::int16 Prepare();

// The filter run. Not implemented yet: Start and Continue do nothing and
// return 0; Finish ends the invocation, deleting gFilterGlobals, clearing
// gFilterRecord and releasing the suites, and returns 0.
hostapi::int16 Start();
hostapi::int16 Continue();
hostapi::int16 Finish();

} // namespace plugin
