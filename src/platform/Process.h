#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Exit code reported for a process that is still running.
constexpr std::uint32_t kStillActive = 259;

// A handle on a process: ours or not, child or not.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    virtual ~Process() = default;

    virtual std::uint32_t id() const = 0;
    // kStillActive while the process runs, its exit code once it ended.
    // False when the code cannot be read.
    virtual bool exitCode(std::uint32_t& code) = 0;
    // True when the process ended within the time-out.
    virtual bool waitForExit(std::uint32_t timeoutMs) = 0;
    // Ends the process at once, as a kill from outside would.
    virtual bool terminate(std::uint32_t exitCode) = 0;
};

std::uint32_t currentProcessId();

// Opens the process with that id for querying. Null when no such process
// can be opened.
std::shared_ptr<Process> openProcess(std::uint32_t pid);

struct LaunchResult {
    std::shared_ptr<Process> process; // null when the launch failed
    std::uint32_t error = 0;          // the system's error code on failure
};

// Starts the program at `path` (an executable or a shortcut to one) with the
// given command-line argument text, the way the shell's open verb does, with
// no error dialog. Does not wait for the program to get ready.
LaunchResult launch(const std::string& path, const std::string& arguments);

} // namespace platform
