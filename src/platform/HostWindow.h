#pragma once

#include <memory>

namespace platform {

// A hidden top-level window that stands for a host application's main
// window: owner of the dialogs and message boxes that a plug-in shows.
class HostWindow {
public:
    HostWindow() = default;
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    virtual ~HostWindow() = default;

    // The native handle (an HWND on Windows), never null.
    virtual void* handle() const = 0;
};

std::unique_ptr<HostWindow> createHostWindow();

} // namespace platform
