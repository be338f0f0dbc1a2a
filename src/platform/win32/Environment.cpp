#include "platform/Environment.h"

#include <windows.h>

#include <vector>

namespace platform {

bool setEnvironmentVariable(const std::string& name, const std::string& value) {
    return SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) != 0;
}

std::string environmentVariable(const std::string& name) {
    const DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
        return std::string();
    }
    std::vector<char> buffer(needed);
    const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), needed);
    return length < needed ? std::string(buffer.data(), length) : std::string();
}

} // namespace platform
