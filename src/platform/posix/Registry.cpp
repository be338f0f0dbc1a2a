#include "platform/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

// The registry stand-in keeps one file per value:
//
//   $SOLVANTA_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/<key>/<value name>
//
// where each backslash-separated part of the key path is a directory and
// SOLVANTA_REGISTRY_ROOT defaults to ${XDG_CONFIG_HOME:-$HOME/.config}/solvanta/registry.
// The value is the file's bytes less one trailing newline or NUL, so
//   printf '%s\n' /opt/solvanta/server > ".../Software/Vantorelle/Solvanta Q9/ServerPath"
// sets ServerPath. Names are case-sensitive here, unlike on Windows.

namespace platform {

namespace {

const char* const machineRoot = "HKEY_LOCAL_MACHINE";

// Nothing in this library sets variables while it reads them.
std::string environment(const char* name) {
    const char* value = std::getenv(name); // NOLINT(concurrency-mt-unsafe)
    return value != nullptr ? value : "";
}

bool registryRoot(std::string& root) {
    if (const std::string explicitRoot = environment("SOLVANTA_REGISTRY_ROOT");
        !explicitRoot.empty()) {
        root = explicitRoot;
    } else if (const std::string config = environment("XDG_CONFIG_HOME"); !config.empty()) {
        root = config + "/solvanta/registry";
    } else if (const std::string home = environment("HOME"); !home.empty()) {
        root = home + "/.config/solvanta/registry";
    } else {
        return false;
    }
    return true;
}

// A key or value name part that cannot leave its directory.
bool validPart(const std::string& part) {
    return !part.empty() && part != "." && part != ".." && part.find('/') == std::string::npos;
}

bool keyParts(const std::string& keyPath, std::vector<std::string>& parts) {
    std::istringstream stream(keyPath);
    std::string part;
    while (std::getline(stream, part, '\\')) {
        if (!validPart(part)) {
            return false;
        }
        parts.push_back(part);
    }
    return !parts.empty();
}

bool keyDirectory(const std::string& keyPath, std::string& directory) {
    std::vector<std::string> names;
    std::string root;
    if (!keyParts(keyPath, names) || !registryRoot(root)) {
        return false;
    }
    directory = root + "/" + machineRoot;
    for (const std::string& name : names) {
        directory += "/" + name;
    }
    return true;
}

// mkdir -p: the root's own directories may not exist yet either.
bool makeDirectories(const std::string& directory) {
    for (std::size_t end = directory.find('/', 1);; end = directory.find('/', end + 1)) {
        const std::string prefix = directory.substr(0, end);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    return ::remove(path);
}

} // namespace

bool readMachineValue(const std::string& keyPath, const std::string& valueName,
                      std::string& value) {
    std::string directory;
    if (!validPart(valueName) || !keyDirectory(keyPath, directory)) {
        return false;
    }
    const int fd = ::open((directory + "/" + valueName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
        text.append(chunk, static_cast<std::size_t>(got > 0 ? got : 0));
    }
    ::close(fd);
    if (got < 0) {
        return false;
    }
    if (!text.empty() && (text.back() == '\n' || text.back() == '\0')) {
        text.pop_back();
    }
    value = text;
    return true;
}

bool writeMachineValue(const std::string& keyPath, const std::string& valueName,
                       const std::string& value) {
    std::string directory;
    if (!validPart(valueName) || !keyDirectory(keyPath, directory) || !makeDirectories(directory)) {
        return false;
    }
    // Written beside and renamed over, so a reader never sees half a value.
    const std::string path = directory + "/" + valueName;
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << value << '\n';
        if (!file.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

bool deleteMachineKey(const std::string& keyPath) {
    std::string directory;
    if (!keyDirectory(keyPath, directory)) {
        return false;
    }
    struct stat status {};
    if (::lstat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return false;
    }
    // Without FTW_CHDIR nftw keeps to its own state.
    return ::nftw(directory.c_str(), removeEntry, 16, // NOLINT(concurrency-mt-unsafe)
                  FTW_DEPTH | FTW_PHYS) == 0;
}

} // namespace platform
