#include "platform/EventObject.h"

#include "platform/posix/Futex.h"
#include "platform/posix/ObjectFile.h"
#include "platform/posix/Spin.h"

#include <chrono>

namespace platform {

namespace {

using posix::AttachStatus;
using posix::Disposition;
using posix::FutexWake;
using posix::ObjectFile;

// The same value as Windows' INFINITE.
constexpr std::uint32_t infinite = 0xFFFFFFFF;

// The event is one word in the object's memory: 0 while not signalled, and
// any other value, whoever wrote it, is a signal. A wait takes it with an
// exchange, so exactly one wait gets each signal however many race for it,
// and sleeps on the word with a futex only while it reads 0. A futex keeps no
// state of its own, so a waiter that gets killed leaves nothing behind.
class PosixEvent final : public EventObject {
public:
    explicit PosixEvent(std::unique_ptr<ObjectFile> file)
        : file_(std::move(file)),
          word_(static_cast<std::uint32_t*>(static_cast<void*>(file_->payload()))) {}

    void set() override {
        if (!file_) {
            return;
        }
        __atomic_store_n(word_, 1U, __ATOMIC_SEQ_CST);
        // Always woken: nothing in shared memory is trusted to say that
        // nobody sleeps. Every waiter wakes and races for the word; one takes
        // it and the others sleep on. Waking only one could hand the signal
        // to a waiter that is killed before it takes it, stranding the others.
        posix::futexWakeAll(word_);
    }

    WaitResult wait(std::uint32_t timeoutMs) override {
        if (!file_) {
            return WaitResult::failed;
        }
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        if (timeoutMs > 0 && !signalled() && spin_.spin([this] { return signalled(); }) &&
            consume()) {
            return WaitResult::signalled;
        }
        for (;;) {
            if (consume()) {
                return WaitResult::signalled;
            }
            const Clock::duration left = timeoutMs == infinite
                                             ? Clock::duration(std::chrono::hours(24))
                                             : deadline - Clock::now();
            if (left <= Clock::duration::zero()) {
                return WaitResult::timedOut;
            }
            if (posix::futexWait(word_, 0, left) == FutexWake::failed) {
                return WaitResult::failed;
            }
        }
    }

    void close() override { file_.reset(); }

private:
    // Read without writing, so that a spin does not take the line from the
    // process that is about to set the word.
    bool signalled() const { return __atomic_load_n(word_, __ATOMIC_RELAXED) != 0; }
    bool consume() { return __atomic_exchange_n(word_, 0U, __ATOMIC_SEQ_CST) != 0; }

    std::unique_ptr<ObjectFile> file_; // null once closed
    std::uint32_t* word_;
    posix::AdaptiveSpin spin_;
};

} // namespace

std::unique_ptr<EventObject> createEvent(const std::string& name, std::string* failure) {
    const ObjectFile::Layout layout{posix::ObjectKind::event, sizeof(std::uint32_t),
                                    sizeof(std::uint32_t)};
    std::unique_ptr<ObjectFile> file;
    std::string why;
    if (ObjectFile::attach(name, layout, Disposition::createOrOpen, file, why) !=
        AttachStatus::ok) {
        if (failure != nullptr) {
            *failure = why;
        }
        return nullptr;
    }
    return std::make_unique<PosixEvent>(std::move(file));
}

} // namespace platform
