#include "ipc/NamedMutex.h"

#include "ipc/Errors.h"
#include "platform/MutexObject.h"

#include <stdexcept>

namespace ipc {

NamedMutex::NamedMutex(CreateMode, const std::string& name) {
    std::string failure;
    handle_ = platform::createMutex(name, &failure);
    if (!handle_) {
        throw std::runtime_error(errors::withReason(errors::cannotCreateNamedMutex, failure));
    }
}

NamedMutex::NamedMutex(OpenMode, const std::string& name) {
    std::string failure;
    handle_ = platform::openMutex(name, &failure);
    if (!handle_) {
        throw std::runtime_error(errors::withReason(errors::cannotOpenNamedMutex, failure));
    }
}

NamedMutex::~NamedMutex() = default;

void NamedMutex::lock() {
    handle_->lock();
}

void NamedMutex::unlock() {
    handle_->unlock();
}

} // namespace ipc
