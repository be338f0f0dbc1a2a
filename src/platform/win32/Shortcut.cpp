#include "platform/Shortcut.h"

#include "platform/win32/Com.h"

#include <windows.h>

#include <shlobj.h>

#include <vector>

namespace platform {

bool createShortcut(const std::string& linkPath, const std::string& targetPath) {
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, nullptr, 0);
    if (wideLength <= 0) {
        return false;
    }
    std::vector<wchar_t> wideLink(static_cast<std::size_t>(wideLength));
    ::MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wideLink.data(), wideLength);

    win32::ComScope com;
    win32::ComPtr<IShellLinkA> link;
    win32::ComPtr<IPersistFile> file;
    return SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IShellLinkA, link.putVoid())) &&
           SUCCEEDED(link->SetPath(targetPath.c_str())) &&
           SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.putVoid())) &&
           SUCCEEDED(file->Save(wideLink.data(), TRUE));
}

} // namespace platform
