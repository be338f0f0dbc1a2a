#pragma once

#include "platform/EventObject.h"
#include "platform/MutexObject.h"
#include "platform/SharedRegion.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {
class Process;
}

namespace platform_testing {

// Starts platform_peer with a command and its arguments, separated by blanks.
std::shared_ptr<platform::Process> startPeer(std::initializer_list<std::string> words);

// Ends the whole test program with a message when a call that blocks without
// a time-out (a mutex lock) has not returned in time, so that a bug fails the
// run instead of hanging it.
class Watchdog {
public:
    Watchdog(std::uint32_t timeoutMs, std::string what);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog();

private:
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool done_ = false;
    std::thread thread_;
};

using Clock = std::chrono::steady_clock;

inline long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The NUL-terminated text at the start of a region.
std::string regionText(platform::SharedRegion& region, std::size_t offset = 0);

bool allZero(platform::SharedRegion& region);

// A named event the test creates before starting a peer that sets it.
std::unique_ptr<platform::EventObject> makeEvent(const std::string& name);

inline bool locked(const platform::LockOutcome& outcome) {
    return outcome.status == platform::LockStatus::acquired;
}

} // namespace platform_testing
