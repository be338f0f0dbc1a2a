#include "platform/HostWindow.h"

#include <windows.h>

namespace platform {

namespace {

constexpr const wchar_t* kWindowClass = L"SolvantaHostWindow";

ATOM registerWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&windowClass);
}

class Win32HostWindow final : public HostWindow {
public:
    explicit Win32HostWindow(HWND window) : window_(window) {}
    ~Win32HostWindow() override { ::DestroyWindow(window_); }

    void* handle() const override { return window_; }

private:
    HWND window_;
};

} // namespace

std::unique_ptr<HostWindow> createHostWindow() {
    static const ATOM windowClass = registerWindowClass();
    if (windowClass == 0) {
        return nullptr;
    }
    // Never shown: it only owns the plug-in's dialogs and message boxes.
    HWND window = ::CreateWindowExW(0, kWindowClass, L"Solvanta Host", WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32HostWindow>(window);
}

} // namespace platform
