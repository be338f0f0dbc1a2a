#include "platform/Foreground.h"

namespace platform {

bool allowSetForegroundWindow(std::uint32_t /*processId*/) {
    return true;
}

} // namespace platform
