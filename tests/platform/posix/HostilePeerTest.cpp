// What another process of the user, or another account, can do to our POSIX
// named objects, and what the plug-in's process sees of it: never a crash,
// never a hang past the time-outs, and a failure that says what is wrong.
#include "HostilePeer.h"
#include "PlatformTestSupport.h"

#include "ipc/Errors.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/MessageQueue.h"
#include "ipc/NamedMutex.h"
#include "platform/EventObject.h"
#include "platform/ObjectNamespace.h"
#include "platform/Process.h"
#include "platform/posix/ObjectDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace testing_support;
using platform::WaitResult;

std::shared_ptr<platform::Process> startHostile(const std::string& arguments) {
    return startHelper(hostile::program, arguments);
}

std::uint32_t runHostile(const std::string& arguments) {
    const auto peer = startHostile(arguments);
    return peer ? finishHelper(*peer) : static_cast<std::uint32_t>(hostile::failed);
}

// Whether another thread of ours can take the mutex and give it back.
bool lockableElsewhere(ipc::IMutex& mutex) {
    std::atomic<bool> locked{false};
    std::thread other([&] {
        try {
            mutex.lock();
            locked = true;
            mutex.unlock();
        } catch (const std::exception&) {
        }
    });
    other.join();
    return locked;
}

std::string objectDirectoryPath() {
    std::string why;
    const platform::posix::ObjectDirectory* directory = platform::posix::ObjectDirectory::get(why);
    return directory != nullptr ? directory->path() : why;
}

double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

// The peer rewrites the mutex's shared state. A forged owner that has ended
// leaves the mutex to us, as an abandoned one; a state no holder could have
// left is refused at once instead of being waited on or believed.
TEST(HostilePeer, ForgedLockStatesAreTakenOverOrRefusedButNeverObeyed) {
    const std::uint64_t us = (static_cast<std::uint64_t>(::getpid()) << 32) |
                             static_cast<std::uint64_t>(::syscall(SYS_gettid));
    struct Case {
        const char* what;
        std::string value;
        bool takenOver;
    };
    for (const Case& c : {Case{"an owner that ended since", "self", true},
                          Case{"ids that no process has", "7fffffff7fffffff", false},
                          Case{"sleepers but no owner", "80000000", false},
                          Case{"this thread, which does not hold it", hex(us), false}}) {
        SCOPED_TRACE(c.what);
        const std::string name = uniqueName("forged");
        ipc::NamedMutex mutex(ipc::create, name);
        ASSERT_EQ(runHostile("forge mutex " + name + " " + c.value), 0U);

        const Watchdog watchdog(std::chrono::seconds(30), "a lock of a forged mutex");
        const std::string failure = failureOf([&] { mutex.lock(); });
        if (!c.takenOver) {
            EXPECT_EQ(failure, std::string(ipc::errors::lockStateImpossible) + ": " + name);
            continue;
        }
        ASSERT_EQ(failure, "");
        mutex.lock(); // ours, recursively
        mutex.unlock();
        mutex.unlock();
        EXPECT_TRUE(lockableElsewhere(mutex));
    }
}

// A peer that stops while it holds the mutex is alive and never lets go: the
// wait ends with a failure that names the holder and the mutex. Once the
// peer is killed, the mutex is ours again.
TEST(HostilePeer, ALockHeldByAStoppedPeerEndsWithAFailureNamingIt) {
    const std::string name = uniqueName("stopped");
    const std::string readyName = uniqueName("ready");
    const auto ready = makeEvent(readyName);
    ipc::NamedMutex mutex(ipc::create, name);
    const auto peer = startHostile("hold-stopped " + name + " " + readyName);
    ASSERT_TRUE(ready && peer);
    ASSERT_EQ(ready->wait(30000), WaitResult::signalled);
    {
        const Watchdog watchdog(std::chrono::seconds(60), "a lock held by a stopped peer");
        EXPECT_EQ(failureOf([&] { mutex.lock(); }),
                  ipc::errors::lockHeldTooLong + std::to_string(peer->id()) + ": " + name);
    }
    ASSERT_TRUE(peer->terminate(1));
    ASSERT_TRUE(peer->waitForExit(10000));
    const Watchdog watchdog(std::chrono::seconds(30), "a lock after the stopped peer was killed");
    EXPECT_EQ(failureOf([&] { mutex.lock(); }), "");
    mutex.unlock();
}

// The peer truncates every name file and tries to shrink every object memory
// that our process holds. The memory is sealed: our queue and buffer stay
// whole, with all their bytes, and work on.
TEST(HostilePeer, ShrinkingTheObjectsUnderUsLeavesOurMappingsWhole) {
    ipc::MessageQueue queue(ipc::create, uniqueName("shrunkq"), 10, 768);
    ipc::IPCMemoryBuffer buffer(ipc::create, uniqueName("shrunkb"), "", 1 << 20,
                                ipc::UniqueSuffix::none);
    std::fill(buffer.data(), buffer.data() + buffer.capacity(), 0xA5);

    EXPECT_EQ(runHostile("shrink " + std::to_string(::getpid())), 0U)
        << "the peer found no object memory to attack, or could shrink some";

    EXPECT_TRUE(std::all_of(buffer.data(), buffer.data() + buffer.capacity(),
                            [](unsigned char byte) { return byte == 0xA5; }));
    const std::int32_t message = 77;
    std::int32_t cell[192] = {};
    std::size_t size = 0;
    unsigned priority = 0;
    ASSERT_TRUE(queue.timed_send(&message, sizeof message, 0, 1000));
    ASSERT_TRUE(queue.timed_receive(cell, sizeof cell, size, priority, 1000));
    EXPECT_EQ(cell[0], message);
}

// Objects made while /dev/shm had room, one of them bigger than all of it,
// keep working once it is full; a new object fails with a text that names it.
TEST(HostilePeer, AFullDevShmFailsNewObjectsCleanlyAndSparesTheOthers) {
    const std::string base = uniqueName("full");
    const std::string report = temporaryPath("full-report");
    const std::uint32_t outcome = runHostile("private-shm full " + base + " " + report);
    const std::string failure = fileText(report);
    std::remove(report.c_str());
    if (outcome == static_cast<std::uint32_t>(hostile::noPrivateShm)) {
        GTEST_SKIP() << "this machine gives a process no /dev/shm of its own (no mount namespace)";
    }
    EXPECT_EQ(outcome, 0U) << "the objects made before /dev/shm filled up stopped working";
    EXPECT_EQ(
        failure.rfind(std::string(ipc::errors::cannotCreateMapping) + ": " + base + "late: ", 0),
        0U)
        << failure;
    EXPECT_NE(failure.find("No space left on device"), std::string::npos) << failure;
}

// Another account can neither take our names nor our directory from us: names
// it squats where the objects once lived are not ours any more, and a
// directory of its own in the place of ours is refused with a text that says
// so, in a /dev/shm of the peer's own.
TEST(HostilePeer, AnotherAccountsSquatsAreIgnoredOrNamed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "playing another account needs root";
    }
    const std::string name = uniqueName("squatted");
    const char* space = std::getenv("SOLVANTA_OBJECT_NAMESPACE"); // NOLINT(concurrency-mt-unsafe)
    std::vector<std::string> squats = {"/dev/shm/solvanta." + name};
    if (space != nullptr) {
        squats.push_back("/dev/shm/solvanta-" + std::string(space) + "." + name);
    }
    for (const std::string& path : squats) {
        FILE* file = std::fopen(path.c_str(), "w");
        ASSERT_NE(file, nullptr) << path;
        std::fclose(file);
        ASSERT_EQ(::chown(path.c_str(), hostile::otherAccount, hostile::otherAccount), 0);
    }
    EXPECT_EQ(failureOf([&] {
                  ipc::NamedMutex mutex(ipc::create, name);
                  mutex.lock();
                  mutex.unlock();
              }),
              "");
    for (const std::string& path : squats) {
        std::remove(path.c_str());
    }

    const std::string base = uniqueName("place");
    const std::string report = temporaryPath("squat-report");
    const std::uint32_t outcome = runHostile("private-shm squatted " + base + " " + report);
    const std::string failure = fileText(report);
    std::remove(report.c_str());
    if (outcome == static_cast<std::uint32_t>(hostile::noPrivateShm)) {
        GTEST_SKIP() << "this machine gives a process no /dev/shm of its own (no mount namespace)";
    }
    ASSERT_EQ(outcome, 0U);
    EXPECT_EQ(failure, std::string(ipc::errors::cannotCreateNamedMutex) + ": " + base +
                           "mutex: the object directory /dev/shm/solvanta-" +
                           std::to_string(::geteuid()) +
                           " belongs to another account (uid 65534)\n");
}

// Whatever the user's own processes leave at the place of a name, creating
// the object is refused at once, naming that place.
TEST(HostilePeer, SomethingInTheWayOfANameIsRefusedAndNamed) {
    const std::string directory = objectDirectoryPath();
    struct Case {
        const char* what;
        int (*make)(const char* path);
    };
    for (const Case& c :
         {Case{"a pipe", [](const char* p) { return ::mkfifo(p, 0600); }},
          Case{"a directory", [](const char* p) { return ::mkdir(p, 0700); }},
          Case{"a symbolic link", [](const char* p) { return ::symlink("/dev/null", p); }}}) {
        SCOPED_TRACE(c.what);
        const std::string name = uniqueName("inway");
        const std::string path = directory + "/" + platform::posix::ObjectDirectory::fileName(name);
        ASSERT_EQ(c.make(path.c_str()), 0) << path;
        const Watchdog watchdog(std::chrono::seconds(30), "a create over something in the way");
        const std::string failure = failureOf([&] { ipc::NamedMutex mutex(ipc::create, name); });
        ::remove(path.c_str());
        EXPECT_EQ(failure.rfind(std::string(ipc::errors::cannotCreateNamedMutex) + ": " + name +
                                    ": " + path + " is in the way",
                                0),
                  0U)
            << failure;
    }
}

// A lock that the peer holds on /dev/shm itself is nothing to us; one on our
// object directory makes a new object fail after a bounded wait, and never
// holds up a close.
TEST(HostilePeer, ALockedDirectoryBoundsEveryWait) {
    struct Case {
        const char* what;
        std::string path;
        bool createWorks;
    };
    for (const Case& c :
         {Case{"/dev/shm", "/dev/shm", true}, Case{"the object directory", "objects", false}}) {
        SCOPED_TRACE(c.what);
        auto earlier = std::make_unique<ipc::NamedMutex>(ipc::create, uniqueName("earlier"));
        const std::string readyName = uniqueName("ready");
        const auto ready = makeEvent(readyName);
        const auto peer = startHostile("lock-path " + c.path + " " + readyName);
        ASSERT_TRUE(ready && peer);
        ASSERT_EQ(ready->wait(30000), WaitResult::signalled);
        {
            const Watchdog watchdog(std::chrono::seconds(60),
                                    "objects made and closed under a held lock");
            const std::string name = uniqueName("locked");
            const std::string failure =
                failureOf([&] { ipc::NamedMutex mutex(ipc::create, name); });
            if (c.createWorks) {
                EXPECT_EQ(failure, "");
            } else {
                EXPECT_EQ(failure, std::string(ipc::errors::cannotCreateNamedMutex) + ": " + name +
                                       ": the object directory " + objectDirectoryPath() +
                                       " stays locked by another process");
            }
            earlier.reset();
        }
        ASSERT_TRUE(peer->terminate(1));
        ASSERT_TRUE(peer->waitForExit(10000));
    }
}

// Any value the peer writes into an event's word is one signal, taken by one
// wait; the wait after it sleeps through its time-out instead of spinning.
TEST(HostilePeer, AForgedEventWordIsOneSignalAndNoBusyWait) {
    for (const char* forged : {"2", "deadbeef", "ffffffff"}) {
        SCOPED_TRACE(forged);
        const std::string name = uniqueName("forgedevent");
        const auto event = makeEvent(name);
        ASSERT_NE(event, nullptr);
        ASSERT_EQ(runHostile("forge event " + name + " " + forged), 0U);
        EXPECT_EQ(event->wait(10000), WaitResult::signalled);
        const double before = threadCpuMs();
        EXPECT_EQ(event->wait(500), WaitResult::timedOut);
        EXPECT_LT(threadCpuMs() - before, 250.0) << "the wait spun instead of sleeping";
    }
}

} // namespace
