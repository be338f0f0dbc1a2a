#include "platform/Environment.h"

#include <cstdlib>

namespace platform {

// The environment is changed by hosts and tests before they start the threads
// or programs that read it; nothing here runs concurrently with such a change.

bool setEnvironmentVariable(const std::string& name, const std::string& value) {
    if (value.empty()) {
        return ::unsetenv(name.c_str()) == 0; // NOLINT(concurrency-mt-unsafe)
    }
    return ::setenv(name.c_str(), value.c_str(), 1) == 0; // NOLINT(concurrency-mt-unsafe)
}

std::string environmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str()); // NOLINT(concurrency-mt-unsafe)
    return value != nullptr ? std::string(value) : std::string();
}

} // namespace platform
