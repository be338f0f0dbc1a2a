#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// A path in the temporary directory that no other test uses.
std::string temporaryPath(const std::string& stem);

// The whole content of a file, or "" when it cannot be read.
std::string fileText(const std::string& path);

// The text of what `action` throws as a std::exception, or "" when it does
// not throw.
std::string failureOf(const std::function<void()>& action);

// Variables of the environment, as "NAME", "value" pairs.
using Environment = std::vector<std::pair<std::string, std::string>>;

// Sets variables of this process's environment for as long as it lives; a
// program started meanwhile inherits them. Each is removed again afterwards.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(Environment variables);
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

private:
    Environment variables_;
};

} // namespace testing_support
