#include "platform/Clock.h"

#include <windows.h>

namespace platform {

std::uint32_t tickCount() {
    return ::GetTickCount();
}

} // namespace platform
