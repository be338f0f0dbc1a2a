#include "platform/Shortcut.h"

#include <cerrno>

#include <unistd.h>

namespace platform {

// A shortcut here is a symbolic link to the target: launching the link's path
// runs the target. Like saving a shortcut, it replaces an existing file.
bool createShortcut(const std::string& linkPath, const std::string& targetPath) {
    if (::unlink(linkPath.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    return ::symlink(targetPath.c_str(), linkPath.c_str()) == 0;
}

} // namespace platform
