// Cross-process round trip of one 768-byte message through a request queue
// and an answer queue, against two baselines between the same two processes:
// a futex ping-pong on a word in shared memory and a pair of pipes. Measured
// once on a quiet machine and once with one core kept busy by another
// process.
#include "RoundTrip.h"
#include "ipc/MessageQueue.h"

#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::measure;
using bench::print;
using bench::Stats;
constexpr int warmup = bench::warmupRounds;
constexpr int rounds = bench::measuredRounds;

constexpr std::size_t messageSize = 768;
using Message = std::array<unsigned char, messageSize>;

long futex(std::atomic<std::uint32_t>* word, int op, std::uint32_t value) {
    return syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), op, value, nullptr, nullptr,
                   0);
}

// Waits until the word holds `wanted`.
void awaitValue(std::atomic<std::uint32_t>& word, std::uint32_t wanted) {
    for (;;) {
        const std::uint32_t seen = word.load();
        if (seen == wanted) {
            return;
        }
        futex(&word, FUTEX_WAIT, seen);
    }
}

void publish(std::atomic<std::uint32_t>& word, std::uint32_t value) {
    word.store(value);
    futex(&word, FUTEX_WAKE, 1);
}

bool readAll(int fd, unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Results {
    Stats queue, futexes, pipes;
};

// The three round trips against one answering process, started afresh.
bool measureAll(const std::string& tag, Results& results) {
    ipc::MessageQueue request(ipc::create, "vtipcreq" + tag, 10, messageSize);
    ipc::MessageQueue answer(ipc::create, "vtipcrsp" + tag, 10, messageSize);

    void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        std::perror("mmap");
        return false;
    }
    auto* word = new (page) std::atomic<std::uint32_t>(0);
    int toPeer[2];
    int fromPeer[2];
    if (pipe(toPeer) != 0 || pipe(fromPeer) != 0) {
        std::perror("pipe");
        return false;
    }
    const int total = warmup + rounds;

    const pid_t peer = fork();
    if (peer == 0) {
        // The answering process: the same one for all three exchanges.
        ipc::MessageQueue peerRequest(ipc::open, "vtipcreq" + tag);
        ipc::MessageQueue peerAnswer(ipc::open, "vtipcrsp" + tag);
        Message message{};
        std::size_t size = 0;
        unsigned priority = 0;
        for (int i = 0; i < total; ++i) {
            while (
                !peerRequest.timed_receive(message.data(), message.size(), size, priority, 250)) {
            }
            peerAnswer.timed_send(message.data(), message.size(), 0, 10000);
        }
        for (std::uint32_t i = 1; i <= 2 * static_cast<std::uint32_t>(total); i += 2) {
            awaitValue(*word, i);
            publish(*word, i + 1);
        }
        for (int i = 0; i < total; ++i) {
            if (!readAll(toPeer[0], message.data(), message.size()) ||
                !writeAll(fromPeer[1], message.data(), message.size())) {
                _exit(1);
            }
        }
        _exit(0);
    }

    Message message{};
    message.fill(0x5A);
    std::size_t size = 0;
    unsigned priority = 0;
    results.queue = measure(peer, [&] {
        request.timed_send(message.data(), message.size(), 0, 10000);
        while (!answer.timed_receive(message.data(), message.size(), size, priority, 60000)) {
        }
    });
    std::uint32_t next = 1;
    results.futexes = measure(peer, [&] {
        publish(*word, next);
        awaitValue(*word, next + 1);
        next += 2;
    });
    results.pipes = measure(peer, [&] {
        writeAll(toPeer[1], message.data(), message.size());
        readAll(fromPeer[0], message.data(), message.size());
    });
    int status = 0;
    waitpid(peer, &status, 0);
    for (const int fd : {toPeer[0], toPeer[1], fromPeer[0], fromPeer[1]}) {
        close(fd);
    }
    munmap(page, 4096);
    return status == 0;
}

void report(const char* setting, const Results& results) {
    std::printf("Round trip of one %zu-byte message between two processes (%d rounds), %s, "
                "microseconds:\n",
                messageSize, rounds, setting);
    bench::printHeading();
    print("MessageQueue request + answer", results.queue);
    print("futex ping-pong (baseline)", results.futexes);
    print("pipe pair, 768 bytes (baseline)", results.pipes);
    bench::printRatio("MessageQueue / futex:", results.queue, results.futexes);
    bench::printRatio("MessageQueue / pipes:", results.queue, results.pipes);
}

} // namespace

int main() {
    const std::string tag = "bench" + std::to_string(getpid());
    Results quiet{};
    Results busy{};
    bool ok = measureAll(tag + "q", quiet);
    {
        const bench::BusyCore spinner;
        ok = measureAll(tag + "b", busy) && ok;
    }
    report("quiet machine", quiet);
    std::printf("\n");
    report("one core kept busy by a spinning process", busy);
    return ok ? 0 : 1;
}
