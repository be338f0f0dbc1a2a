#include "TestSupport.h"

#include "platform/Environment.h"
#include "platform/Module.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

std::string helperPath(const std::string& program) {
    std::string self;
    if (!platform::moduleFileName(self, 4096)) {
        ADD_FAILURE() << "cannot find the path of the running test";
        return program;
    }
    const std::size_t separator = self.rfind(platform::kPathSeparator);
    const std::string directory = separator == std::string::npos ? "." : self.substr(0, separator);
    return directory + platform::kPathSeparator + program + platform::kExecutableSuffix;
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

} // namespace testing_support
