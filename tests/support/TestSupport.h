#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class Process;
}

namespace testing_support {

// The path of a helper program built beside the running test.
std::string helperPath(const std::string& program);

// Starts a helper program with the given argument text; fails the test and
// returns null when it cannot be started.
std::shared_ptr<platform::Process> startHelper(const std::string& program,
                                               const std::string& arguments);

// Waits for a helper to end and returns its exit code; fails the test when
// it is still running after `timeoutMs`, and kills it then.
std::uint32_t finishHelper(platform::Process& helper, std::uint32_t timeoutMs = 60000);

// A name no other test process uses at the same time: stem, process id and a
// counter.
std::string uniqueName(const std::string& stem);

} // namespace testing_support
