#pragma once

#include "ipc/IPCMemoryBuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

// A small block in shared memory through which a test and its peer process
// hand each other stages and texts.
struct PeerControl {
    std::atomic<std::int32_t> stage;
    std::int32_t value;
    char text[1024];
};

inline PeerControl& control(ipc::IPCMemoryBuffer& buffer) {
    return *reinterpret_cast<PeerControl*>(buffer.data());
}

// Polls until the stage reaches `wanted`; false after `timeoutMs`.
inline bool awaitStage(PeerControl& block, std::int32_t wanted, int timeoutMs = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (block.stage.load() < wanted) {
        if (std::chrono::steady_clock::now() > deadline) {
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
