#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class LockStatus {
    acquired,
    heldTooLong,     // another process held it for the whole patience of the lock
    impossibleState, // its shared state is one that no holder leaves
};

struct [[nodiscard]] LockOutcome {
    LockStatus status = LockStatus::acquired;
    std::uint32_t holder = 0; // the process that held it, for heldTooLong
};

// A mutex kernel object. Named ones are shared by every process of the user
// that names them; an unnamed one is private to its process. Like a Windows
// mutex it is recursive for the thread that owns it, and a mutex whose owner
// ended without releasing it is acquired by the next lock.
class MutexObject {
public:
    MutexObject() = default;
    MutexObject(const MutexObject&) = delete;
    MutexObject& operator=(const MutexObject&) = delete;
    virtual ~MutexObject() = default;

    // Blocks until the mutex is ours. On Windows that wait has no end; the
    // POSIX backend, whose mutexes live in memory that any process of the
    // user can write, gives up on a holder that is alive but never lets go,
    // and refuses a state that no holder could have left.
    virtual LockOutcome lock() = 0;
    // Releases one lock of the owning thread; from any other thread it does
    // nothing.
    virtual void unlock() = 0;
};

// Creates the mutex, not owned, or opens the existing one of that name. An
// empty name makes a process-private mutex. Null when the system refuses,
// with the reason in `failure` when there is one to tell.
std::unique_ptr<MutexObject> createMutex(const std::string& name, std::string* failure = nullptr);

// Opens an existing named mutex. Null when no mutex of that name exists, or
// when the system refuses (with the reason in `failure`).
std::unique_ptr<MutexObject> openMutex(const std::string& name, std::string* failure = nullptr);

} // namespace platform
