#include "TestSupport.h"

#include "platform/Environment.h"
#include "platform/EventObject.h"
#include "platform/Module.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

std::string testDirectory() {
    std::string self;
    if (!platform::moduleFileName(self, 4096)) {
        ADD_FAILURE() << "cannot find the path of the running test";
        return ".";
    }
    return std::filesystem::path(self).parent_path().string();
}

std::string besideTest(const std::string& file) {
    return (std::filesystem::path(testDirectory()) / file).string();
}

std::string helperPath(const std::string& program) {
    return besideTest(program + platform::kExecutableSuffix);
}

std::shared_ptr<platform::Process> startHelper(const std::string& program,
                                               const std::string& arguments) {
    const std::string path = helperPath(program);
    platform::LaunchResult launched = platform::launch(path, arguments);
    if (!launched.process) {
        ADD_FAILURE() << "cannot start " << path << " (error " << launched.error << ")";
    }
    return launched.process;
}

std::uint32_t finishHelper(platform::Process& helper, std::uint32_t timeoutMs) {
    if (!helper.waitForExit(timeoutMs)) {
        ADD_FAILURE() << "helper " << helper.id() << " still running after " << timeoutMs << " ms";
        helper.terminate(1);
        helper.waitForExit(10000);
    }
    std::uint32_t code = 0;
    if (!helper.exitCode(code)) {
        ADD_FAILURE() << "cannot read the exit code of helper " << helper.id();
    }
    return code;
}

std::string uniqueName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + std::to_string(platform::currentProcessId()) + "x" + std::to_string(counter++);
}

std::string temporaryPath(const std::string& stem) {
    return (std::filesystem::temp_directory_path() / uniqueName(stem)).string();
}

TemporaryDirectory::TemporaryDirectory(const std::string& stem) : path_(temporaryPath(stem)) {
    std::filesystem::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TemporaryDirectory::file(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) {
        text << file.rdbuf();
    }
    return text.str();
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}

ScopedEnvironment::ScopedEnvironment(Environment variables) : variables_(std::move(variables)) {
    for (const auto& [name, value] : variables_) {
        EXPECT_TRUE(platform::setEnvironmentVariable(name, value)) << name;
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& variable : variables_) {
        platform::setEnvironmentVariable(variable.first, std::string());
    }
}

Watchdog::Watchdog(std::chrono::milliseconds limit, std::string what)
    : thread_([this, limit, what = std::move(what)] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!disarmed_.wait_for(lock, limit, [this] { return done_; })) {
              std::fprintf(stderr, "FAILED: %s did not finish within %lld ms\n", what.c_str(),
                           static_cast<long long>(limit.count()));
              std::fflush(stderr);
              std::_Exit(EXIT_FAILURE);
          }
      }) {}

Watchdog::Watchdog(std::chrono::milliseconds limit)
    : Watchdog(limit, ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

Watchdog::~Watchdog() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    disarmed_.notify_all();
    thread_.join();
}

bool signalEvent(const std::string& name) {
    const auto event = platform::createEvent(name);
    if (!event) {
        return false;
    }
    event->set();
    return true;
}

int runHelperCommand(int argc, char** argv, const std::vector<HelperCommand>& commands, int usage) {
    if (argc < 2) {
        return usage;
    }
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    for (const HelperCommand& command : commands) {
        if (std::strcmp(argv[1], command.name) == 0 && arguments.size() >= command.arguments) {
            try {
                return command.run(arguments);
            } catch (const std::exception& failure) {
                std::fprintf(stderr, "%s %s: %s\n", argv[0], argv[1], failure.what());
                return usage;
            }
        }
    }
    std::fprintf(stderr, "%s: unknown command or too few arguments\n", argv[0]);
    return usage;
}

} // namespace testing_support
