#include "platform/posix/ObjectDirectory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

const char* const sharedMemoryPath = "/dev/shm";
const char* const filePrefix = "solvanta";

// "solvanta." for the default namespace, "solvanta-<space>." for the one
// named by SOLVANTA_OBJECT_NAMESPACE (letters and digits only).
const std::string& namespacePrefix() {
    static const std::string prefix = [] {
        std::string space;
        if (const char* value =
                std::getenv("SOLVANTA_OBJECT_NAMESPACE")) { // NOLINT(concurrency-mt-unsafe)
            for (const char* c = value; *c != '\0'; ++c) {
                if (std::isalnum(static_cast<unsigned char>(*c)) != 0) {
                    space += *c;
                }
            }
        }
        return std::string(filePrefix) + (space.empty() ? "." : "-" + space + ".");
    }();
    return prefix;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c >= 'a' ? c - 'a' : c - 'A') + 10;
}

std::string escapeName(const std::string& name) {
    static const char digits[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F && c != '/' && c != '%' && c != '\\') {
            escaped += c;
        } else {
            escaped += '%';
            escaped += digits[byte >> 4];
            escaped += digits[byte & 0xF];
        }
    }
    return escaped;
}

std::string unescapeName(const std::string& escaped) {
    std::string name;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '%' && i + 2 < escaped.size() && isHexDigit(escaped[i + 1]) &&
            isHexDigit(escaped[i + 2])) {
            name += static_cast<char>(hexValue(escaped[i + 1]) * 16 + hexValue(escaped[i + 2]));
            i += 2;
        } else {
            name += escaped[i];
        }
    }
    return name;
}

bool privateDirectoryOfOurs(const struct stat& status) {
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// $XDG_RUNTIME_DIR when it is set to a private directory of ours, which no
// other account can even look into; else /dev/shm.
std::string baseDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR"); // NOLINT(concurrency-mt-unsafe)
    struct stat status {};
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &status) == 0 &&
        privateDirectoryOfOurs(status)) {
        return runtime;
    }
    return sharedMemoryPath;
}

// Opens (making it first if need be) the directory of ours at `path`, or
// says what is in its way.
int openPrivateDirectory(const std::string& path, std::string& failure) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        failure = "cannot make the object directory " + path + ": " + errorText(errno);
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        failure = path + " is in the way of the object directory: " + errorText(errno);
        return -1;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode)) {
        failure = path + " is in the way of the object directory";
    } else if (status.st_uid != ::geteuid()) {
        failure = "the object directory " + path + " belongs to another account (uid " +
                  std::to_string(status.st_uid) + ")";
    } else if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::fchmod(fd, 0700) != 0) {
        failure = "the object directory " + path + " is open to other accounts";
    }
    if (!failure.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string errorText(int error) {
    return std::strerror(error); // NOLINT(concurrency-mt-unsafe): a static table on glibc
}

const ObjectDirectory* ObjectDirectory::get(std::string& failure) {
    // Only a directory that could be had is kept: a path that was in the way
    // is looked at again by the next attach.
    static std::mutex mutex;
    static std::unique_ptr<ObjectDirectory> directory;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!directory) {
        const std::string path = baseDirectory() + "/" + filePrefix + "-" +
                                 std::to_string(static_cast<unsigned long>(::geteuid()));
        const int fd = openPrivateDirectory(path, failure);
        if (fd < 0) {
            return nullptr;
        }
        directory.reset(new ObjectDirectory(fd, path));
    }
    return directory.get();
}

// Objects of static duration were made after the directory was, so they are
// all gone before it closes.
ObjectDirectory::~ObjectDirectory() {
    ::close(fd_);
}

std::string ObjectDirectory::fileName(const std::string& objectName) {
    std::string name = namespacePrefix() + escapeName(objectName);
    return name.size() > NAME_MAX ? std::string() : name;
}

bool ObjectDirectory::ownFile(const std::string& fileName, bool& inOurNamespace,
                              std::string& objectName) {
    const std::size_t prefixLength = std::strlen(filePrefix);
    if (fileName.compare(0, prefixLength, filePrefix) != 0 || fileName.size() <= prefixLength ||
        (fileName[prefixLength] != '.' && fileName[prefixLength] != '-')) {
        return false;
    }
    const std::string& ours = namespacePrefix();
    inOurNamespace = fileName.compare(0, ours.size(), ours) == 0;
    if (inOurNamespace) {
        objectName = unescapeName(fileName.substr(ours.size()));
    }
    return true;
}

NamespaceGuard::NamespaceGuard(const ObjectDirectory& directory,
                               std::chrono::milliseconds patience) {
    // A lock of its own on a fresh open: flocks on separate opens exclude
    // threads of one process as well, and a forked child never shares it.
    const int fd = ::openat(directory.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + patience;
    auto pause = std::chrono::microseconds(20);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline) {
            ::close(fd);
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(2));
    }
}

NamespaceGuard::~NamespaceGuard() {
    if (fd_ >= 0) {
        ::close(fd_); // and with it the lock
    }
}

} // namespace platform::posix
