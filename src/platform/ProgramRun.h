#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Runs a program to its end with its standard output and standard error
// sent to files (created or emptied), as a shell's "> out 2> err" would, so
// that a caller can read what a command-line program says to a log rather
// than to a terminal. Returns the exit code; none when the program cannot be
// started or is still running after `timeoutMs`, in which case it is killed.
std::optional<std::uint32_t> runProgram(const std::string& path,
                                        const std::vector<std::string>& arguments,
                                        const std::string& outputFile, const std::string& errorFile,
                                        std::uint32_t timeoutMs);

} // namespace platform
