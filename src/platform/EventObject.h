#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class WaitResult { signalled, timedOut, failed };

// A named auto-reset event: set() releases at most one wait, and a set with
// nobody waiting stays pending until the next wait consumes it.
class EventObject {
public:
    EventObject() = default;
    EventObject(const EventObject&) = delete;
    EventObject& operator=(const EventObject&) = delete;
    virtual ~EventObject() = default;

    virtual void set() = 0;
    virtual WaitResult wait(std::uint32_t timeoutMs) = 0;
    // Lets go of the object while the wrapper lives on: every later wait
    // fails, as a wait on a closed handle does.
    virtual void close() = 0;
};

// Creates the event, non-signalled, or opens the existing one of that name.
// Null when the system refuses (for example when the name belongs to an
// object of another kind), with the reason in `failure` when there is one to
// tell.
std::unique_ptr<EventObject> createEvent(const std::string& name, std::string* failure = nullptr);

} // namespace platform
