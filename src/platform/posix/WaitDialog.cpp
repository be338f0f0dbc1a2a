#include "platform/WaitDialog.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace platform {

namespace {

constexpr std::chrono::milliseconds kTickPeriod(10);

// The modal wait that stands for the dialog. Its address is the dialog's
// handle while it is shown.
struct PosixWaitDialog {
    bool ended = false;
    bool okPressed = false;
    int result = 0;
    PosixWaitDialog* outer = nullptr;
};

// Guards every dialog's fields and the chain of shown dialogs: the user's
// OK may come from another thread.
std::mutex gDialogsMutex;
std::condition_variable gDialogsChanged;
// The innermost shown dialog; a dialog shown from an event of another one
// stacks on it.
PosixWaitDialog* gShown = nullptr;

bool isShown(const PosixWaitDialog* dialog) {
    for (const PosixWaitDialog* shown = gShown; shown != nullptr; shown = shown->outer) {
        if (shown == dialog) {
            return true;
        }
    }
    return false;
}

// With gDialogsMutex held. The first end decides the result.
void endLocked(PosixWaitDialog& dialog, int result) {
    if (!dialog.ended) {
        dialog.ended = true;
        dialog.result = result;
    }
    gDialogsChanged.notify_all();
}

// Runs one event unless an earlier one failed; a failure ends the dialog.
template <typename Event>
void deliver(PosixWaitDialog& dialog, std::exception_ptr& failure, Event event) {
    if (failure) {
        return;
    }
    try {
        event();
    } catch (...) {
        failure = std::current_exception();
        const std::lock_guard<std::mutex> lock(gDialogsMutex);
        endLocked(dialog, 0);
    }
}

// Waits one timer period, or less when the dialog ends or the user presses
// OK. True while the dialog goes on.
bool nextTick(PosixWaitDialog& dialog) {
    std::unique_lock<std::mutex> lock(gDialogsMutex);
    gDialogsChanged.wait_for(lock, kTickPeriod,
                             [&dialog] { return dialog.ended || dialog.okPressed; });
    if (dialog.okPressed) {
        endLocked(dialog, 0);
    }
    return !dialog.ended;
}

} // namespace

int runWaitDialog(void* /*owner*/, WaitDialogEvents& events) {
    PosixWaitDialog dialog;
    {
        const std::lock_guard<std::mutex> lock(gDialogsMutex);
        dialog.outer = gShown;
        gShown = &dialog;
    }
    std::exception_ptr failure;
    deliver(dialog, failure, [&] { events.opened(&dialog); });
    // A freshly shown window is activated once.
    deliver(dialog, failure, [&] { events.activated(); });
    while (nextTick(dialog)) {
        deliver(dialog, failure, [&] { events.tick(); });
    }
    {
        const std::lock_guard<std::mutex> lock(gDialogsMutex);
        gShown = dialog.outer;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return dialog.result;
}

void endWaitDialog(void* dialog, int result) {
    const std::lock_guard<std::mutex> lock(gDialogsMutex);
    auto* shown = static_cast<PosixWaitDialog*>(dialog);
    if (isShown(shown)) {
        endLocked(*shown, result);
    }
}

bool pressWaitDialogOk() {
    const std::lock_guard<std::mutex> lock(gDialogsMutex);
    if (gShown == nullptr) {
        return false;
    }
    gShown->okPressed = true;
    gDialogsChanged.notify_all();
    return true;
}

} // namespace platform
