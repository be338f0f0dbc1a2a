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

// The filter run. Start connects to the server (attaching to a kept one in
// the automatic new-layer pass), sends it the host, the document and the
// settings, and in an interactive run waits behind the dialog while the user
// edits; it leaves the host one pixel to deliver. Continue lets the server
// render into the layer and clears every request. Finish records the
// settings, keeps or ends the server, deletes gFilterGlobals, clears
// gFilterRecord, releases the suites and returns gLastResult.
hostapi::int16 Start();
hostapi::int16 Continue();
hostapi::int16 Finish();

} // namespace plugin
