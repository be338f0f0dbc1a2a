#pragma once

namespace platform {

enum class StandardStream { output, error };

// True when the stream reaches a person at a terminal (a console on
// Windows), where a line can be redrawn in place; false for a file, a pipe
// or the null device, where every redraw would pile up as text.
bool isTerminal(StandardStream stream);

} // namespace platform
