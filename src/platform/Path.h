#pragma once

// Paths cut at their last separator, the way this platform reads them.

#include "platform/Module.h"

#include <cstddef>
#include <string>

namespace platform {

// The directory that holds `path`: up to, not including, its last
// separator. Empty when the path has no separator, or its only one comes
// first (a file at the root).
inline std::string directoryOf(const std::string& path) {
    const std::size_t separator = path.find_last_of(kPathSeparators);
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// What follows the last separator of `path`; the whole path without one.
inline std::string fileNameOf(const std::string& path) {
    const std::size_t separator = path.find_last_of(kPathSeparators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The file `fileName` in the directory that holds `path`; just `fileName`,
// relative to the working directory, when `path` has no separator.
inline std::string fileBeside(const std::string& path, const std::string& fileName) {
    const std::size_t separator = path.find_last_of(kPathSeparators);
    return path.substr(0, separator == std::string::npos ? 0 : separator + 1) + fileName;
}

} // namespace platform
