#pragma once

#include "ipc/Modes.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class EventObject;
}

namespace ipc {

class IMutex;
class IPCMemoryBuffer;
class NamedMutex;

// A condition variable that two processes find by name N: an auto-reset event
// N + "_signalEvent", a lock N + "_waitersCountLock" and, in the 4-byte
// payload of the region N, the number of threads waiting.
class NamedCondition {
public:
    NamedCondition(CreateMode, const std::string& name);
    NamedCondition(OpenMode, const std::string& name);
    NamedCondition(const NamedCondition&) = delete;
    NamedCondition& operator=(const NamedCondition&) = delete;
    ~NamedCondition();

    // The caller holds `held`. Returns after a signal or the time-out, without
    // telling which, with `held` locked again; callers re-check their state.
    // A failed wait throws and leaves `held` released.
    void timed_wait(IMutex& held, unsigned timeoutMs);
    // Releases one waiter, or the next wait when nobody waits now.
    void notify_one();

    // For tests: lets go of the event, as a closed handle does.
    void closeEventForTest();

private:
    std::unique_ptr<IPCMemoryBuffer> counterBuffer_;
    std::unique_ptr<platform::EventObject> signalEvent_;
    std::unique_ptr<NamedMutex> waitersLock_;
    std::uint32_t* waiters_ = nullptr;
};

} // namespace ipc
