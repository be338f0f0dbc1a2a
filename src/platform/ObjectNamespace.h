#pragma once

#include <string>
#include <vector>

namespace platform {

// Named kernel objects of ours that the system still holds although no
// process uses them any more. On Windows the kernel removes an object with
// its last handle, so the list is always empty there; the POSIX backend first
// removes what it can prove abandoned and reports what remains of ours.
std::vector<std::string> leftoverObjects();

} // namespace platform
