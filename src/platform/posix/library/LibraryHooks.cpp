// Linked into the plug-in library itself, not taken from the platform
// library: the loader runs the constructor and destructor functions of the
// shared object that defines them.

#include "platform/LibraryHooks.h"
#include "platform/Module.h"

#include <dlfcn.h>

namespace {

platform::LibraryUnloadHandler unloadHandler = nullptr;

// The module handle is the load address, found from any address inside it.
__attribute__((constructor)) void libraryLoaded() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&libraryLoaded), &info) != 0) {
        platform::setModuleHandle(info.dli_fbase);
    }
}

// Runs at dlclose and at exit, before the library's static destructors.
__attribute__((destructor)) void libraryUnloading() {
    if (unloadHandler != nullptr) {
        unloadHandler();
    }
}

} // namespace

namespace platform {

void setLibraryUnloadHandler(LibraryUnloadHandler handler) noexcept {
    unloadHandler = handler;
}

} // namespace platform
