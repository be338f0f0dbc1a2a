#include "platform/Registry.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace platform {

namespace {

// A 32-bit process on 64-bit Windows must ask for the 64-bit view, where the
// installer wrote.
REGSAM viewFlag() {
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) != 0 && wow64 != FALSE ? KEY_WOW64_64KEY
                                                                                  : 0;
}

using KeyHolder = std::shared_ptr<std::remove_pointer_t<HKEY>>;

KeyHolder holdKey(HKEY key) {
    return {key, [](HKEY open) { ::RegCloseKey(open); }};
}

} // namespace

bool readMachineValue(const std::string& keyPath, const std::string& valueName,
                      std::string& value) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ | viewFlag(), &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    const KeyHolder key = holdKey(opened);
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    // One spare byte keeps a value stored without its NUL readable as text.
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
    if (::RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return false;
    }
    // The reported size counts the terminating NUL; the type is not looked at.
    std::string text(buffer.data(), size);
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    value = text;
    return true;
}

bool writeMachineValue(const std::string& keyPath, const std::string& valueName,
                       const std::string& value) {
    HKEY created = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0,
                          KEY_WRITE | viewFlag(), nullptr, &created, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const KeyHolder key = holdKey(created);
    return ::RegSetValueExA(key.get(), valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool deleteMachineKey(const std::string& keyPath) {
    return ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, keyPath.c_str()) == ERROR_SUCCESS;
}

} // namespace platform
