#include "platform/EventObject.h"

#include "platform/win32/Handle.h"

namespace platform {

namespace {

class Win32Event final : public EventObject {
public:
    explicit Win32Event(HANDLE handle) : handle_(handle) {}

    void set() override {
        if (handle_) {
            ::SetEvent(handle_.get());
        }
    }

    WaitResult wait(std::uint32_t timeoutMs) override {
        // A closed handle's value may already name another object, so it is
        // never waited on.
        if (!handle_) {
            return WaitResult::failed;
        }
        switch (::WaitForSingleObject(handle_.get(), timeoutMs)) {
        case WAIT_OBJECT_0:
            return WaitResult::signalled;
        case WAIT_TIMEOUT:
            return WaitResult::timedOut;
        default:
            return WaitResult::failed;
        }
    }

    void close() override { handle_.reset(); }

private:
    win32::Handle handle_; // null once closed
};

} // namespace

std::unique_ptr<EventObject> createEvent(const std::string& name, std::string* /*failure*/) {
    HANDLE handle = ::CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32Event>(handle);
}

} // namespace platform
