#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace refserver {

// What the plug-in passes when it starts the server: " -server:<connectionName>
// -clientpid:<pid>", which arrives split on blanks.
struct ServerArguments {
    std::string connectionName;
    std::uint32_t clientProcessId = 0;
};

// Nothing when an argument is missing, repeated or malformed, or when an
// unknown one is present.
std::optional<ServerArguments> parseServerArguments(const std::vector<std::string>& arguments);

} // namespace refserver
