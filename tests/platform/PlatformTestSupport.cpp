#include "PlatformTestSupport.h"

#include "PeerProtocol.h"
#include "TestSupport.h"

#include "platform/Process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform_testing {

std::shared_ptr<platform::Process> startPeer(std::initializer_list<std::string> words) {
    std::string arguments;
    for (const std::string& word : words) {
        if (!arguments.empty()) {
            arguments += ' ';
        }
        arguments += word;
    }
    return testing_support::startHelper(peer::program, arguments);
}

Watchdog::Watchdog(std::uint32_t timeoutMs, std::string what)
    : thread_([this, timeoutMs, what = std::move(what)] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!disarmed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return done_; })) {
              std::fprintf(stderr, "FAILED: %s did not return within %u ms\n", what.c_str(),
                           timeoutMs);
              std::fflush(stderr);
              std::_Exit(EXIT_FAILURE);
          }
      }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    disarmed_.notify_all();
    thread_.join();
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

} // namespace platform_testing
