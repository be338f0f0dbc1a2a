#pragma once

#include "ipc/IMutex.h"

#include <memory>

namespace platform {
class MutexObject;
}

namespace ipc {

// A lock private to this process, with the interface of the named one.
class Mutex : public IMutex {
public:
    Mutex();
    ~Mutex() override;

    void lock() override;
    void unlock() override;

private:
    std::unique_ptr<platform::MutexObject> handle_;
};

} // namespace ipc
