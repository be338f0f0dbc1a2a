#pragma once

#include <string>

namespace platform {

// Sets a variable of this process's environment, which programs it starts
// inherit. An empty value removes the variable.
bool setEnvironmentVariable(const std::string& name, const std::string& value);

// The variable's value, or an empty string when it is not set.
std::string environmentVariable(const std::string& name);

} // namespace platform
