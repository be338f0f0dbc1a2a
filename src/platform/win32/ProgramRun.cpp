#include "platform/ProgramRun.h"

#include "platform/win32/Handle.h"

#include <windows.h>

namespace platform {

namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string quotedArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

HANDLE inheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    return ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::optional<std::uint32_t> runProgram(const std::string& path,
                                        const std::vector<std::string>& arguments,
                                        const std::string& outputFile, const std::string& errorFile,
                                        std::uint32_t timeoutMs) {
    std::string commandLine = quotedArgument(path);
    for (const std::string& argument : arguments) {
        commandLine += " " + quotedArgument(argument);
    }
    const win32::Handle output(inheritableFile(outputFile));
    const win32::Handle error(inheritableFile(errorFile));
    if (output.get() == INVALID_HANDLE_VALUE || error.get() == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.get();
    startup.hStdError = error.get();
    PROCESS_INFORMATION started{};
    if (::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         nullptr, &startup, &started) == 0) {
        return std::nullopt;
    }
    const win32::Handle process(started.hProcess);
    const win32::Handle thread(started.hThread);
    if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), INFINITE);
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<std::uint32_t>(code);
}

} // namespace platform
