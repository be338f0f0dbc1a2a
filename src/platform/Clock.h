#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32.
std::uint32_t tickCount();

} // namespace platform
