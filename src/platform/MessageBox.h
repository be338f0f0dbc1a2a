#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// Shows a message box with an OK button and no icon, owned by `owner` (a
// window handle or null), and returns when the user closed it. Title and text
// are UTF-8.
//
// Without a screen (POSIX) the box is recorded instead: appended to the file
// named by SOLVANTA_MESSAGE_BOX_LOG when that is set, else written to the
// standard error stream.
void showMessageBox(void* owner, const std::string& title, const std::string& text);

struct MessageBoxRecord {
    std::string title;
    std::string text;
};

// Lets a host stand-in or a test see every message box that code in this
// process shows, without a window that blocks: on Windows the boxes are
// read and closed as they appear, on POSIX they are collected through
// SOLVANTA_MESSAGE_BOX_LOG. One watcher at a time.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() = default;
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    virtual ~MessageBoxWatcher() = default;

    // The boxes shown since the last call, oldest first.
    virtual std::vector<MessageBoxRecord> take() = 0;
};

std::unique_ptr<MessageBoxWatcher> watchMessageBoxes();

} // namespace platform
