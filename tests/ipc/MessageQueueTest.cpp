#include "ipc/MessageQueue.h"
#include "PeerControl.h"
#include "ipc/Errors.h"
#include "ipc/IPCMemoryBuffer.h"
#include "ipc/InterProcessException.h"
#include "ipc/QueueNames.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;
using ipc::IPCMemoryBuffer;
using ipc::MessageQueue;
using Cell = std::array<unsigned char, 768>;

// The queue's region seen from outside, the way the server maps it.
struct RegionView {
    explicit RegionView(const std::string& name) : buffer(ipc::open, name) {}
    std::int32_t word(std::size_t index) const {
        std::int32_t value = 0;
        std::memcpy(&value, buffer.data() + 4 * index, sizeof value);
        return value;
    }
    void setWord(std::size_t index, std::int32_t value) {
        std::memcpy(buffer.data() + 4 * index, &value, sizeof value);
    }
    std::int32_t capacity() const { return word(0); }
    std::int32_t cellSize() const { return word(1); }
    std::int32_t readIndex() const { return word(2); }
    std::int32_t flag(std::size_t cell) const { return word(3 + cell); }
    const unsigned char* cell(std::size_t index) const {
        return buffer.data() + 12 + 4 * 10 + 768 * index;
    }
    IPCMemoryBuffer buffer;
};

bool send(MessageQueue& queue, std::int32_t value, unsigned timeoutMs = 1000) {
    return queue.timed_send(&value, sizeof value, 0, timeoutMs);
}

bool receive(MessageQueue& queue, Cell& cell, unsigned timeoutMs = 1000) {
    std::size_t size = 0;
    unsigned priority = 0;
    return queue.timed_receive(cell.data(), cell.size(), size, priority, timeoutMs);
}

std::int32_t first(const Cell& cell) {
    std::int32_t value = 0;
    std::memcpy(&value, cell.data(), sizeof value);
    return value;
}

TEST(MessageQueue, AFreshQueueHasTheExactLayout) {
    const std::string name = uniqueName("q");
    MessageQueue queue(ipc::create, name, 10, 768);
    RegionView region(name);
    EXPECT_EQ(region.buffer.size(), 7732) << "(768 + 4) x 10 + 12 payload bytes";
    EXPECT_GE(region.buffer.capacity(), 7732u);
    EXPECT_EQ(region.capacity(), 10);
    EXPECT_EQ(region.cellSize(), 768);
    EXPECT_EQ(region.readIndex(), 0);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(region.flag(i), 0) << "cell " << i;
    }
    MessageQueue opened(ipc::open, name);
    EXPECT_EQ(opened.capacity(), 10u);
    EXPECT_EQ(opened.cellSize(), 768u);
}

TEST(MessageQueue, TenSendsFillTheRingAndTheEleventhTimesOutLeavingItUnchanged) {
    const std::string name = uniqueName("full");
    MessageQueue queue(ipc::create, name, 10, 768);
    RegionView region(name);
    for (std::int32_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(send(queue, 100 + i));
        EXPECT_EQ(region.flag(static_cast<std::size_t>(i)), 1);
        std::int32_t stored = 0;
        std::memcpy(&stored, region.cell(static_cast<std::size_t>(i)), sizeof stored);
        EXPECT_EQ(stored, 100 + i);
    }
    const auto start = Clock::now();
    EXPECT_FALSE(send(queue, 999, 200));
    EXPECT_GE(millisecondsSince(start), 150) << "a full queue waits once for a free cell";
    EXPECT_EQ(region.readIndex(), 0);
    Cell cell{};
    for (std::int32_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(receive(queue, cell));
        EXPECT_EQ(first(cell), 100 + i);
    }
}

TEST(MessageQueue, MessagesKeepTheirOrderAcrossTheWrap) {
    MessageQueue queue(ipc::create, uniqueName("wrap"), 10, 768);
    Cell cell{};
    std::int32_t next = 0;
    std::int32_t expected = 0;
    // Uneven bursts walk the read index around the ring several times.
    for (int round = 0; round < 12; ++round) {
        const int burst = 1 + round % 7;
        for (int i = 0; i < burst; ++i) {
            ASSERT_TRUE(send(queue, next++));
        }
        for (int i = 0; i < burst; ++i) {
            ASSERT_TRUE(receive(queue, cell));
            EXPECT_EQ(first(cell), expected++);
        }
    }
}

TEST(MessageQueue, ASendIntoAnEmptyRingUsesTheCellAtTheReadIndex) {
    const std::string name = uniqueName("idx");
    MessageQueue queue(ipc::create, name, 10, 768);
    RegionView region(name);
    Cell cell{};
    for (std::int32_t i = 0; i < 7; ++i) {
        ASSERT_TRUE(send(queue, i));
        ASSERT_TRUE(receive(queue, cell));
    }
    ASSERT_EQ(region.readIndex(), 7);
    ASSERT_TRUE(send(queue, 77));
    EXPECT_EQ(region.flag(7), 1);
    EXPECT_EQ(region.flag(0), 0);
    ASSERT_TRUE(receive(queue, cell));
    EXPECT_EQ(first(cell), 77);
    EXPECT_EQ(region.readIndex(), 8);
}

TEST(MessageQueue, AShortMessageLeavesTheRestOfItsCellAsAnEarlierOneLeftIt) {
    MessageQueue queue(ipc::create, uniqueName("cell"), 1, 768);
    std::vector<unsigned char> big(608);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    ASSERT_TRUE(queue.timed_send(big.data(), big.size(), 0, 1000));
    Cell cell{};
    ASSERT_TRUE(receive(queue, cell));
    ASSERT_TRUE(send(queue, 0x01020304));
    cell.fill(0xEE);
    ASSERT_TRUE(receive(queue, cell));
    EXPECT_EQ(first(cell), 0x01020304);
    EXPECT_EQ(std::memcmp(cell.data() + 4, big.data() + 4, 604), 0);
    EXPECT_EQ(cell[700], 0) << "all 768 bytes of the cell arrive, beyond the messages too";
}

TEST(MessageQueue, AnEmptyQueueTimesOutAfterOneWait) {
    MessageQueue queue(ipc::create, uniqueName("empty"), 10, 768);
    Cell cell{};
    const auto start = Clock::now();
    EXPECT_FALSE(receive(queue, cell, 250));
    const long long waited = millisecondsSince(start);
    EXPECT_GE(waited, 240);
    EXPECT_LT(waited, 10000);
}

TEST(MessageQueue, AStaleSignalEndsTheWaitAtOnceWithNothing) {
    MessageQueue queue(ipc::create, uniqueName("stale"), 10, 768);
    Cell cell{};
    // The send signals "sent" while nobody waits; the receive finds the
    // message without waiting, so the signal stays pending.
    ASSERT_TRUE(send(queue, 5));
    ASSERT_TRUE(receive(queue, cell));
    const auto start = Clock::now();
    EXPECT_FALSE(receive(queue, cell, 5000));
    EXPECT_LT(millisecondsSince(start), 2500)
        << "the pending signal should end the single wait early";
}

TEST(MessageQueue, SendWithinOutlastsAStaleSignalAndTakesTheCellThatComesFree) {
    MessageQueue queue(ipc::create, uniqueName("within"), 10, 768);
    Cell cell{};
    // Full again after a receive nobody waited for: its signal stays pending.
    const auto fullWithStaleSignal = [&] {
        ASSERT_TRUE(receive(queue, cell));
        ASSERT_TRUE(send(queue, 77));
    };
    for (std::int32_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(send(queue, i));
    }
    fullWithStaleSignal();
    auto start = Clock::now();
    std::int32_t value = 1234;
    EXPECT_FALSE(ipc::sendWithin(queue, &value, sizeof value, 600));
    EXPECT_GE(millisecondsSince(start), 550) << "the stale signal must not end the send early";

    fullWithStaleSignal();
    std::thread taker([&queue] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Cell taken{};
        EXPECT_TRUE(receive(queue, taken));
    });
    start = Clock::now();
    EXPECT_TRUE(ipc::sendWithin(queue, &value, sizeof value, 10000));
    EXPECT_LT(millisecondsSince(start), 8000);
    taker.join();
    std::int32_t last = 0;
    while (receive(queue, cell, 0)) {
        last = first(cell);
    }
    EXPECT_EQ(last, 1234);
}

TEST(MessageQueue, AMessageSentBeforeThePeerOpenedTheQueueWaitsForIt) {
    ControlBlock shared;
    const std::string name = uniqueName("early");

    auto peer = startHelper("ipc_peer", "queue-create-send " + shared.name + " " + name);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(awaitStage(shared.block, 1));
    EXPECT_EQ(shared.block.value, 1);
    MessageQueue queue(ipc::open, name);
    Cell cell{};
    ASSERT_TRUE(receive(queue, cell, 5000));
    EXPECT_STREQ(reinterpret_cast<const char*>(cell.data()),
                 "sent before the peer opened the queue");
    shared.block.stage = 2;
    EXPECT_EQ(finishHelper(*peer), 0u);
}

TEST(MessageQueue, OpeningAQueueNobodyCreatedFailsOnItsMutex) {
    try {
        MessageQueue queue(ipc::open, uniqueName("noqueue"));
        FAIL() << "opened a queue that nobody created";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), ipc::errors::cannotOpenNamedMutex);
    }
}

TEST(MessageQueue, NothingAPeerWritesIntoTheHeaderMovesAccessOutsideTheRegion) {
    const std::string name = uniqueName("hostile");
    MessageQueue queue(ipc::create, name, 10, 768);
    RegionView region(name);

    // A read index far outside the ring still names a cell of the ring.
    region.setWord(2, 123456789);
    ASSERT_TRUE(send(queue, 31));
    Cell cell{};
    ASSERT_TRUE(receive(queue, cell));
    EXPECT_EQ(first(cell), 31);
    EXPECT_GE(region.readIndex(), 0);
    EXPECT_LT(region.readIndex(), 10);

    // The layout is taken once; an opener refuses a header that claims
    // more cells than the region holds.
    region.setWord(0, 1000000);
    EXPECT_THROW(MessageQueue(ipc::open, name), ipc::InterProcessException);
    region.setWord(0, 10);
    region.setWord(1, -5);
    EXPECT_THROW(MessageQueue(ipc::open, name), ipc::InterProcessException);
    region.setWord(1, 768);
    MessageQueue reopened(ipc::open, name);
    EXPECT_EQ(reopened.cellSize(), 768u);

    // A message larger than a cell is refused rather than spilled.
    std::vector<unsigned char> tooBig(769);
    EXPECT_THROW(queue.timed_send(tooBig.data(), tooBig.size(), 0, 10), ipc::InterProcessException);
}

TEST(MessageQueue, AReceiveFromSmallerCellsFillsTheRestOfTheBufferWithZeros) {
    MessageQueue queue(ipc::create, uniqueName("small"), 4, 16);
    ASSERT_TRUE(send(queue, 7));
    Cell cell;
    cell.fill(0xAB);
    ASSERT_TRUE(receive(queue, cell));
    EXPECT_EQ(first(cell), 7);
    EXPECT_EQ(cell[16], 0);
    EXPECT_EQ(cell[767], 0);
}

TEST(QueueNames, AreComposedWithoutSeparators) {
    EXPECT_EQ(ipc::requestQueueName("0", 1), "vtipcreq01");
    EXPECT_EQ(ipc::responseQueueName("0", 1), "vtipcrsp01");
    EXPECT_EQ(ipc::requestQueueName("4711", 9020), "vtipcreq47119020");
    EXPECT_EQ(ipc::responseQueueName("4711", 9020), "vtipcrsp47119020");
    // The id is a signed number, as the launch passes it to the server.
    EXPECT_EQ(ipc::requestQueueName("7", 0x80000001U), "vtipcreq7-2147483647");
    EXPECT_EQ(ipc::responseQueueName("7", 0xFFFFFFFFU), "vtipcrsp7-1");
}

} // namespace
