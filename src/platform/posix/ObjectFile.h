#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::posix {

// Named kernel objects, reproduced with files in /dev/shm.
//
// Every kind shares one namespace, as on Windows: the file "solvanta.<name>"
// (or "solvanta-<space>.<name>" under SOLVANTA_OBJECT_NAMESPACE)
// (characters a file name cannot hold escaped as %XX) starts with a small
// header that tags its kind, and attaching to a name of another kind fails.
//
// Lifetime follows the kernel's: every holder keeps a shared flock on the
// file, and the kernel drops it when the holder closes the file or dies, even
// by SIGKILL. Whoever can take the exclusive lock knows that nobody holds the
// object any more: a creator then resets it (no stale state survives a dead
// run), an opener removes it and reports that it does not exist, a closer
// removes it, and a sweep removes every such file left by holders that all
// died. flock cannot convert a lock atomically, so creating, opening, closing
// and sweeping all happen under an exclusive flock on the /dev/shm directory
// itself, which leaves no file behind.
enum class ObjectKind : std::uint32_t { mutex = 1, event = 2, region = 3 };

enum class Disposition { createOrOpen, openExisting };

enum class AttachStatus {
    ok,
    missing, // open-only, and no live object of that name
    refused, // the name belongs to another kind or user, or the system said no
    noView,  // the object exists but could not be mapped
};

class ObjectFile {
public:
    // Fills the payload of a new (or reset) object; it starts as zeros.
    using Initialiser = std::function<void(unsigned char* payload, std::size_t size)>;

    struct Layout {
        ObjectKind kind;
        std::size_t createSize;  // payload bytes of a new object
        std::size_t minimumSize; // an existing object with less is refused
    };

    // An empty name makes an object private to this process.
    static AttachStatus attach(const std::string& name, const Layout& layout,
                               Disposition disposition, const Initialiser& initialise,
                               std::unique_ptr<ObjectFile>& object);

    ObjectFile(const ObjectFile&) = delete;
    ObjectFile& operator=(const ObjectFile&) = delete;
    ~ObjectFile();

    [[nodiscard]] unsigned char* payload() const { return mapping_ + headerSize; }
    [[nodiscard]] std::size_t payloadSize() const { return mappingSize_ - headerSize; }

    // Lets go of the name but leaves the memory mapped for the rest of the
    // process: a thread may still own a robust mutex in it, and the kernel
    // must be able to mark it abandoned when that thread ends.
    void keepMappedAfterClose() { keepMapped_ = true; }

    static constexpr std::size_t headerSize = 64;

private:
    ObjectFile(int fd, std::string path, unsigned char* mapping, std::size_t mappingSize);

    int fd_;
    std::string path_;
    unsigned char* mapping_;
    std::size_t mappingSize_;
    bool keepMapped_ = false;
};

// Removes every object of ours that nobody holds, then returns the names of
// those still present (held by live processes, or not removable).
std::vector<std::string> sweepAndListObjects();

} // namespace platform::posix
