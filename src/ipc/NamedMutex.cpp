#include "ipc/NamedMutex.h"

#include "ipc/Errors.h"
#include "platform/MutexObject.h"

#include <stdexcept>

namespace ipc {

NamedMutex::NamedMutex(CreateMode, const std::string& name) : handle_(platform::createMutex(name)) {
    if (!handle_) {
        throw std::runtime_error(errors::cannotCreateNamedMutex);
    }
}

NamedMutex::NamedMutex(OpenMode, const std::string& name) : handle_(platform::openMutex(name)) {
    if (!handle_) {
        throw std::runtime_error(errors::cannotOpenNamedMutex);
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
