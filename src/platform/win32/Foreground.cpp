#include "platform/Foreground.h"

#include <windows.h>

namespace platform {

bool allowSetForegroundWindow(std::uint32_t processId) {
    return ::AllowSetForegroundWindow(processId) != 0;
}

void bringWindowToFront(void* window) {
    if (window != nullptr) {
        ::SetForegroundWindow(static_cast<HWND>(window));
    }
}

} // namespace platform
