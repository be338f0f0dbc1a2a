#include "platform/MutexObject.h"

#include "platform/posix/ObjectFile.h"

#include <atomic>
#include <cerrno>

#include <pthread.h>

namespace platform {

namespace {

using posix::AttachStatus;
using posix::Disposition;
using posix::ObjectFile;

// A pthread mutex in the object's memory: recursive like a Windows mutex,
// robust so that a lock whose owner died is handed to the next locker.
class PosixMutex final : public MutexObject {
public:
    explicit PosixMutex(std::unique_ptr<ObjectFile> file)
        : file_(std::move(file)),
          mutex_(static_cast<pthread_mutex_t*>(static_cast<void*>(file_->payload()))) {}

    ~PosixMutex() override {
        // The owner's robust list still points into the memory; unmapping it
        // would keep the kernel from marking the mutex abandoned later.
        if (locks_.load() > 0) {
            file_->keepMappedAfterClose();
        }
    }

    void lock() override {
        int result = ::pthread_mutex_lock(mutex_);
        if (result == EOWNERDEAD) {
            // Abandoned: on Windows the next waiter simply owns it.
            result = ::pthread_mutex_consistent(mutex_);
        }
        if (result == 0) {
            ++locks_;
        }
    }

    void unlock() override {
        if (::pthread_mutex_unlock(mutex_) == 0) {
            --locks_;
        }
    }

private:
    std::unique_ptr<ObjectFile> file_;
    pthread_mutex_t* mutex_;
    std::atomic<int> locks_{0}; // held through this wrapper, by any thread
};

ObjectFile::Initialiser initialiser(bool shared) {
    return [shared](unsigned char* payload, std::size_t) {
        pthread_mutexattr_t attributes;
        ::pthread_mutexattr_init(&attributes);
        ::pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
        ::pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
        ::pthread_mutexattr_setpshared(&attributes,
                                       shared ? PTHREAD_PROCESS_SHARED : PTHREAD_PROCESS_PRIVATE);
        ::pthread_mutex_init(static_cast<pthread_mutex_t*>(static_cast<void*>(payload)),
                             &attributes);
        ::pthread_mutexattr_destroy(&attributes);
    };
}

std::unique_ptr<MutexObject> attachMutex(const std::string& name, Disposition disposition,
                                         std::string* failure) {
    const ObjectFile::Layout layout{posix::ObjectKind::mutex, sizeof(pthread_mutex_t),
                                    sizeof(pthread_mutex_t)};
    std::unique_ptr<ObjectFile> file;
    std::string why;
    if (ObjectFile::attach(name, layout, disposition, initialiser(!name.empty()), file, why) !=
        AttachStatus::ok) {
        if (failure != nullptr) {
            *failure = why;
        }
        return nullptr;
    }
    return std::make_unique<PosixMutex>(std::move(file));
}

} // namespace

std::unique_ptr<MutexObject> createMutex(const std::string& name, std::string* failure) {
    return attachMutex(name, Disposition::createOrOpen, failure);
}

std::unique_ptr<MutexObject> openMutex(const std::string& name, std::string* failure) {
    return attachMutex(name, Disposition::openExisting, failure);
}

} // namespace platform
