#pragma once

// What every test and helper program shares: where the files beside the
// running test are, second processes, unique names, a bound on a test's time,
// temporary files and the environment.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace platform {
class Process;
}

namespace testing_support {

// The directory of the running test program, where the build puts the
// helper programs and libraries that tests load.
std::string testDirectory();

// A file in testDirectory().
std::string besideTest(const std::string& file);

// The path of a helper program built beside the running test.
std::string helperPath(const std::string& program);

// Starts a helper program with the given argument text; fails the test and
// returns null when it cannot be started.
std::shared_ptr<platform::Process> startHelper(const std::string& program,
                                               const std::string& arguments);

// Waits for a helper to end and returns its exit code; fails the test when
// it is still running after `timeoutMs`, and kills it then.
std::uint32_t finishHelper(platform::Process& helper, std::uint32_t timeoutMs = 60000);

// A name no other test process uses at the same time: stem, process id and a
// counter.
std::string uniqueName(const std::string& stem);

// A path in the temporary directory that no other test uses.
std::string temporaryPath(const std::string& stem);

// A directory of its own in the temporary directory, removed with all it
// holds when this goes.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(const std::string& stem);
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    const std::string& path() const { return path_; }
    // `name` inside it.
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// The whole content of a file, or "" when it cannot be read.
std::string fileText(const std::string& path);

// The text of what `action` throws as a std::exception, or "" when it does
// not throw.
std::string failureOf(const std::function<void()>& action);

// Variables of the environment, as "NAME", "value" pairs.
using Environment = std::vector<std::pair<std::string, std::string>>;

// Sets variables of this process's environment for as long as it lives; a
// program started meanwhile inherits them. Each is removed again afterwards.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(Environment variables);
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

private:
    Environment variables_;
};

using Clock = std::chrono::steady_clock;

inline long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Ends the whole test program with a message when it is still alive after
// `limit`: a call that hangs (a lock, a wait for a process that never
// answers) fails the run instead of stalling it.
class Watchdog {
public:
    Watchdog(std::chrono::milliseconds limit, std::string what);
    // Named after the running test.
    explicit Watchdog(std::chrono::milliseconds limit);
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
    ~Watchdog();

private:
    std::mutex mutex_;
    std::condition_variable disarmed_;
    bool done_ = false;
    std::thread thread_;
};

// Sets the named event that a test waits on; false when it cannot be made.
bool signalEvent(const std::string& name);

// One command of a helper program: its name, how many arguments it needs at
// least, and what it does with them; its result is the exit code.
struct HelperCommand {
    const char* name;
    std::size_t arguments;
    int (*run)(const std::vector<std::string>& arguments);
};

// Runs the command that argv[1] names with the arguments after it. An
// unknown command, too few arguments or a command that throws ends with
// `usage`.
int runHelperCommand(int argc, char** argv, const std::vector<HelperCommand>& commands, int usage);

} // namespace testing_support
