#pragma once

#include <string>

namespace platform {

// String values under the machine-wide registry root (HKEY_LOCAL_MACHINE).
// The POSIX backend keeps each value in a file of its own; see the README.

// Reads the value, without its terminating NUL. False when the key or the
// value cannot be read.
bool readMachineValue(const std::string& keyPath, const std::string& valueName, std::string& value);

// Writes the value, creating the key. For installers and tests.
bool writeMachineValue(const std::string& keyPath, const std::string& valueName,
                       const std::string& value);

// Removes the key with all its values. For tests.
bool deleteMachineKey(const std::string& keyPath);

} // namespace platform
