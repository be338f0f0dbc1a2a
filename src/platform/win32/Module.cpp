#include "platform/Module.h"

#include <windows.h>

#include <vector>

namespace platform {

const char kPathSeparator = '\\';
const char* const kPathSeparators = "\\/";
const char* const kExecutableSuffix = ".exe";

namespace {

// Any address inside this code finds the module that holds it.
const char anchor = 0;

HMODULE& storedHandle() {
    static HMODULE handle = nullptr;
    return handle;
}

} // namespace

void setModuleHandle(void* handle) {
    storedHandle() = static_cast<HMODULE>(handle);
}

void* moduleHandle() {
    if (storedHandle() != nullptr) {
        return storedHandle();
    }
    HMODULE module = nullptr;
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             &anchor, &module) == 0) {
        return nullptr;
    }
    return module;
}

bool moduleFileName(std::string& path, std::size_t maxLength) {
    const auto module = static_cast<HMODULE>(moduleHandle());
    if (module == nullptr || maxLength == 0 || maxLength > MAXDWORD) {
        return false;
    }
    std::vector<char> buffer(maxLength);
    const DWORD length =
        ::GetModuleFileNameA(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    // A full buffer means the name was cut short.
    if (length == 0 || length >= buffer.size()) {
        return false;
    }
    path.assign(buffer.data(), length);
    return true;
}

} // namespace platform
