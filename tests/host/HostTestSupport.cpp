#include "HostTestSupport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace host_testing {

std::string testFilterPath() {
    return testing_support::besideTest(TEST_FILTER_FILE);
}

void loadTestFilter(host::FilterHost& host) {
    std::string error;
    ASSERT_TRUE(host.loadPlugin(testFilterPath(), error)) << error;
}

hostapi::Rect shortRect(int left, int top, int right, int bottom) {
    return hostapi::Rect{static_cast<hostapi::int16>(top), static_cast<hostapi::int16>(left),
                         static_cast<hostapi::int16>(bottom), static_cast<hostapi::int16>(right)};
}

std::uint32_t patternValue(int x, int y, int plane, std::uint32_t maxValue) {
    return static_cast<std::uint32_t>(x * 7 + y * 13 + plane * 29) % (maxValue + 1);
}

host::Document patternDocument(host::ColorMode mode, int depth, int width, int height) {
    host::Document document(mode, depth, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int p = 0; p < document.planes(); ++p) {
                document.setSample(x, y, p, patternValue(x, y, p, document.maxValue()));
            }
        }
    }
    return document;
}

} // namespace host_testing
