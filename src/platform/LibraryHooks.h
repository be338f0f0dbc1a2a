#pragma once

namespace platform {

using LibraryUnloadHandler = void (*)();

// Records the function that the library's unload hook calls when the system
// unloads the library that holds this code (also at process exit). The hook
// sources are linked into the plug-in library itself: a library built
// without them never calls the handler.
void setLibraryUnloadHandler(LibraryUnloadHandler handler) noexcept;

} // namespace platform
