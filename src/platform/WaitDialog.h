#pragma once

namespace platform {

// What the wait dialog asks of the code that shows it. The events arrive on
// the thread that runs the dialog, inside its modal loop.
class WaitDialogEvents {
public:
    WaitDialogEvents() = default;
    WaitDialogEvents(const WaitDialogEvents&) = delete;
    WaitDialogEvents& operator=(const WaitDialogEvents&) = delete;
    virtual ~WaitDialogEvents() = default;

    // The dialog exists; `dialog` is its handle (an HWND on Windows) until
    // runWaitDialog returns.
    virtual void opened(void* dialog) = 0;
    // Every tick of the dialog's 10 ms timer.
    virtual void tick() = 0;
    // The dialog became the active window, by the system or by a click. It
    // is activated once when it first shows.
    virtual void activated() = 0;
};

// Shows the library's wait dialog (template 101 of moduleHandle()), owned by
// `owner`, and returns the result given to endWaitDialog, 0 when the user
// pressed OK, or -1 when the dialog could not be shown. An exception thrown
// by an event never crosses the dialog's procedure: it is remembered, the
// dialog ends without further events, and runWaitDialog throws it again.
//
// Without windows (POSIX) the dialog is a modal wait on the calling thread
// that behaves the same: one activation when it opens, then a tick every
// 10 ms until it ends.
int runWaitDialog(void* owner, WaitDialogEvents& events);

// Ends the dialog `dialog` with `result`. Null, or a dialog that has gone
// already, is ignored.
void endWaitDialog(void* dialog, int result);

// What the user does by pressing Enter in the wait dialog shown in this
// process: it ends with 0. For a host stand-in or a test, from any thread.
// False when no wait dialog is shown; the press is not kept for a later one.
bool pressWaitDialogOk();

} // namespace platform
