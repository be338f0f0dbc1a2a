#pragma once

#include "ipc/IMutex.h"
#include "ipc/Modes.h"

#include <memory>
#include <string>

namespace platform {
class MutexObject;
}

namespace ipc {

// A mutex that two processes find by name.
class NamedMutex : public IMutex {
public:
    // Creates the mutex, not owned, or attaches to the existing one.
    NamedMutex(CreateMode, const std::string& name);
    // Attaches to an existing mutex.
    NamedMutex(OpenMode, const std::string& name);
    ~NamedMutex() override;

    void lock() override;
    void unlock() override;

private:
    std::unique_ptr<platform::MutexObject> handle_;
    std::string name_; // for the failure texts
};

// Locks `mutex`, or throws std::runtime_error saying why it cannot be had;
// `name` is empty for a private mutex.
void lockOrThrow(platform::MutexObject& mutex, const std::string& name);

} // namespace ipc
