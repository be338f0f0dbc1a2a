#pragma once

#include "platform/Module.h"

#include <string>

namespace plugin_test {

// The plug-in library built beside the running test.
inline std::string pluginLibraryPath() {
    std::string self;
    if (!platform::moduleFileName(self, 4096)) {
        return SOLVANTA_PLUGIN_FILE;
    }
    return self.substr(0, self.rfind(platform::kPathSeparator) + 1) + SOLVANTA_PLUGIN_FILE;
}

} // namespace plugin_test
