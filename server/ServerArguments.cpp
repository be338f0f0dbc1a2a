#include "ServerArguments.h"

#include <charconv>

namespace refserver {

namespace {

constexpr const char* serverPrefix = "-server:";
constexpr const char* clientPrefix = "-clientpid:";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A process id as the plug-in writes it: a signed decimal number that is
// positive.
bool parseProcessId(const std::string& text, std::uint32_t& pid) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || next != end || value <= 0 || value > INT32_MAX) {
        return false;
    }
    pid = static_cast<std::uint32_t>(value);
    return true;
}

} // namespace

std::optional<ServerArguments> parseServerArguments(const std::vector<std::string>& arguments) {
    ServerArguments parsed;
    bool haveName = false;
    bool havePid = false;
    for (const std::string& argument : arguments) {
        if (startsWith(argument, serverPrefix) && !haveName) {
            parsed.connectionName = argument.substr(std::string(serverPrefix).size());
            haveName = !parsed.connectionName.empty();
            if (!haveName) {
                return std::nullopt;
            }
        } else if (startsWith(argument, clientPrefix) && !havePid) {
            if (!parseProcessId(argument.substr(std::string(clientPrefix).size()),
                                parsed.clientProcessId)) {
                return std::nullopt;
            }
            havePid = true;
        } else {
            return std::nullopt;
        }
    }
    if (!haveName || !havePid) {
        return std::nullopt;
    }
    return parsed;
}

} // namespace refserver
