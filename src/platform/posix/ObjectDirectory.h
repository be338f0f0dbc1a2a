#pragma once

#include <chrono>
#include <string>
#include <utility>

namespace platform::posix {

// The directory that holds the names of this user's objects:
// "solvanta-<uid>" in $XDG_RUNTIME_DIR when that is a private directory of
// ours, else in /dev/shm. It is made with mode 0700 and used only while it
// belongs to us, so no other account can create, open or lock anything in it;
// when another account's directory (or anything else) sits at its place,
// every attach fails and names that path.
//
// Inside it, every name of an object is a file of its own (see ObjectFile).
// Test runs keep theirs apart through SOLVANTA_OBJECT_NAMESPACE: the file of
// object N is "solvanta.<N>", or "solvanta-<space>.<N>" under that
// namespace, with characters a file name cannot hold escaped as %XX.
class ObjectDirectory {
public:
    // The directory of this process, made on first use. Null, with the
    // reason in `failure`, when it cannot be had.
    static const ObjectDirectory* get(std::string& failure);

    ObjectDirectory(const ObjectDirectory&) = delete;
    ObjectDirectory& operator=(const ObjectDirectory&) = delete;
    ~ObjectDirectory();

    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& path() const { return path_; }

    // The file that holds the name `objectName` in this process's
    // namespace; empty when the name is too long for a file name.
    [[nodiscard]] static std::string fileName(const std::string& objectName);
    // Whether a file of the directory holds a name of some namespace, and
    // the object name when it is one of this process's namespace.
    static bool ownFile(const std::string& fileName, bool& inOurNamespace, std::string& objectName);

private:
    ObjectDirectory(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_;
    std::string path_;
};

// Creating, opening, closing and sweeping names run one at a time per user:
// each holds an exclusive flock on the directory for its whole step. A
// process of ours that never lets go cannot stall us: the lock is tried
// again and again until `patience` has passed, and then the step fails.
class NamespaceGuard {
public:
    NamespaceGuard(const ObjectDirectory& directory, std::chrono::milliseconds patience);
    NamespaceGuard(const NamespaceGuard&) = delete;
    NamespaceGuard& operator=(const NamespaceGuard&) = delete;
    ~NamespaceGuard();

    [[nodiscard]] bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// The system's words for an error number, for failure texts.
std::string errorText(int error);

} // namespace platform::posix
