#pragma once

#include <string>

namespace plugin {

// The plug-in's one message box: an OK button, no icon, owned by `owner` (a
// window handle or null). Title and text are UTF-8; the box shows them as
// UTF-16. Returns when the user closed the box.
void ShowErrorMessage(const std::string& title, const std::string& text, void* owner);

} // namespace plugin
