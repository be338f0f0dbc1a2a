#include "plugin/ErrorMessage.h"

#include "platform/MessageBox.h"

namespace plugin {

void ShowErrorMessage(const std::string& title, const std::string& text, void* owner) {
    platform::showMessageBox(owner, title, text);
}

} // namespace plugin
