#include "ipc/NamedMutex.h"

#include "ipc/Errors.h"
#include "platform/MutexObject.h"

#include <stdexcept>

namespace ipc {

NamedMutex::NamedMutex(CreateMode, const std::string& name) : name_(name) {
    std::string failure;
    handle_ = platform::createMutex(name, &failure);
    if (!handle_) {
        throw std::runtime_error(errors::withReason(errors::cannotCreateNamedMutex, failure));
    }
}

NamedMutex::NamedMutex(OpenMode, const std::string& name) : name_(name) {
    std::string failure;
    handle_ = platform::openMutex(name, &failure);
    if (!handle_) {
        throw std::runtime_error(errors::withReason(errors::cannotOpenNamedMutex, failure));
    }
}

NamedMutex::~NamedMutex() = default;

void NamedMutex::lock() {
    lockOrThrow(*handle_, name_);
}

void NamedMutex::unlock() {
    handle_->unlock();
}

void lockOrThrow(platform::MutexObject& mutex, const std::string& name) {
    const platform::LockOutcome outcome = mutex.lock();
    const std::string named = name.empty() ? std::string() : ": " + name;
    switch (outcome.status) {
    case platform::LockStatus::acquired:
        return;
    case platform::LockStatus::heldTooLong:
        throw std::runtime_error(errors::lockHeldTooLong + std::to_string(outcome.holder) + named);
    case platform::LockStatus::impossibleState:
        break;
    }
    throw std::runtime_error(errors::lockStateImpossible + named);
}

} // namespace ipc
