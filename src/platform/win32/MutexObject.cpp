#include "platform/MutexObject.h"

#include "platform/win32/Handle.h"

namespace platform {

namespace {

class Win32Mutex final : public MutexObject {
public:
    explicit Win32Mutex(HANDLE handle) : handle_(handle) {}

    // WAIT_ABANDONED hands over the mutex of an owner that ended: acquired.
    // The kernel keeps the mutex's state, so no other process can put it in
    // a state it cannot be in, and the wait has no end, as with any mutex.
    LockOutcome lock() override {
        ::WaitForSingleObject(handle_.get(), INFINITE);
        return {};
    }
    void unlock() override { ::ReleaseMutex(handle_.get()); }

private:
    win32::Handle handle_;
};

std::unique_ptr<MutexObject> wrap(HANDLE handle) {
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32Mutex>(handle);
}

} // namespace

// An empty name makes an unnamed mutex.
std::unique_ptr<MutexObject> createMutex(const std::string& name, std::string* /*failure*/) {
    return wrap(::CreateMutexA(nullptr, FALSE, name.c_str()));
}

std::unique_ptr<MutexObject> openMutex(const std::string& name, std::string* /*failure*/) {
    return wrap(::OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
}

} // namespace platform
