#pragma once

// What the platform tests share beside the common support: platform_peer,
// the second process, and views of the objects it leaves.

#include "TestSupport.h"

#include "platform/EventObject.h"
#include "platform/MutexObject.h"
#include "platform/SharedRegion.h"

#include <initializer_list>
#include <memory>
#include <string>

namespace testing_support {

// Starts platform_peer with a command and its arguments, separated by blanks.
std::shared_ptr<platform::Process> startPeer(std::initializer_list<std::string> words);

// The NUL-terminated text at the start of a region.
std::string regionText(platform::SharedRegion& region, std::size_t offset = 0);

bool allZero(platform::SharedRegion& region);

// A named event the test creates before starting a peer that sets it.
std::unique_ptr<platform::EventObject> makeEvent(const std::string& name);

inline bool locked(const platform::LockOutcome& outcome) {
    return outcome.status == platform::LockStatus::acquired;
}

} // namespace testing_support
