#pragma once

namespace ipc {

class IMutex {
public:
    IMutex() = default;
    IMutex(const IMutex&) = delete;
    IMutex& operator=(const IMutex&) = delete;

    // Blocks until the lock is ours. Throws std::runtime_error when it cannot
    // be had: a holder that is alive but never lets go, or a shared state
    // that no holder leaves (see platform::MutexObject).
    virtual void lock() = 0;
    virtual void unlock() = 0;
    virtual ~IMutex() = default;
};

// Holds a lock for a scope. A wait that fails inside the scope may have let
// go of the lock already; release() then tells the guard not to unlock again.
class ScopedLock {
public:
    explicit ScopedLock(IMutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;
    ~ScopedLock() {
        if (held_) {
            mutex_.unlock();
        }
    }
    void release() { held_ = false; }

private:
    IMutex& mutex_;
    bool held_ = true;
};

} // namespace ipc
