#include "ipc/NamedCondition.h"

#include "ipc/Errors.h"
#include "ipc/IMutex.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/InterProcessException.h"
#include "ipc/NamedMutex.h"
#include "platform/EventObject.h"

namespace ipc {

namespace {

const char* const signalEventSuffix = "_signalEvent";
const char* const waitersLockSuffix = "_waitersCountLock";

std::uint32_t* waitersWord(IPCMemoryBuffer& buffer) {
    if (!buffer.contains(0, sizeof(std::uint32_t))) {
        throw InterProcessException(errors::cannotMapView);
    }
    return reinterpret_cast<std::uint32_t*>(buffer.data());
}

} // namespace

NamedCondition::NamedCondition(CreateMode, const std::string& name)
    : counterBuffer_(std::make_unique<IPCMemoryBuffer>(create, name, std::string(),
                                                       static_cast<int>(sizeof(std::uint32_t)),
                                                       UniqueSuffix::none)),
      waiters_(waitersWord(*counterBuffer_)) {
    *waiters_ = 0;
    std::string failure;
    signalEvent_ = platform::createEvent(name + signalEventSuffix, &failure);
    if (!signalEvent_) {
        throw InterProcessException(errors::withReason(errors::errorCreatingEvent, failure));
    }
    waitersLock_ = std::make_unique<NamedMutex>(create, name + waitersLockSuffix);
}

NamedCondition::NamedCondition(OpenMode, const std::string& name)
    : counterBuffer_(std::make_unique<IPCMemoryBuffer>(open, name)),
      waiters_(waitersWord(*counterBuffer_)) {
    std::string failure;
    signalEvent_ = platform::createEvent(name + signalEventSuffix, &failure);
    if (!signalEvent_) {
        throw InterProcessException(errors::withReason(errors::errorOpeningEvent, failure));
    }
    waitersLock_ = std::make_unique<NamedMutex>(open, name + waitersLockSuffix);
}

NamedCondition::~NamedCondition() = default;

void NamedCondition::timed_wait(IMutex& held, unsigned timeoutMs) {
    // Whatever fails in here, `held` is released when the exception leaves.
    try {
        waitersLock_->lock();
    } catch (...) {
        held.unlock();
        throw;
    }
    ++*waiters_;
    waitersLock_->unlock();

    held.unlock();
    const platform::WaitResult result = signalEvent_->wait(timeoutMs);

    // A waiters lock that cannot be had leaves us counted; the word only
    // ever tells how many wait, and nothing here acts on it.
    waitersLock_->lock();
    --*waiters_;
    waitersLock_->unlock();

    if (result == platform::WaitResult::failed) {
        throw InterProcessException(errors::waitFailed);
    }
    held.lock();
}

void NamedCondition::notify_one() {
    signalEvent_->set();
}

void NamedCondition::closeEventForTest() {
    signalEvent_->close();
}

} // namespace ipc
