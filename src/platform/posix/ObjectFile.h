#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::posix {

// Named kernel objects, reproduced for the processes of one user.
//
// The memory of an object is a memfd, sized and reserved whole when it is
// made and then sealed against shrinking and growing: nobody, whatever they
// write, can make a mapping of it fault, and a full disk or /dev/shm cannot
// either. Its first bytes tag its kind, and attaching to a name of another
// kind fails. All its shared state is plain data that every reader checks.
//
// The name is a file in the object directory (see ObjectDirectory) that
// lists the holders: process id and descriptor of each one's memfd, with the
// memfd's identity. An opener reaches the memory through
// /proc/<holder>/fd/<descriptor> of any holder that still has it, which only
// processes of the same user may do, and takes it only when it is the
// sealed memfd the record names.
//
// Lifetime follows the kernel's: every holder keeps a shared flock on the
// name file, and the kernel drops it when the holder closes the file or
// dies, even by SIGKILL; the memory goes with its last descriptor and
// mapping. Whoever can take the exclusive flock knows that nobody holds the
// name any more: a creator then starts a new object (no stale state survives
// a dead run), an opener removes the name and reports that it does not
// exist, a closer removes it, and a sweep removes every such name left by
// holders that all died. flock cannot convert a lock atomically, so these
// steps all run under the namespace lock of the directory.
enum class ObjectKind : std::uint32_t { mutex = 1, event = 2, region = 3 };

enum class Disposition { createOrOpen, openExisting };

enum class AttachStatus {
    ok,
    missing, // open-only, and no live object of that name
    refused, // the name belongs to another kind, is in the way, or the system said no
    noView,  // the object exists but could not be mapped
};

class ObjectFile {
public:
    struct Layout {
        ObjectKind kind;
        std::size_t createSize;  // payload bytes of a new object
        std::size_t minimumSize; // an existing object with less is refused
    };

    // Which object a mapping belongs to, the same for every attachment of
    // one process to one object.
    struct Identity {
        std::uint64_t device;
        std::uint64_t inode;
        bool operator<(const Identity& other) const {
            return device != other.device ? device < other.device : inode < other.inode;
        }
    };

    // The payload of a new object is zeros: a free mutex, an event that is
    // not set, an empty region. An empty name makes an object private to
    // this process. Any status but ok and missing comes with the reason,
    // naming the object, in `failure`.
    static AttachStatus attach(const std::string& name, const Layout& layout,
                               Disposition disposition, std::unique_ptr<ObjectFile>& object,
                               std::string& failure);

    ObjectFile(const ObjectFile&) = delete;
    ObjectFile& operator=(const ObjectFile&) = delete;
    ~ObjectFile();

    [[nodiscard]] unsigned char* payload() const { return mapping_ + headerSize; }
    [[nodiscard]] std::size_t payloadSize() const { return mappingSize_ - headerSize; }
    [[nodiscard]] Identity identity() const { return identity_; }

    // Payload offsets are multiples of this, so words in it can be atomic.
    static constexpr std::size_t headerSize = 64;

private:
    ObjectFile(int nameFd, int memoryFd, std::string fileName, unsigned char* mapping,
               std::size_t mappingSize, Identity identity);

    int nameFd_;   // the name file, with our shared flock; -1 for a private object
    int memoryFd_; // the memfd that other processes reach through our record
    std::string fileName_;
    unsigned char* mapping_;
    std::size_t mappingSize_;
    Identity identity_;
};

// Removes every name of ours that nobody holds, then returns those of this
// namespace still present (held by live processes, or not removable).
std::vector<std::string> sweepAndListObjects();

} // namespace platform::posix
