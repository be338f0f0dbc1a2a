#pragma once

#include <string>
#include <vector>

namespace platform {

// Named kernel objects of ours that the system still holds. On Windows the
// kernel removes an object with its last handle, so the list is always empty
// there; the POSIX backend first removes every object that no live process
// holds and then lists what remains, objects of running processes included.
std::vector<std::string> leftoverObjects();

} // namespace platform
