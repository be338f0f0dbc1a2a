#include "platform/SystemVersion.h"

#include "platform/Environment.h"

#include <array>
#include <cstdlib>
#include <sstream>

namespace platform {

namespace {

constexpr const char* kVersionVariable = "SOLVANTA_WINDOWS_VERSION";

// A system as recent as the plug-in will ever meet: what a test gets unless
// it asks for an old one.
constexpr std::array<std::uint32_t, 3> kDefaultVersion{10, 0, 0};

std::array<std::uint32_t, 3> pretendedVersion() {
    const std::string text = environmentVariable(kVersionVariable);
    if (text.empty()) {
        return kDefaultVersion;
    }
    std::array<std::uint32_t, 3> version{0, 0, 0};
    std::istringstream parts(text);
    for (std::uint32_t& part : version) {
        std::string field;
        if (!std::getline(parts, field, '.')) {
            break;
        }
        part = static_cast<std::uint32_t>(std::strtoul(field.c_str(), nullptr, 10));
    }
    return version;
}

} // namespace

bool systemVersionAtLeast(std::uint32_t major, std::uint32_t minor,
                          std::uint16_t servicePackMajor) {
    return pretendedVersion() >= std::array<std::uint32_t, 3>{major, minor, servicePackMajor};
}

} // namespace platform
