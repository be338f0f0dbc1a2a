#include "platform/posix/ObjectFile.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

const char* const directoryPath = "/dev/shm";
const char* const filePrefix = "solvanta";

// Every file of ours starts with "solvanta", then "." for the default
// namespace or "-<namespace>." for the one named by SOLVANTA_OBJECT_NAMESPACE
// (letters and digits only). Test runs use a namespace of their own, so that
// concurrent runs on one machine neither meet nor count each other's objects.
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
constexpr std::uint32_t headerMagic = 0x314C4F53; // "SOL1"

struct Header {
    std::uint32_t magic;
    std::uint32_t kind;
};
static_assert(sizeof(Header) <= ObjectFile::headerSize);

// A sweep reads the whole directory, so attaching does it now and then only.
constexpr auto sweepInterval = std::chrono::seconds(1);

int flockRetrying(int fd, int operation) {
    int result = 0;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
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

// Create, open, close and sweep run one at a time machine-wide, under an
// exclusive flock on the directory. Each guard opens the directory afresh:
// flocks on separate opens exclude threads of one process as well, and a
// forked child never shares the parent's lock.
class NamespaceGuard {
public:
    NamespaceGuard() : fd_(::open(directoryPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0 && flockRetrying(fd_, LOCK_EX) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    NamespaceGuard(const NamespaceGuard&) = delete;
    NamespaceGuard& operator=(const NamespaceGuard&) = delete;
    ~NamespaceGuard() {
        if (fd_ >= 0) {
            ::close(fd_); // and with it the lock
        }
    }

    [[nodiscard]] bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

// When this process last swept, in steady-clock ticks.
std::atomic<std::chrono::steady_clock::rep> lastSweep{0};

bool ownedRegularFile(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_uid == ::geteuid();
}

// Under the guard. Removes the files of ours that nobody holds and returns
// the names of the others.
std::vector<std::string> sweepLocked() {
    std::vector<std::string> remaining;
    DIR* directory = ::opendir(directoryPath);
    if (directory == nullptr) {
        return remaining;
    }
    const int directoryFd = ::dirfd(directory);
    const std::size_t prefixLength = std::strlen(filePrefix);
    const std::string& ownPrefix = namespacePrefix();
    // A stream of our own, read under the guard.
    while (const dirent* entry = ::readdir(directory)) { // NOLINT(concurrency-mt-unsafe)
        const std::string fileName = entry->d_name;
        // Abandoned objects of every namespace go; only ours are listed.
        if (fileName.compare(0, prefixLength, filePrefix) != 0 || fileName.size() <= prefixLength ||
            (fileName[prefixLength] != '.' && fileName[prefixLength] != '-')) {
            continue;
        }
        const int fd =
            ::openat(directoryFd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        struct stat status {};
        if (::fstat(fd, &status) == 0 && ownedRegularFile(status)) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                ::unlinkat(directoryFd, entry->d_name, 0);
            } else if (fileName.compare(0, ownPrefix.size(), ownPrefix) == 0) {
                remaining.push_back(unescapeName(fileName.substr(ownPrefix.size())));
            }
        }
        ::close(fd);
    }
    ::closedir(directory);
    lastSweep = std::chrono::steady_clock::now().time_since_epoch().count();
    return remaining;
}

void sweepIfDueLocked() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const std::chrono::steady_clock::duration last(lastSweep.load());
    if (last.count() == 0 || now - last >= sweepInterval) {
        sweepLocked();
    }
}

// The file at `path` is still the one open as `fd` (nobody replaced it).
bool samePath(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

unsigned char* mapShared(int fd, std::size_t size) {
    void* mapping = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                           fd < 0 ? MAP_SHARED | MAP_ANONYMOUS : MAP_SHARED, fd, 0);
    return mapping == MAP_FAILED ? nullptr : static_cast<unsigned char*>(mapping);
}

void writeHeader(unsigned char* mapping, ObjectKind kind) {
    const Header header{headerMagic, static_cast<std::uint32_t>(kind)};
    std::memcpy(mapping, &header, sizeof header);
}

} // namespace

ObjectFile::ObjectFile(int fd, std::string path, unsigned char* mapping, std::size_t mappingSize)
    : fd_(fd), path_(std::move(path)), mapping_(mapping), mappingSize_(mappingSize) {}

AttachStatus ObjectFile::attach(const std::string& name, const Layout& layout,
                                Disposition disposition, const Initialiser& initialise,
                                std::unique_ptr<ObjectFile>& object) {
    object.reset();
    const std::size_t createBytes = headerSize + layout.createSize;

    if (name.empty()) {
        if (disposition == Disposition::openExisting) {
            return AttachStatus::missing;
        }
        unsigned char* mapping = mapShared(-1, createBytes);
        if (mapping == nullptr) {
            return AttachStatus::noView;
        }
        writeHeader(mapping, layout.kind);
        initialise(mapping + headerSize, layout.createSize);
        object.reset(new ObjectFile(-1, std::string(), mapping, createBytes));
        return AttachStatus::ok;
    }

    const std::string fileName = namespacePrefix() + escapeName(name);
    if (fileName.size() > NAME_MAX) {
        return AttachStatus::refused;
    }
    std::string path = std::string(directoryPath) + "/" + fileName;

    NamespaceGuard guard;
    if (!guard.held()) {
        return AttachStatus::refused;
    }
    sweepIfDueLocked();

    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
    if (disposition == Disposition::createOrOpen) {
        flags |= O_CREAT;
    }
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        return errno == ENOENT ? AttachStatus::missing : AttachStatus::refused;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !ownedRegularFile(status)) {
        ::close(fd);
        return AttachStatus::refused;
    }

    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds it: new, or left by holders that are all gone.
        if (disposition == Disposition::openExisting) {
            ::unlink(path.c_str());
            ::close(fd);
            return AttachStatus::missing;
        }
        // Truncating to nothing first drops whatever a dead run left in it.
        if (::ftruncate(fd, 0) != 0 || ::ftruncate(fd, static_cast<off_t>(createBytes)) != 0) {
            ::unlink(path.c_str());
            ::close(fd);
            return AttachStatus::refused;
        }
        unsigned char* mapping = mapShared(fd, createBytes);
        if (mapping == nullptr) {
            ::unlink(path.c_str());
            ::close(fd);
            return AttachStatus::noView;
        }
        writeHeader(mapping, layout.kind);
        initialise(mapping + headerSize, layout.createSize);
        // Converting is not atomic, which the guard makes harmless.
        if (flockRetrying(fd, LOCK_SH) != 0) {
            ::munmap(mapping, createBytes);
            ::unlink(path.c_str());
            ::close(fd);
            return AttachStatus::refused;
        }
        object.reset(new ObjectFile(fd, std::move(path), mapping, createBytes));
        return AttachStatus::ok;
    }

    // Held by someone, so it was initialised under the guard before.
    Header header{};
    if (flockRetrying(fd, LOCK_SH) != 0 || ::fstat(fd, &status) != 0 ||
        static_cast<std::size_t>(status.st_size) < headerSize + layout.minimumSize ||
        ::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        header.magic != headerMagic || header.kind != static_cast<std::uint32_t>(layout.kind)) {
        ::close(fd);
        return AttachStatus::refused;
    }
    const auto mappingSize = static_cast<std::size_t>(status.st_size);
    unsigned char* mapping = mapShared(fd, mappingSize);
    if (mapping == nullptr) {
        ::close(fd);
        return AttachStatus::noView;
    }
    object.reset(new ObjectFile(fd, std::move(path), mapping, mappingSize));
    return AttachStatus::ok;
}

ObjectFile::~ObjectFile() {
    if (!keepMapped_) {
        ::munmap(mapping_, mappingSize_);
    }
    if (fd_ < 0) {
        return;
    }
    NamespaceGuard guard;
    // The exclusive lock succeeds only when no other holder is left. A failed
    // conversion may drop our shared lock, which closing does anyway.
    if (guard.held() && ::flock(fd_, LOCK_EX | LOCK_NB) == 0 && samePath(fd_, path_)) {
        ::unlink(path_.c_str());
    }
    ::close(fd_);
}

std::vector<std::string> sweepAndListObjects() {
    NamespaceGuard guard;
    if (!guard.held()) {
        return {};
    }
    return sweepLocked();
}

} // namespace platform::posix
