#pragma once

#include <cstdint>

namespace platform {

// Lets the process `processId` bring its own window to the front the next
// time it asks, which the system otherwise refuses to a process that is not
// in the foreground. Without windows (POSIX) there is nothing to allow and
// the call succeeds.
bool allowSetForegroundWindow(std::uint32_t processId);

// Brings `window` (a native window handle) to the front and gives it the
// keyboard focus, as far as the system lets this process. Null, or no
// windows at all (POSIX), does nothing.
void bringWindowToFront(void* window);

} // namespace platform
