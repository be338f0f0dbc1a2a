#include "platform/Process.h"

#include "platform/win32/Com.h"
#include "platform/win32/Handle.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

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

LaunchResult shellExecute(const std::string& file, const std::string& parameters,
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

    LaunchResult result;
    if (::ShellExecuteExA(&info) == 0) {
        result.error = ::GetLastError();
        return result;
    }
    if (info.hProcess == nullptr) {
        // Started through something that hands out no process (a document
        // server, say): there is nothing to watch.
        result.error = ERROR_INVALID_HANDLE;
        return result;
    }
    result.process = std::make_shared<Win32Process>(info.hProcess, ::GetProcessId(info.hProcess));
    return result;
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
    if (!endsWithLinkExtension(path)) {
        return shellExecute(path, arguments, std::string());
    }
    // Under Wine the shell starts a shortcut's target but hands back no
    // process handle, and without one the server's channel cannot be named.
    // So the shortcut is resolved here and its target started directly, with
    // the shortcut's own arguments first, as the shell would pass them.
    ResolvedLink link;
    LaunchResult result;
    result.error = resolveLink(path, link);
    if (result.error != 0) {
        return result;
    }
    const std::string combined =
        link.arguments.empty() ? arguments : link.arguments + " " + arguments;
    return shellExecute(link.target, combined, link.directory);
}

} // namespace platform
