#include "ipc/Mutex.h"

#include "ipc/Errors.h"
#include "ipc/NamedMutex.h"
#include "platform/MutexObject.h"

#include <stdexcept>
#include <string>

namespace ipc {

Mutex::Mutex() : handle_(platform::createMutex(std::string())) {
    if (!handle_) {
        throw std::runtime_error(errors::cannotCreateMutex);
    }
}

Mutex::~Mutex() = default;

void Mutex::lock() {
    lockOrThrow(*handle_, std::string());
}

void Mutex::unlock() {
    handle_->unlock();
}

} // namespace ipc
