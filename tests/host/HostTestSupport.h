#pragma once

#include "host/FilterHost.h"
#include "hostapi/FilterInterface.h"

#include <string>

namespace host_testing {

// The test filter library beside the running test.
std::string testFilterPath();

// Loads the test filter into the host (the test fails when it cannot).
void loadTestFilter(host::FilterHost& host);

// A suite table as the plug-in would acquire it; null when refused.
template <typename Suite> const Suite* acquire(host::FilterHost& host) {
    const void* table = nullptr;
    if (host.basicSuite()->AcquireSuite(Suite::suiteName, Suite::suiteVersion, &table) != 0) {
        return nullptr;
    }
    return static_cast<const Suite*>(table);
}

// A rectangle for the filter record's 16-bit fields, from left, top, right
// and bottom.
hostapi::Rect shortRect(int left, int top, int right, int bottom);

// A document whose samples tell where they are: plane p of pixel (x, y)
// holds (x * 7 + y * 13 + p * 29) mod (max + 1).
host::Document patternDocument(host::ColorMode mode, int depth, int width, int height);
std::uint32_t patternValue(int x, int y, int plane, std::uint32_t maxValue);

} // namespace host_testing
