#pragma once

#include <memory>
#include <string>

namespace platform {

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

    // Blocks without a time-out.
    virtual void lock() = 0;
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
