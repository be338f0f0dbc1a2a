#include "PlatformTestSupport.h"

#include "PeerProtocol.h"

#include "platform/Process.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace testing_support {

std::shared_ptr<platform::Process> startPeer(std::initializer_list<std::string> words) {
    std::string arguments;
    for (const std::string& word : words) {
        if (!arguments.empty()) {
            arguments += ' ';
        }
        arguments += word;
    }
    return startHelper(peer::program, arguments);
}

std::string regionText(platform::SharedRegion& region, std::size_t offset) {
    if (offset >= region.size()) {
        return {};
    }
    unsigned char* begin = region.data() + offset;
    unsigned char* end = std::find(begin, region.data() + region.size(), '\0');
    return {begin, end};
}

bool allZero(platform::SharedRegion& region) {
    return std::all_of(region.data(), region.data() + region.size(),
                       [](unsigned char byte) { return byte == 0; });
}

std::unique_ptr<platform::EventObject> makeEvent(const std::string& name) {
    auto event = platform::createEvent(name);
    EXPECT_NE(event, nullptr) << "cannot create event " << name;
    return event;
}

} // namespace testing_support
