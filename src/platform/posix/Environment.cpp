#include "platform/Environment.h"

#include <cstdlib>

namespace platform {

bool setEnvironmentVariable(const std::string& name, const std::string& value) {
    if (value.empty()) {
        return ::unsetenv(name.c_str()) == 0;
    }
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string environmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace platform
