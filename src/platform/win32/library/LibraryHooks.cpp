// Linked into the plug-in library itself, not taken from the platform
// library: the system calls DllMain of the module that defines it.

#include "platform/LibraryHooks.h"
#include "platform/Module.h"

#include <windows.h>

namespace {

platform::LibraryUnloadHandler unloadHandler = nullptr;

} // namespace

namespace platform {

void setLibraryUnloadHandler(LibraryUnloadHandler handler) noexcept {
    unloadHandler = handler;
}

} // namespace platform

// The runtime calls this before it runs the library's static destructors, so
// the handler still finds every static alive.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        platform::setModuleHandle(instance);
        break;
    case DLL_PROCESS_DETACH:
        if (unloadHandler != nullptr) {
            unloadHandler();
        }
        break;
    default:
        break;
    }
    return TRUE;
}
