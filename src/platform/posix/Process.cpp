#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <map>
#include <mutex>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// The exit code reported for a process that is not our child once it has
// ended: only its parent can read the real one. 1, a plain failure, and never
// kStillActive.
constexpr std::uint32_t foreignExitCode = 1;

// Through syscall(): glibc 2.36 declares its wrappers without C linkage.
int openPidfd(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

bool killThroughPidfd(int pidfd) {
    return ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0;
}

// A process killed by a signal reads as 128 + the signal number, as in a
// shell; SIGKILL is 137.
std::uint32_t exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return static_cast<std::uint32_t>(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return 128U + static_cast<std::uint32_t>(WTERMSIG(status));
    }
    return foreignExitCode;
}

// Our own children, process-wide: a child's exit status can be collected only
// once, and every handle on it must still read it afterwards.
class Children {
public:
    static Children& instance() {
        static Children children;
        return children;
    }

    void add(pid_t pid) {
        std::lock_guard<std::mutex> lock(mutex_);
        records_[pid] = Record{};
        records_[pid].handles = 1;
        reapUnwatchedLocked();
    }

    // Takes another handle on a child we know; false for any other process.
    // The pidfd is opened only while the child is not reaped, when its pid
    // cannot name another process yet.
    bool retain(pid_t pid, int& pidfd) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = records_.find(pid);
        if (found == records_.end()) {
            return false;
        }
        Record& record = found->second;
        reapLocked(pid, record);
        if (record.reaped) {
            // Windows keeps a pid unused while a handle on its process lives;
            // here a reaped pid can already name a newer process.
            const int newer = openPidfd(pid);
            if (newer >= 0) {
                ::close(newer);
                return false;
            }
        }
        ++record.handles;
        pidfd = record.reaped ? -1 : openPidfd(pid);
        return true;
    }

    // A child nobody watches any more is kept until it can be reaped, so it
    // does not stay a zombie.
    void release(pid_t pid) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = records_.find(pid);
        if (found != records_.end()) {
            --found->second.handles;
        }
        reapUnwatchedLocked();
    }

    // kStillActive while it runs, else its exit code.
    std::uint32_t exitCode(pid_t pid) {
        std::lock_guard<std::mutex> lock(mutex_);
        Record& record = records_[pid];
        reapLocked(pid, record);
        return record.reaped ? record.code : kStillActive;
    }

    // A child that dies of SIGKILL after we asked it to end with `code`
    // reports that code, as a terminated Windows process does.
    void requestExitCode(pid_t pid, std::uint32_t code) {
        std::lock_guard<std::mutex> lock(mutex_);
        Record& record = records_[pid];
        record.requested = true;
        record.requestedCode = code;
    }

private:
    struct Record {
        int handles = 0;
        bool reaped = false;
        std::uint32_t code = 0;
        bool requested = false;
        std::uint32_t requestedCode = 0;
    };

    // Until the child is reaped its pid cannot be reused, so waitpid on it is
    // safe; after that only the record speaks for it.
    static void reapLocked(pid_t pid, Record& record) {
        if (record.reaped) {
            return;
        }
        int status = 0;
        pid_t result = 0;
        do {
            result = ::waitpid(pid, &status, WNOHANG);
        } while (result < 0 && errno == EINTR);
        if (result == pid) {
            record.reaped = true;
            record.code = exitCodeOf(status);
            if (record.requested && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
                record.code = record.requestedCode;
            }
        } else if (result < 0) {
            // Someone else collected it (SIGCHLD ignored, or a waitpid(-1)
            // of the host's).
            record.reaped = true;
            record.code = foreignExitCode;
        }
    }

    void reapUnwatchedLocked() {
        for (auto it = records_.begin(); it != records_.end();) {
            if (it->second.handles <= 0) {
                reapLocked(it->first, it->second);
                if (it->second.reaped) {
                    it = records_.erase(it);
                    continue;
                }
            }
            ++it;
        }
    }

    std::mutex mutex_;
    std::map<pid_t, Record> records_;
};

// A handle is a pidfd: it stays bound to its process even if the pid number
// is reused, and it becomes readable once the process has ended (a zombie
// counts as ended).
class PosixProcess final : public Process {
public:
    PosixProcess(pid_t pid, int pidfd, bool child) : pid_(pid), pidfd_(pidfd), child_(child) {}
    ~PosixProcess() override {
        if (pidfd_ >= 0) {
            ::close(pidfd_);
        }
        if (child_) {
            Children::instance().release(pid_);
        }
    }

    [[nodiscard]] std::uint32_t id() const override { return static_cast<std::uint32_t>(pid_); }

    bool exitCode(std::uint32_t& code) override {
        if (child_) {
            code = Children::instance().exitCode(pid_);
        } else {
            code = endedNow() ? foreignExitCode : kStillActive;
        }
        return true;
    }

    bool waitForExit(std::uint32_t timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (endedNow()) {
                return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) {
                return false;
            }
            // Without a pidfd (the child was gone before we could open one)
            // poll() only sleeps, and the child is looked at every 10 ms.
            pollfd entry{pidfd_, POLLIN, 0};
            ::poll(&entry, 1, static_cast<int>(pidfd_ >= 0 ? left : std::min<long long>(left, 10)));
        }
    }

    bool terminate(std::uint32_t exitCode) override {
        if (endedNow()) {
            return false;
        }
        if (child_) {
            Children::instance().requestExitCode(pid_, exitCode);
        }
        // An unreaped child's pid cannot name another process.
        return pidfd_ >= 0 ? killThroughPidfd(pidfd_) : ::kill(pid_, SIGKILL) == 0;
    }

private:
    [[nodiscard]] bool endedNow() const {
        if (child_) {
            return Children::instance().exitCode(pid_) != kStillActive;
        }
        pollfd entry{pidfd_, POLLIN, 0};
        return ::poll(&entry, 1, 0) > 0;
    }

    pid_t pid_;
    int pidfd_; // -1 for a child that was reaped before this handle opened it
    bool child_;
};

// The argument text as the Windows C runtime splits a command line: blanks
// separate arguments outside double quotes, quotes group and are dropped,
// 2n backslashes before a quote give n backslashes and the quote counts,
// 2n+1 give n backslashes and a literal quote, other backslashes are literal.
std::vector<std::string> splitArguments(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            std::size_t backslashes = 0;
            while (i < text.size() && text[i] == '\\') {
                ++backslashes;
                ++i;
            }
            inArgument = true;
            if (i < text.size() && text[i] == '"') {
                current.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    current += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                current.append(backslashes, '\\');
                --i;
            }
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) {
                arguments.push_back(current);
                current.clear();
                inArgument = false;
            }
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments.push_back(current);
    }
    return arguments;
}

} // namespace

std::uint32_t currentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

std::shared_ptr<Process> openProcess(std::uint32_t pid) {
    if (pid == 0 || pid > static_cast<std::uint32_t>(INT32_MAX)) {
        return nullptr;
    }
    const auto id = static_cast<pid_t>(pid);
    // A child of ours that has ended still opens while any handle on it
    // lives, as on Windows, and reads its real exit code.
    int pidfd = -1;
    if (Children::instance().retain(id, pidfd)) {
        return std::make_shared<PosixProcess>(id, pidfd, true);
    }
    pidfd = openPidfd(id);
    if (pidfd < 0) {
        return nullptr;
    }
    return std::make_shared<PosixProcess>(id, pidfd, false);
}

// A shortcut on this platform is a symbolic link, so launching its path runs
// its target. posix_spawn reports a program that cannot be executed through
// its return value, before it returns.
LaunchResult launch(const std::string& path, const std::string& arguments) {
    LaunchResult result;
    if (path.empty()) {
        result.error = ENOENT;
        return result;
    }
    std::vector<std::string> words = splitArguments(arguments);
    words.insert(words.begin(), path);
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    // The server starts with default signal handling and nothing blocked,
    // whatever the host did to its own.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigfillset(&signals);
    ::posix_spawnattr_setsigdefault(&attributes, &signals);
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes, &signals);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, path.c_str(), nullptr, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        result.error = static_cast<std::uint32_t>(error);
        return result;
    }
    Children::instance().add(pid);
    // The child is not reaped yet, so its pid still names it.
    result.process = std::make_shared<PosixProcess>(pid, openPidfd(pid), true);
    return result;
}

} // namespace platform
