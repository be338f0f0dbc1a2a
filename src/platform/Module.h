#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Separates directories in the paths this platform composes.
extern const char kPathSeparator;
// Every character that separates directories in a path this platform reads:
// the separator, and on Windows the forward slash as well.
extern const char* const kPathSeparators;
// Ends the file names of executables ("" or ".exe").
extern const char* const kExecutableSuffix;

// Records the handle of the library that holds this code, as the system
// hands it over when it loads the library. Without it the module is found
// from the address of this code.
void setModuleHandle(void* handle);
void* moduleHandle();

// The full path of the module (library or executable) that holds this code.
// False when the system cannot tell, or when it does not fit in `maxLength`
// characters.
bool moduleFileName(std::string& path, std::size_t maxLength = 260);

} // namespace platform
