#include "platform/Terminal.h"

#include <windows.h>

namespace platform {

bool isTerminal(StandardStream stream) {
    HANDLE handle =
        ::GetStdHandle(stream == StandardStream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    // The null device is a character device too; only a console has a mode.
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode) != 0;
}

} // namespace platform
