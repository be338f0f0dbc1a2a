#include "ipc/ServerLaunch.h"

#include "ipc/Errors.h"
#include "platform/Module.h"
#include "platform/Path.h"
#include "platform/Process.h"
#include "platform/Registry.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace ipc {

namespace {

bool shortcutBesideModule(std::string& shortcut) {
    std::string modulePath;
    if (!platform::moduleFileName(modulePath, 260)) {
        return false;
    }
    // A module at the root has no folder to look in. The system names
    // modules by full paths, so every other one has a directory.
    if (platform::directoryOf(modulePath).empty()) {
        return false;
    }
    shortcut = platform::fileBeside(modulePath, std::string(serverLocation::maker) + " " +
                                                    serverLocation::product +
                                                    serverLocation::shortcutExtension);
    std::FILE* file = std::fopen(shortcut.c_str(), "r");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

} // namespace

std::string getServerPath() {
    std::string path;
    if (shortcutBesideModule(path)) {
        return path;
    }
    const std::string key = std::string(serverLocation::softwareKey) + serverLocation::maker +
                            "\\" + serverLocation::product;
    if (platform::readMachineValue(key, serverLocation::valueName, path)) {
        return path;
    }
    return {};
}

std::string launchArguments(const std::string& connectionName, std::uint32_t processId) {
    std::ostringstream arguments;
    arguments << " -server:" << connectionName
              << " -clientpid:" << static_cast<std::int32_t>(processId);
    return arguments.str();
}

LaunchedServer launchServer(const std::string& connectionName) {
    std::ostringstream text;
    text << launchArguments(connectionName, platform::currentProcessId());
    const std::string arguments = text.str();
    const std::string path = getServerPath();

    const platform::LaunchResult result = platform::launch(path, arguments);
    if (!result.process) {
        text << errors::unableToLaunch << path << errors::launchErrorCode << result.error;
        throw std::runtime_error(text.str());
    }
    return {result.process, result.process->id()};
}

} // namespace ipc
