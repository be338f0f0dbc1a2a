#pragma once

#include <cstdint>

namespace platform {

// Whether the running system is at least Windows major.minor with that
// service pack, compared major first, then minor, then service pack.
//
// The POSIX backend has no Windows version of its own: it reads
// "major.minor[.servicePack]" from SOLVANTA_WINDOWS_VERSION (default 10.0.0),
// so that tests can play an old system.
bool systemVersionAtLeast(std::uint32_t major, std::uint32_t minor, std::uint16_t servicePackMajor);

} // namespace platform
