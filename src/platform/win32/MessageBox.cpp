#include "platform/MessageBox.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

namespace {

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    if (units <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), units);
    return wide;
}

std::string utf8FromWide(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int length = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return std::string();
    }
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

std::wstring windowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

// The text of a message box sits in a static control with this id.
constexpr int kMessageBoxTextId = 0xFFFF;

class Win32MessageBoxWatcher final : public MessageBoxWatcher {
public:
    Win32MessageBoxWatcher() : thread_([this] { run(); }) {}
    ~Win32MessageBoxWatcher() override {
        stop_ = true;
        thread_.join();
    }

    std::vector<MessageBoxRecord> take() override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<MessageBoxRecord> boxes;
        boxes.swap(boxes_);
        return boxes;
    }

private:
    void run() {
        while (!stop_) {
            ::EnumWindows(&Win32MessageBoxWatcher::visit, reinterpret_cast<LPARAM>(this));
            // Forget boxes that are gone, so that a reused handle counts anew.
            for (auto it = handled_.begin(); it != handled_.end();) {
                it = ::IsWindow(*it) ? std::next(it) : handled_.erase(it);
            }
            ::Sleep(5);
        }
    }

    static BOOL CALLBACK visit(HWND window, LPARAM self) {
        reinterpret_cast<Win32MessageBoxWatcher*>(self)->inspect(window);
        return TRUE;
    }

    void inspect(HWND window) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process != ::GetCurrentProcessId() || handled_.count(window) != 0 ||
            !::IsWindowVisible(window)) {
            return;
        }
        wchar_t className[16] = {};
        if (::GetClassNameW(window, className, 16) == 0 || std::wstring(className) != L"#32770") {
            return;
        }
        // A message box: the text control and an OK button. A plug-in's own
        // dialogs (a wait dialog without OK) are left alone.
        HWND textControl = ::GetDlgItem(window, kMessageBoxTextId);
        if (textControl == nullptr || ::GetDlgItem(window, IDOK) == nullptr) {
            return;
        }
        MessageBoxRecord box{utf8FromWide(windowText(window)),
                             utf8FromWide(windowText(textControl))};
        handled_.insert(window);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(std::move(box));
        }
        ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    }

    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<MessageBoxRecord> boxes_;
    std::set<HWND> handled_;
    std::thread thread_;
};

} // namespace

void showMessageBox(void* owner, const std::string& title, const std::string& text) {
    const std::wstring wideTitle = wideFromUtf8(title);
    const std::wstring wideText = wideFromUtf8(text);
    ::MessageBoxW(static_cast<HWND>(owner), wideText.c_str(), wideTitle.c_str(), 0);
}

std::unique_ptr<MessageBoxWatcher> watchMessageBoxes() {
    return std::make_unique<Win32MessageBoxWatcher>();
}

} // namespace platform
