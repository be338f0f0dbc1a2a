// The hostile second process of the POSIX tests; see HostilePeer.h. It has
// what any process of the user has: the object directory and, through /proc,
// the memory of the objects that other processes hold.
#include "HostilePeer.h"
#include "TestSupport.h"

#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/NamedMutex.h"
#include "platform/EventObject.h"
#include "platform/MutexObject.h"
#include "platform/posix/ObjectDirectory.h"
#include "platform/posix/ObjectFile.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using platform::posix::ObjectDirectory;
using platform::posix::ObjectFile;
using platform::posix::ObjectKind;
using testing_support::failureOf;
using testing_support::signalEvent;

[[noreturn]] void holdUntilKilled() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

std::vector<std::string> entriesOf(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(listing)) { // NOLINT(concurrency-mt-unsafe)
            if (entry->d_name[0] != '.') {
                names.emplace_back(entry->d_name);
            }
        }
        ::closedir(listing);
    }
    return names;
}

std::string objectDirectory() {
    std::string why;
    const ObjectDirectory* directory = ObjectDirectory::get(why);
    return directory == nullptr ? std::string() : directory->path();
}

int forge(const std::vector<std::string>& args) {
    const bool mutex = args.at(0) == "mutex";
    const ObjectFile::Layout layout{mutex ? ObjectKind::mutex : ObjectKind::event, 0, 4};
    std::unique_ptr<ObjectFile> file;
    std::string why;
    if (ObjectFile::attach(args.at(1), layout, platform::posix::Disposition::openExisting, file,
                           why) != platform::posix::AttachStatus::ok) {
        return hostile::failed;
    }
    std::uint64_t value = 0;
    if (args.at(2) == "self") {
        value = (static_cast<std::uint64_t>(::getpid()) << 32) |
                static_cast<std::uint64_t>(::syscall(SYS_gettid));
    } else {
        value = std::stoull(args.at(2), nullptr, 16);
    }
    std::memcpy(file->payload(), &value, mutex ? sizeof value : sizeof(std::uint32_t));
    return hostile::ok;
}

int holdStopped(const std::vector<std::string>& args) {
    const auto mutex = platform::openMutex(args.at(0));
    if (!mutex || mutex->lock().status != platform::LockStatus::acquired ||
        !signalEvent(args.at(1))) {
        return hostile::failed;
    }
    ::raise(SIGSTOP);
    holdUntilKilled();
}

int lockPath(const std::vector<std::string>& args) {
    const std::string path = args.at(0) == "objects" ? objectDirectory() : args.at(0);
    // Made before the lock is taken: making it needs the lock too.
    const auto ready = platform::createEvent(args.at(1));
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (!ready || fd < 0 || ::flock(fd, LOCK_EX) != 0) {
        return hostile::failed;
    }
    ready->set();
    holdUntilKilled();
}

int shrink(const std::vector<std::string>& args) {
    const std::string directory = objectDirectory();
    for (const std::string& name : entriesOf(directory)) {
        const int fd =
            ::open((directory + "/" + name).c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            (void)::ftruncate(fd, 0);
            ::close(fd);
        }
    }
    const std::string descriptors = "/proc/" + args.at(0) + "/fd";
    int attacked = 0;
    int shrunk = 0;
    for (const std::string& name : entriesOf(descriptors)) {
        const std::string path = descriptors + "/" + name;
        char target[256] = {};
        if (::readlink(path.c_str(), target, sizeof target - 1) <= 0 ||
            std::strncmp(target, "/memfd:solvanta", 15) != 0) {
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ++attacked;
        struct stat status {};
        if (::fstat(fd, &status) == 0 &&
            (::ftruncate(fd, 0) == 0 || ::ftruncate(fd, status.st_size / 2) == 0)) {
            ++shrunk;
        }
        ::close(fd);
    }
    if (attacked == 0) {
        return hostile::nothingFound;
    }
    return shrunk == 0 ? hostile::ok : hostile::shrank;
}

// A tmpfs of our own on /dev/shm, in a mount namespace of our own; false
// when the machine does not allow it.
bool privateSharedMemory() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV,
                   ("size=" + std::to_string(hostile::shmBytes)).c_str()) == 0 &&
           ::unsetenv("XDG_RUNTIME_DIR") == 0; // NOLINT(concurrency-mt-unsafe)
}

// Writes into /dev/shm until nothing more fits.
void fillSharedMemory() {
    const int fd = ::open("/dev/shm/filler", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const std::vector<char> chunk(4096, 'x');
    while (fd >= 0 && ::write(fd, chunk.data(), chunk.size()) > 0) {
    }
}

// Objects made while /dev/shm has room, one bigger than all of it; then
// /dev/shm fills up. A new object fails; the ones made before keep working.
bool fullSharedMemory(const std::string& base, std::ofstream& report) {
    ipc::IPCMemoryBuffer big(ipc::create, base + "big", "", hostile::bigRegionBytes,
                             ipc::UniqueSuffix::none);
    ipc::MessageQueue queue(ipc::create, base + "queue", 10, 768);
    fillSharedMemory();
    report << failureOf([&] {
        ipc::IPCMemoryBuffer late(ipc::create, base + "late", "", 4096, ipc::UniqueSuffix::none);
    }) << "\n";

    std::memset(big.data(), 0x5A, hostile::bigRegionBytes);
    const std::int32_t message = 4711;
    std::int32_t received[192] = {};
    std::size_t size = 0;
    unsigned priority = 0;
    return big.data()[hostile::bigRegionBytes - 1] == 0x5A &&
           queue.timed_send(&message, sizeof message, 0, 1000) &&
           queue.timed_receive(received, sizeof received, size, priority, 1000) &&
           received[0] == message;
}

// Another account holds the place of our object directory.
bool squattedDirectory(const std::string& base, std::ofstream& report) {
    const std::string place = "/dev/shm/solvanta-" + std::to_string(::geteuid());
    if (::mkdir(place.c_str(), 0700) != 0 ||
        ::chown(place.c_str(), hostile::otherAccount, hostile::otherAccount) != 0) {
        return false;
    }
    report << failureOf([&] { ipc::NamedMutex mutex(ipc::create, base + "mutex"); }) << "\n";
    return true;
}

int inPrivateSharedMemory(const std::vector<std::string>& args) {
    if (!privateSharedMemory()) {
        return hostile::noPrivateShm;
    }
    std::ofstream report(args.at(2));
    const bool done = args.at(0) == "full" ? fullSharedMemory(args.at(1), report)
                                           : squattedDirectory(args.at(1), report);
    return done && report.good() ? hostile::ok : hostile::failed;
}

} // namespace

int main(int argc, char** argv) {
    return testing_support::runHelperCommand(argc, argv,
                                             {
                                                 {"forge", 3, forge},
                                                 {"hold-stopped", 2, holdStopped},
                                                 {"lock-path", 2, lockPath},
                                                 {"shrink", 1, shrink},
                                                 {"private-shm", 3, inPrivateSharedMemory},
                                             },
                                             hostile::usage);
}
