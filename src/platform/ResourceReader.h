#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Reads resources out of a built library file without running any of its
// code, as a host does when it looks for plug-ins. `type` is a resource type
// name ("PIPL") or "#<number>" for a numbered type (dialogs are "#5").
//
// On Windows these are the library's real resources. A POSIX library carries
// the same bytes in a section of its own, ".solvanta_resources", which starts
// with a small directory; numbered types are Windows-only there.

// The resource in exactly that language. False when the library cannot be
// read or holds no such resource.
bool readLibraryResource(const std::string& libraryPath, const std::string& type, std::uint16_t id,
                         std::uint16_t language, std::vector<std::uint8_t>& bytes);

// The languages in which the library holds the resource, in the order the
// library lists them; empty when there is none.
std::vector<std::uint16_t> libraryResourceLanguages(const std::string& libraryPath,
                                                    const std::string& type, std::uint16_t id);

} // namespace platform
