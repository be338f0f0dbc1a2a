#include "platform/posix/ObjectFile.h"

#include "platform/posix/ObjectDirectory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
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

constexpr std::uint32_t headerMagic = 0x324C4F53; // "SOL2"

struct Header {
    std::uint32_t magic;
    std::uint32_t kind;
};
static_assert(sizeof(Header) <= ObjectFile::headerSize);

// One holder of a name, as the name file lists it.
struct HolderRecord {
    std::int32_t processId;
    std::int32_t descriptor; // of the memfd, in that process
    std::uint64_t device;    // identity of the memfd
    std::uint64_t inode;
};
static_assert(sizeof(HolderRecord) == 24);

// Name files are read up to this many records; a longer one is not ours.
constexpr std::size_t maximumRecords = 4096;

// How long a step waits for the namespace lock. Closing gives up sooner: a
// close that cannot remove its name leaves it to the next sweep.
constexpr auto attachPatience = std::chrono::seconds(5);
constexpr auto closePatience = std::chrono::milliseconds(200);

// A sweep reads the whole directory, so attaching does it now and then only.
constexpr auto sweepInterval = std::chrono::seconds(1);

// When this process last swept, in steady-clock ticks.
std::atomic<std::chrono::steady_clock::rep> lastSweep{0};
// When a close of this process last gave up on the namespace lock. The
// closes right after it, as when a library with many objects unloads, try
// the lock once instead of waiting each.
std::atomic<std::chrono::steady_clock::rep> lastCloseGaveUp{0};

std::chrono::milliseconds closePatienceNow() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const std::chrono::steady_clock::duration gaveUp(lastCloseGaveUp.load());
    return gaveUp.count() != 0 && now - gaveUp < std::chrono::seconds(1)
               ? std::chrono::milliseconds(0)
               : closePatience;
}

const char* kindName(std::uint32_t kind) {
    switch (static_cast<ObjectKind>(kind)) {
    case ObjectKind::mutex:
        return "a mutex";
    case ObjectKind::event:
        return "an event";
    case ObjectKind::region:
        return "a file mapping";
    }
    return "no object of ours";
}

bool ownedRegularFile(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_uid == ::geteuid();
}

std::vector<HolderRecord> readRecords(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size <= 0) {
        return {};
    }
    const std::size_t count =
        std::min(static_cast<std::size_t>(status.st_size) / sizeof(HolderRecord), maximumRecords);
    std::vector<HolderRecord> records(count);
    const ssize_t read = ::pread(fd, records.data(), count * sizeof(HolderRecord), 0);
    records.resize(read > 0 ? static_cast<std::size_t>(read) / sizeof(HolderRecord) : 0);
    return records;
}

bool writeRecords(int fd, const std::vector<HolderRecord>& records) {
    const std::size_t bytes = records.size() * sizeof(HolderRecord);
    return ::pwrite(fd, records.data(), bytes, 0) == static_cast<ssize_t>(bytes) &&
           ::ftruncate(fd, static_cast<off_t>(bytes)) == 0;
}

bool processGone(std::int32_t processId) {
    return ::kill(processId, 0) != 0 && errno == ESRCH;
}

// The memory of a new object: a memfd of `size` bytes, all of them reserved
// now, sealed so that its size never changes again.
int makeMemory(const std::string& name, std::size_t size, std::string& problem) {
    const std::string label = ("solvanta:" + name).substr(0, 200);
    const int fd = ::memfd_create(label.c_str(), MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        problem = "cannot make its memory: " + errorText(errno);
        return -1;
    }
    const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
    if (reserved != 0) {
        problem = "no room for its " + std::to_string(size) + " bytes: " + errorText(reserved);
    } else if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        problem = "cannot seal its memory: " + errorText(errno);
    }
    if (!problem.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The memory that a holder's record names, reached through the holder's
// descriptor: only the sealed memfd of ours with that identity, else -1.
int reachMemory(const HolderRecord& record) {
    if (record.processId <= 0 || record.descriptor < 0) {
        return -1;
    }
    const std::string path =
        "/proc/" + std::to_string(record.processId) + "/fd/" + std::to_string(record.descriptor);
    // Looked at before it is opened, so that nothing but a file of ours with
    // that identity is ever opened (opening a device can do things).
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !ownedRegularFile(status) ||
        static_cast<std::uint64_t>(status.st_dev) != record.device ||
        static_cast<std::uint64_t>(status.st_ino) != record.inode) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return -1;
    }
    const int sealed = F_SEAL_SHRINK | F_SEAL_GROW;
    if (::fstat(fd, &status) != 0 || !ownedRegularFile(status) ||
        static_cast<std::uint64_t>(status.st_dev) != record.device ||
        static_cast<std::uint64_t>(status.st_ino) != record.inode ||
        (::fcntl(fd, F_GET_SEALS) & sealed) != sealed) {
        ::close(fd);
        return -1;
    }
    return fd;
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

// Under the namespace lock. Removes the names of ours that nobody holds and
// returns those of this namespace that remain.
std::vector<std::string> sweepLocked(const ObjectDirectory& directory) {
    std::vector<std::string> remaining;
    const int fd = ::openat(directory.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = fd < 0 ? nullptr : ::fdopendir(fd);
    if (listing == nullptr) {
        if (fd >= 0) {
            ::close(fd);
        }
        return remaining;
    }
    // A stream of our own, read under the guard.
    while (const dirent* entry = ::readdir(listing)) { // NOLINT(concurrency-mt-unsafe)
        bool inOurNamespace = false;
        std::string objectName;
        // Abandoned names of every namespace go; only ours are listed.
        if (!ObjectDirectory::ownFile(entry->d_name, inOurNamespace, objectName)) {
            continue;
        }
        const int nameFd =
            ::openat(fd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (nameFd < 0) {
            continue;
        }
        struct stat status {};
        if (::fstat(nameFd, &status) == 0 && ownedRegularFile(status)) {
            if (::flock(nameFd, LOCK_EX | LOCK_NB) == 0) {
                ::unlinkat(fd, entry->d_name, 0);
            } else if (inOurNamespace) {
                remaining.push_back(objectName);
            }
        }
        ::close(nameFd);
    }
    ::closedir(listing);
    lastSweep = std::chrono::steady_clock::now().time_since_epoch().count();
    return remaining;
}

void sweepIfDueLocked(const ObjectDirectory& directory) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const std::chrono::steady_clock::duration last(lastSweep.load());
    if (last.count() == 0 || now - last >= sweepInterval) {
        sweepLocked(directory);
    }
}

// The name file is still the one open as `fd` (nobody replaced it).
bool sameFile(const ObjectDirectory& directory, const std::string& fileName, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 &&
           ::fstatat(directory.fd(), fileName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

ObjectFile::Identity identityOf(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

// A descriptor, closed unless it was handed on.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    [[nodiscard]] int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// A mapping, unmapped unless it was handed on.
class Mapping {
public:
    Mapping() = default;
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;
    ~Mapping() {
        if (data_ != nullptr) {
            ::munmap(data_, size_);
        }
    }

    // Takes a mapping of `size` bytes, or null when mapping failed.
    void take(unsigned char* data, std::size_t size) {
        data_ = data;
        size_ = size;
    }
    [[nodiscard]] unsigned char* get() const { return data_; }
    [[nodiscard]] std::size_t size() const { return size_; }
    unsigned char* release() { return std::exchange(data_, nullptr); }

private:
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

// The memory of an object that this process attaches to, mapped; whatever a
// failed attachment made is released with it.
struct Attachment {
    Descriptor memory;
    Mapping mapping;
    ObjectFile::Identity identity{};
};

// What keeps the memory behind `memoryFd` from being an object of `layout`;
// empty when nothing does.
std::string mismatchOf(int memoryFd, std::size_t memoryBytes, const ObjectFile::Layout& layout) {
    Header header{};
    if (memoryBytes < sizeof header ||
        ::pread(memoryFd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
        header.magic != headerMagic) {
        return "the name belongs to no object of ours";
    }
    if (header.kind != static_cast<std::uint32_t>(layout.kind)) {
        return std::string("the name belongs to ") + kindName(header.kind);
    }
    if (memoryBytes < ObjectFile::headerSize + layout.minimumSize) {
        return "its memory is smaller than its kind needs";
    }
    return {};
}

// Holding the name file exclusively: the new memory of `bytes` made for the
// object (`memory`, or -1 with the reason in `problem`), mapped, its header
// written and this process recorded as its only holder.
AttachStatus makeObject(Descriptor& memory, ObjectKind kind, std::size_t bytes, int nameFd,
                        const std::string& namePath, Attachment& made, std::string& problem) {
    if (memory.get() < 0) {
        return AttachStatus::refused;
    }
    made.memory.reset(memory.release());
    made.mapping.take(mapShared(made.memory.get(), bytes), bytes);
    struct stat status {};
    if (made.mapping.get() == nullptr || ::fstat(made.memory.get(), &status) != 0) {
        problem = "cannot map it: " + errorText(errno);
        return AttachStatus::noView;
    }
    writeHeader(made.mapping.get(), kind);
    made.identity = identityOf(status);
    const HolderRecord own{static_cast<std::int32_t>(::getpid()), made.memory.get(),
                           made.identity.device, made.identity.inode};
    // Converting is not atomic, which the namespace lock makes harmless.
    if (!writeRecords(nameFd, {own}) || ::flock(nameFd, LOCK_SH | LOCK_NB) != 0) {
        const int error = errno;
        problem = "cannot record its holder in " + namePath + ": " + errorText(error);
        return AttachStatus::refused;
    }
    return AttachStatus::ok;
}

// Holding the name file shared: the memory of the first holder that can be
// reached and holds an object of `layout`, mapped, with this process added
// to the holders and those that died left out.
AttachStatus joinObject(const ObjectFile::Layout& layout, int nameFd, const std::string& namePath,
                        Attachment& joined, std::string& problem) {
    const std::vector<HolderRecord> records = readRecords(nameFd);
    problem = "none of its holders can be reached";
    for (const HolderRecord& record : records) {
        Descriptor memory(reachMemory(record));
        struct stat status {};
        if (memory.get() < 0 || ::fstat(memory.get(), &status) != 0) {
            continue;
        }
        const auto memoryBytes = static_cast<std::size_t>(status.st_size);
        problem = mismatchOf(memory.get(), memoryBytes, layout);
        if (!problem.empty()) {
            continue;
        }
        joined.memory.reset(memory.release());
        joined.mapping.take(mapShared(joined.memory.get(), memoryBytes), memoryBytes);
        if (joined.mapping.get() == nullptr) {
            problem = "cannot map it: " + errorText(errno);
            return AttachStatus::noView;
        }
        joined.identity = identityOf(status);
        std::vector<HolderRecord> holders;
        for (const HolderRecord& held : records) {
            if (!processGone(held.processId)) {
                holders.push_back(held);
            }
        }
        holders.push_back({static_cast<std::int32_t>(::getpid()), joined.memory.get(),
                           joined.identity.device, joined.identity.inode});
        if (!writeRecords(nameFd, holders)) {
            const int error = errno;
            problem = "cannot record its holder in " + namePath + ": " + errorText(error);
            return AttachStatus::refused;
        }
        return AttachStatus::ok;
    }
    return AttachStatus::refused;
}

} // namespace

ObjectFile::ObjectFile(int nameFd, int memoryFd, std::string fileName, unsigned char* mapping,
                       std::size_t mappingSize, Identity identity)
    : nameFd_(nameFd), memoryFd_(memoryFd), fileName_(std::move(fileName)), mapping_(mapping),
      mappingSize_(mappingSize), identity_(identity) {}

AttachStatus ObjectFile::attach(const std::string& name, const Layout& layout,
                                Disposition disposition, std::unique_ptr<ObjectFile>& object,
                                std::string& failure) {
    object.reset();
    failure.clear();
    const std::size_t createBytes = headerSize + layout.createSize;
    const auto fail = [&](AttachStatus result, const std::string& problem) {
        failure = name + ": " + problem;
        return result;
    };

    if (name.empty()) {
        if (disposition == Disposition::openExisting) {
            return AttachStatus::missing;
        }
        unsigned char* mapping = mapShared(-1, createBytes);
        if (mapping == nullptr) {
            failure = "cannot map a private object: " + errorText(errno);
            return AttachStatus::noView;
        }
        writeHeader(mapping, layout.kind);
        const Identity identity{0, reinterpret_cast<std::uintptr_t>(mapping)};
        object.reset(new ObjectFile(-1, -1, std::string(), mapping, createBytes, identity));
        return AttachStatus::ok;
    }

    std::string problem;
    const ObjectDirectory* directory = ObjectDirectory::get(problem);
    if (directory == nullptr) {
        return fail(AttachStatus::refused, problem);
    }
    std::string fileName = ObjectDirectory::fileName(name);
    if (fileName.empty()) {
        return fail(AttachStatus::refused, "the name is too long");
    }
    // The memory a new object would get is made before the namespace lock is
    // taken: reserving a large region takes time that every other attach of
    // the user would otherwise spend waiting. It goes unused when the name
    // turns out to be held.
    std::string memoryProblem;
    Descriptor newMemory(disposition == Disposition::createOrOpen
                             ? makeMemory(name, createBytes, memoryProblem)
                             : -1);
    const NamespaceGuard guard(*directory, attachPatience);
    if (!guard.held()) {
        return fail(AttachStatus::refused, "the object directory " + directory->path() +
                                               " stays locked by another process");
    }
    sweepIfDueLocked(*directory);

    // O_NONBLOCK: whatever sits at the name, opening it must not wait.
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    if (disposition == Disposition::createOrOpen) {
        flags |= O_CREAT;
    }
    Descriptor nameFile(::openat(directory->fd(), fileName.c_str(), flags, 0600));
    const std::string namePath = directory->path() + "/" + fileName;
    if (nameFile.get() < 0) {
        return errno == ENOENT
                   ? AttachStatus::missing
                   : fail(AttachStatus::refused, namePath + " is in the way: " + errorText(errno));
    }
    struct stat status {};
    if (::fstat(nameFile.get(), &status) != 0 || !ownedRegularFile(status)) {
        return fail(AttachStatus::refused, namePath + " is in the way: not a file of this account");
    }

    Attachment attached;
    if (::flock(nameFile.get(), LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds the name: new, or left by holders that are all gone.
        // The name goes unless the object is made.
        if (disposition == Disposition::openExisting) {
            ::unlinkat(directory->fd(), fileName.c_str(), 0);
            return AttachStatus::missing;
        }
        problem = memoryProblem;
        const AttachStatus made = makeObject(newMemory, layout.kind, createBytes, nameFile.get(),
                                             namePath, attached, problem);
        if (made != AttachStatus::ok) {
            ::unlinkat(directory->fd(), fileName.c_str(), 0);
            return fail(made, problem);
        }
    } else if (::flock(nameFile.get(), LOCK_SH | LOCK_NB) != 0) {
        // Only a process outside the namespace lock can hold the name
        // exclusively now, and that one is not waited for.
        return fail(AttachStatus::refused, "held exclusively by another process");
    } else {
        const AttachStatus joined = joinObject(layout, nameFile.get(), namePath, attached, problem);
        if (joined != AttachStatus::ok) {
            return fail(joined, problem);
        }
    }
    const std::size_t mappingSize = attached.mapping.size();
    object.reset(new ObjectFile(nameFile.release(), attached.memory.release(), std::move(fileName),
                                attached.mapping.release(), mappingSize, attached.identity));
    return AttachStatus::ok;
}

ObjectFile::~ObjectFile() {
    ::munmap(mapping_, mappingSize_);
    if (nameFd_ < 0) {
        return;
    }
    std::string ignored;
    if (const ObjectDirectory* directory = ObjectDirectory::get(ignored)) {
        const NamespaceGuard guard(*directory, closePatienceNow());
        if (!guard.held()) {
            lastCloseGaveUp = std::chrono::steady_clock::now().time_since_epoch().count();
        }
        // The exclusive lock succeeds only when no other holder is left. A
        // failed conversion may drop our shared lock, which closing does
        // anyway.
        if (guard.held() && ::flock(nameFd_, LOCK_EX | LOCK_NB) == 0) {
            if (sameFile(*directory, fileName_, nameFd_)) {
                ::unlinkat(directory->fd(), fileName_.c_str(), 0);
            }
        } else if (guard.held()) {
            // Others hold it on: only our record goes, and those of holders
            // that died.
            std::vector<HolderRecord> records = readRecords(nameFd_);
            const auto self = static_cast<std::int32_t>(::getpid());
            records.erase(std::remove_if(records.begin(), records.end(),
                                         [&](const HolderRecord& record) {
                                             return (record.processId == self &&
                                                     record.descriptor == memoryFd_) ||
                                                    processGone(record.processId);
                                         }),
                          records.end());
            writeRecords(nameFd_, records);
        }
    }
    ::close(nameFd_);
    ::close(memoryFd_);
}

std::vector<std::string> sweepAndListObjects() {
    std::string ignored;
    const ObjectDirectory* directory = ObjectDirectory::get(ignored);
    if (directory == nullptr) {
        return {};
    }
    const NamespaceGuard guard(*directory, attachPatience);
    if (!guard.held()) {
        return {};
    }
    return sweepLocked(*directory);
}

} // namespace platform::posix
