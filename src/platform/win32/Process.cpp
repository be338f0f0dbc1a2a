#include "platform/Process.h"

#include "platform/Path.h"
#include "platform/win32/Com.h"
#include "platform/win32/Handle.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace platform {

namespace {

static_assert(sizeof(SHELLEXECUTEINFOA) == 112, "the launch fills the 64-bit structure");

class Win32Process final : public Process {
public:
    Win32Process(HANDLE handle, std::uint32_t pid) : handle_(handle), pid_(pid) {}

    [[nodiscard]] std::uint32_t id() const override { return pid_; }

    bool exitCode(std::uint32_t& code) override {
        DWORD value = 0;
        if (::GetExitCodeProcess(handle_.get(), &value) == 0) {
            return false;
        }
        code = value;
        return true;
    }

    bool waitForExit(std::uint32_t timeoutMs) override {
        return ::WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
    }

    bool terminate(std::uint32_t exitCode) override {
        return ::TerminateProcess(handle_.get(), exitCode) != 0;
    }

private:
    win32::Handle handle_;
    std::uint32_t pid_;
};

bool endsWithLinkExtension(const std::string& path) {
    static const std::string extension = ".lnk";
    if (path.size() < extension.size()) {
        return false;
    }
    return std::equal(extension.rbegin(), extension.rend(), path.rbegin(),
                      [](char expected, char actual) {
                          return expected == std::tolower(static_cast<unsigned char>(actual));
                      });
}

std::uint32_t errorOf(HRESULT result) {
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                      : static_cast<std::uint32_t>(result);
}

struct ResolvedLink {
    std::string target;
    std::string arguments;
    std::string directory;
};

// What the shell would start for a shortcut: its target, arguments and
// working directory. Zero, or the failure as a system error code.
std::uint32_t resolveLink(const std::string& linkPath, ResolvedLink& resolved) {
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, nullptr, 0);
    if (wideLength <= 0) {
        return ::GetLastError();
    }
    std::vector<wchar_t> wideLink(static_cast<std::size_t>(wideLength));
    ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wideLink.data(), wideLength);

    win32::ComScope com;
    win32::ComPtr<IShellLinkA> link;
    win32::ComPtr<IPersistFile> file;
    HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, link.putVoid());
    if (SUCCEEDED(result)) {
        result = link->QueryInterface(IID_IPersistFile, file.putVoid());
    }
    if (SUCCEEDED(result)) {
        result = file->Load(wideLink.data(), STGM_READ);
    }
    char raw[MAX_PATH] = {};
    if (SUCCEEDED(result)) {
        result = link->GetPath(raw, MAX_PATH, nullptr, SLGP_RAWPATH);
    }
    if (FAILED(result)) {
        return errorOf(result);
    }
    if (result != S_OK || raw[0] == '\0') {
        return ERROR_FILE_NOT_FOUND; // a link to no file
    }
    // The raw path may hold environment variables, which the shell expands.
    char expanded[MAX_PATH] = {};
    const DWORD length = ::ExpandEnvironmentStringsA(raw, expanded, MAX_PATH);
    resolved.target = length > 0 && length <= MAX_PATH ? expanded : raw;

    char arguments[INFOTIPSIZE] = {};
    if (SUCCEEDED(link->GetArguments(arguments, INFOTIPSIZE))) {
        resolved.arguments = arguments;
    }
    char directory[MAX_PATH] = {};
    if (SUCCEEDED(link->GetWorkingDirectory(directory, MAX_PATH))) {
        resolved.directory = directory;
    }
    return 0;
}

struct ShellLaunch {
    bool started = false;     // the shell reported success
    HANDLE process = nullptr; // what it handed back, if anything
    std::uint32_t error = 0;  // the system's error code when it failed
};

ShellLaunch shellExecute(const std::string& file, const std::string& parameters,
                         const std::string& directory) {
    win32::ComScope com;
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;

    ShellLaunch launch;
    launch.started = ::ShellExecuteExA(&info) != 0;
    if (!launch.started) {
        launch.error = ::GetLastError();
        return launch;
    }
    launch.process = info.hProcess;
    return launch;
}

LaunchResult resultOf(const ShellLaunch& launch) {
    LaunchResult result;
    if (launch.process != nullptr) {
        result.process =
            std::make_shared<Win32Process>(launch.process, ::GetProcessId(launch.process));
    } else {
        // Started through something that hands out no process (a document
        // server, say): there is nothing to watch.
        result.error = launch.started ? ERROR_INVALID_HANDLE : launch.error;
    }
    return result;
}

bool sameFileName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::uint64_t ticksOf(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// The newest child of this process that runs `program` and was created at
// `since` or later: what a shell that started a shortcut without handing back
// its process (Wine's does so) has started. Null when there is none.
std::shared_ptr<Process> childStartedSince(const FILETIME& since, const std::string& program) {
    HANDLE taken = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (taken == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const win32::Handle snapshot(taken);
    const DWORD self = ::GetCurrentProcessId();
    HANDLE newest = nullptr;
    DWORD newestId = 0;
    std::uint64_t newestTime = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more != FALSE;
         more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID != self || !sameFileName(entry.szExeFile, program)) {
            continue;
        }
        HANDLE candidate =
            ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                          entry.th32ProcessID);
        if (candidate == nullptr) {
            continue;
        }
        FILETIME created{};
        FILETIME unused{};
        if (::GetProcessTimes(candidate, &created, &unused, &unused, &unused) == 0 ||
            ticksOf(created) < ticksOf(since) || ticksOf(created) < newestTime) {
            ::CloseHandle(candidate);
            continue;
        }
        if (newest != nullptr) {
            ::CloseHandle(newest);
        }
        newest = candidate;
        newestId = entry.th32ProcessID;
        newestTime = ticksOf(created);
    }
    if (newest == nullptr) {
        return nullptr;
    }
    return std::make_shared<Win32Process>(newest, newestId);
}

} // namespace

std::uint32_t currentProcessId() {
    return ::GetCurrentProcessId();
}

std::shared_ptr<Process> openProcess(std::uint32_t pid) {
    HANDLE handle =
        ::OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    if (handle == nullptr) {
        // A process of another user may still tell whether it runs.
        handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    }
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_shared<Win32Process>(handle, pid);
}

LaunchResult launch(const std::string& path, const std::string& arguments) {
    // The shell starts a shortcut itself, so that the shortcut's own
    // settings, an installer's advertised shortcut and elevation behave as
    // they do for the user.
    FILETIME before{};
    ::GetSystemTimeAsFileTime(&before);
    const ShellLaunch launched = shellExecute(path, arguments, std::string());
    if (launched.process != nullptr || !launched.started || !endsWithLinkExtension(path)) {
        return resultOf(launched);
    }
    // Wine's shell starts a shortcut's target as our child but hands back no
    // process, and without one the server's channel cannot be named. Take the
    // child it started; only when there is none start the target ourselves,
    // with the shortcut's own arguments first, as the shell would pass them.
    ResolvedLink link;
    LaunchResult result;
    result.error = resolveLink(path, link);
    if (result.error != 0) {
        return result;
    }
    if (std::shared_ptr<Process> child =
            childStartedSince(before, platform::fileNameOf(link.target))) {
        result.error = 0;
        result.process = std::move(child);
        return result;
    }
    const std::string combined =
        link.arguments.empty() ? arguments : link.arguments + " " + arguments;
    return resultOf(shellExecute(link.target, combined, link.directory));
}

} // namespace platform
