#include "platform/Terminal.h"

#include <unistd.h>

namespace platform {

bool isTerminal(StandardStream stream) {
    return ::isatty(stream == StandardStream::output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

} // namespace platform
