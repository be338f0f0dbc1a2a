#pragma once

#include <string>

namespace platform {

// Makes a shortcut file at `linkPath` that starts `targetPath` when it is
// launched. For installers and tests.
bool createShortcut(const std::string& linkPath, const std::string& targetPath);

} // namespace platform
