#include "platform/Module.h"

#include <climits>
#include <cstdlib>

#include <dlfcn.h>
#include <link.h>

namespace platform {

const char kPathSeparator = '/';
const char* const kPathSeparators = "/";
const char* const kExecutableSuffix = "";

namespace {

// Any address inside this code finds the module that holds it.
const char anchor = 0;

void*& storedHandle() {
    static void* handle = nullptr;
    return handle;
}

} // namespace

// A module handle here is the module's load address, which is what an
// HMODULE is on Windows too.
void setModuleHandle(void* handle) {
    storedHandle() = handle;
}

void* moduleHandle() {
    if (storedHandle() != nullptr) {
        return storedHandle();
    }
    Dl_info info{};
    return ::dladdr(&anchor, &info) != 0 ? info.dli_fbase : nullptr;
}

bool moduleFileName(std::string& path, std::size_t maxLength) {
    const void* address = storedHandle() != nullptr ? storedHandle() : &anchor;
    Dl_info info{};
    link_map* module = nullptr;
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) == 0 ||
        module == nullptr) {
        return false;
    }
    // The main program's entry has no name; the kernel knows its path.
    const char* file = module->l_name[0] == '\0' ? "/proc/self/exe" : module->l_name;
    char resolved[PATH_MAX];
    if (::realpath(file, resolved) == nullptr) {
        return false;
    }
    const std::string full = resolved;
    // Room for the terminating NUL, as a Windows buffer of maxLength needs.
    if (full.size() + 1 > maxLength) {
        return false;
    }
    path = full;
    return true;
}

} // namespace platform
