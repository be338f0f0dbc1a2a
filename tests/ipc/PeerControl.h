#pragma once

// How a transport test and ipc_peer, its second process, hand each other
// stages and texts: a small block in shared memory that the test creates.

#include "TestSupport.h"
#include "ipc/IPCMemoryBuffer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

namespace testing_support {

struct PeerControl {
    std::atomic<std::int32_t> stage;
    std::int32_t value;
    char text[1024];
};

inline PeerControl& control(ipc::IPCMemoryBuffer& buffer) {
    return *reinterpret_cast<PeerControl*>(buffer.data());
}

// The test's control block, which a peer started with `name` opens.
struct ControlBlock {
    std::string name = uniqueName("ctl");
    ipc::IPCMemoryBuffer buffer{ipc::create, name, "", static_cast<int>(sizeof(PeerControl)),
                                ipc::UniqueSuffix::none};
    PeerControl& block = control(buffer);
};

// Polls until the stage reaches `wanted`; false after `timeoutMs`.
inline bool awaitStage(PeerControl& block, std::int32_t wanted, int timeoutMs = 20000) {
    const auto start = Clock::now();
    while (block.stage.load() < wanted) {
        if (millisecondsSince(start) > timeoutMs) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void setText(PeerControl& block, const std::string& text) {
    const std::size_t n = std::min(text.size(), sizeof block.text - 1);
    std::memcpy(block.text, text.data(), n);
    block.text[n] = '\0';
}

} // namespace testing_support
