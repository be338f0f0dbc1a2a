#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class Process;
}

namespace ipc {

// Where the server's shortcut and registry value are looked for.
namespace serverLocation {
inline constexpr const char* maker = "Vantorelle";
inline constexpr const char* product = "Solvanta Q9";
inline constexpr const char* shortcutExtension = ".lnk";
inline constexpr const char* softwareKey = "Software\\";
inline constexpr const char* valueName = "ServerPath";
} // namespace serverLocation

// The server's shortcut "Vantorelle Solvanta Q9.lnk" when it lies beside this
// library, else the registry value ServerPath under
// Software\Vantorelle\Solvanta Q9, else an empty path. Never throws.
std::string getServerPath();

// " -server:<connectionName> -clientpid:<processId>": what the server is
// started with, so that it composes the same queue names.
std::string launchArguments(const std::string& connectionName, std::uint32_t processId);

struct LaunchedServer {
    std::shared_ptr<platform::Process> process;
    std::uint32_t processId = 0;
};

// Starts the server for this process's connection `connectionName`. Does not
// wait for it to get ready. Throws std::runtime_error with the arguments,
// " Unable to launch server at ", the path, "\nError : " and the system's
// error code.
LaunchedServer launchServer(const std::string& connectionName);

} // namespace ipc
