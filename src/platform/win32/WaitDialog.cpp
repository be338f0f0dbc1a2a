#include "platform/WaitDialog.h"

#include "platform/Module.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>

namespace platform {

namespace {

constexpr WORD kTemplateId = 101;
constexpr int kTextControlId = 100;
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTickPeriodMs = 10;
// Counts activations and focus events; the first focus after an activation
// finds it non-zero and lays the dialog out.
constexpr const wchar_t* kCountProperty = L"VT_COUNT";
constexpr int kTextLength = 1024;
// The layout, in the average width and the height of the dialog's
// characters: the text 50 characters wide, 4 in from the left and one line
// down; the box 58 characters wide and two lines higher than the text.
constexpr int kCharactersPerLine = 50;
constexpr int kTextLeft = 4;
constexpr int kDialogWidth = 58;
constexpr int kDialogExtraLines = 2;

// One showing of the dialog, handed to its procedure through WM_INITDIALOG.
struct DialogRun {
    explicit DialogRun(WaitDialogEvents& e) : events(e) {}
    WaitDialogEvents& events;
    std::exception_ptr failure;
};

// The dialog that pressWaitDialogOk presses, read from any thread.
std::atomic<HWND> gShown{nullptr};

std::uint32_t countOf(HWND dialog) {
    return static_cast<std::uint32_t>(
        reinterpret_cast<std::uintptr_t>(::GetPropW(dialog, kCountProperty)));
}

void setCount(HWND dialog, std::uint32_t count) {
    ::SetPropW(dialog, kCountProperty,
               reinterpret_cast<HANDLE>( // NOLINT(performance-no-int-to-ptr)
                   static_cast<std::uintptr_t>(count)));
}

// Runs one event unless an earlier one failed. No exception may unwind
// through the system's dialog code: a failure is kept for runWaitDialog and
// ends the dialog.
template <typename Event> void deliver(HWND dialog, DialogRun* run, Event event) {
    if (run == nullptr || run->failure) {
        return;
    }
    try {
        event(*run);
    } catch (...) {
        run->failure = std::current_exception();
        ::EndDialog(dialog, 0);
    }
}

// Sizes the text to whole lines of its length and centres the dialog over
// its owner, all in the dialog's average character width and height.
void layOut(HWND dialog) {
    wchar_t text[kTextLength] = {};
    const int length =
        static_cast<int>(::GetDlgItemTextW(dialog, kTextControlId, text, kTextLength));
    TEXTMETRICW metrics{};
    HDC context = ::GetDC(dialog);
    ::GetTextMetricsW(context, &metrics);
    ::ReleaseDC(dialog, context);
    const int width = metrics.tmAveCharWidth;
    const int height = metrics.tmHeight;
    const int lines = width > 0 ? length * width / (kCharactersPerLine * width) : 0;
    ::SetWindowPos(::GetDlgItem(dialog, kTextControlId), nullptr, kTextLeft * width, height,
                   kCharactersPerLine * width, (lines + 1) * height, SWP_NOZORDER);

    RECT owner{};
    ::GetWindowRect(::GetWindow(dialog, GW_OWNER), &owner);
    const int dialogWidth = kDialogWidth * width;
    const int dialogHeight = (lines + 1 + kDialogExtraLines) * height;
    ::SetWindowPos(dialog, nullptr, owner.left + (owner.right - owner.left - dialogWidth) / 2,
                   owner.top + (owner.bottom - owner.top - dialogHeight) / 2, dialogWidth,
                   dialogHeight, SWP_NOZORDER);
}

void initialise(HWND dialog, DialogRun* run) {
    // Borderless and 1 x 1 in the screen's corner until it is laid out.
    const auto style = static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE));
    ::SetWindowLongW(dialog, GWL_STYLE, static_cast<LONG>(style & ~(WS_BORDER | WS_THICKFRAME)));
    ::SetWindowPos(dialog, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ::SetTimer(dialog, kTimerId, kTickPeriodMs, nullptr);
    setCount(dialog, 0);
    gShown = dialog;
    deliver(dialog, run, [dialog](DialogRun& r) { r.events.opened(dialog); });
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    }
    auto* run = reinterpret_cast<DialogRun*>( // NOLINT(performance-no-int-to-ptr)
        ::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog, run);
        return TRUE;
    case WM_TIMER:
        deliver(dialog, run, [](DialogRun& r) { r.events.tick(); });
        return TRUE;
    case WM_COMMAND:
        // The whole parameter: a notification code in its high word is not OK.
        if (wParam == IDOK) {
            ::EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_ACTIVATE:
        if (wParam == WA_ACTIVE || wParam == WA_CLICKACTIVE) {
            setCount(dialog, countOf(dialog) + 1);
            deliver(dialog, run, [](DialogRun& r) { r.events.activated(); });
        }
        return TRUE;
    case WM_SETFOCUS: {
        const std::uint32_t count = countOf(dialog);
        if (count != 0) {
            layOut(dialog);
        }
        setCount(dialog, count == 0 ? 1 : count + 1);
        return FALSE;
    }
    case WM_DESTROY:
        ::RemovePropW(dialog, kCountProperty);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

int runWaitDialog(void* owner, WaitDialogEvents& events) {
    DialogRun run(events);
    HWND outer = gShown;
    const INT_PTR result = ::DialogBoxParamW(
        static_cast<HINSTANCE>(moduleHandle()), MAKEINTRESOURCEW(kTemplateId),
        static_cast<HWND>(owner), &dialogProcedure, reinterpret_cast<LPARAM>(&run));
    gShown = outer;
    if (run.failure) {
        std::rethrow_exception(run.failure);
    }
    return static_cast<int>(result);
}

void endWaitDialog(void* dialog, int result) {
    ::EndDialog(static_cast<HWND>(dialog), result);
}

bool pressWaitDialogOk() {
    HWND dialog = gShown;
    return dialog != nullptr && ::PostMessageW(dialog, WM_COMMAND, IDOK, 0) != 0;
}

} // namespace platform
