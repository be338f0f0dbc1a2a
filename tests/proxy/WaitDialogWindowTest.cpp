// The wait dialog as a window under the system's dialog manager (Win64
// only): the box it opens as, how an activation and the focus that follows
// lay it out over its owner, and the property that counts them.

#include "ProxyTestSupport.h"
#include "platform/HostWindow.h"
#include "platform/WaitDialog.h"
#include "resources/ResourceTexts.h"
#include "text/Unicode.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int textId = resources::dialogTextId;
constexpr const wchar_t* countProperty = L"VT_COUNT";

std::wstring wide(const char* utf8) {
    const std::u16string units = text::utf16FromUtf8(utf8);
    return {units.begin(), units.end()};
}

std::wstring windowText(HWND window) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    return text;
}

std::uint32_t countOf(HWND dialog) {
    return static_cast<std::uint32_t>(
        reinterpret_cast<std::uintptr_t>(::GetPropW(dialog, countProperty)));
}

RECT windowRect(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

void shrink(HWND dialog) {
    ::SetWindowPos(dialog, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Moves the focus from the text to the dialog itself: one focus event for
// the dialog, wherever the focus was.
void focusDialog(HWND dialog) {
    ::SetFocus(::GetDlgItem(dialog, textId));
    ::SetFocus(dialog);
}

bool isTiny(HWND dialog) {
    const RECT r = windowRect(dialog);
    return r.left == 0 && r.top == 0 && r.right == 1 && r.bottom == 1;
}

// The dialog's text `lines` + 1 lines high and 50 average characters wide,
// 4 characters and one line into the client area; the dialog 58 characters
// wide and 2 lines higher than the text, centred over its owner. Characters
// are measured in the dialog's own display context.
void expectLaidOut(HWND dialog, int lines) {
    TEXTMETRICW metrics{};
    HDC context = ::GetDC(dialog);
    ASSERT_TRUE(::GetTextMetricsW(context, &metrics));
    ::ReleaseDC(dialog, context);
    const int w = metrics.tmAveCharWidth;
    const int h = metrics.tmHeight;
    ASSERT_GT(w, 0);

    RECT text = windowRect(::GetDlgItem(dialog, textId));
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&text), 2);
    EXPECT_EQ(text.left, 4 * w);
    EXPECT_EQ(text.top, h);
    EXPECT_EQ(text.right - text.left, 50 * w);
    EXPECT_EQ(text.bottom - text.top, (lines + 1) * h);

    const RECT owner = windowRect(::GetWindow(dialog, GW_OWNER));
    const RECT box = windowRect(dialog);
    const int width = 58 * w;
    const int height = (lines + 3) * h;
    EXPECT_EQ(box.right - box.left, width);
    EXPECT_EQ(box.bottom - box.top, height);
    EXPECT_EQ(box.left, owner.left + (owner.right - owner.left - width) / 2);
    EXPECT_EQ(box.top, owner.top + (owner.bottom - owner.top - height) / 2);
}

// Checks the dialog as it opens and counts its activations; `atShownTick`
// runs on the first tick after the dialog was activated and shown.
class Observer final : public platform::WaitDialogEvents {
public:
    // The resource's box, shrunk to 1 x 1 without its border, nothing
    // counted yet.
    void opened(void* handle) override {
        dialog = static_cast<HWND>(handle);
        EXPECT_EQ(windowText(dialog), wide(resources::dialogCaption));
        const std::wstring text = windowText(::GetDlgItem(dialog, textId));
        EXPECT_TRUE(std::any_of(std::begin(resources::languageTexts),
                                std::end(resources::languageTexts),
                                [&text](const resources::LanguageTexts& language) {
                                    return wide(language.dialogText) == text;
                                }))
            << "the text of one of the template's languages";
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)) &
                      (WS_BORDER | WS_THICKFRAME),
                  0U);
        EXPECT_TRUE(isTiny(dialog));
        EXPECT_EQ(countOf(dialog), 0U);
    }
    void activated() override { countsAtActivation.push_back(countOf(dialog)); }
    void tick() override {
        // The dialog manager may activate the dialog before it shows it, and
        // shows it when its modal loop first finds nothing to do: that may
        // come after a tick.
        if (atShownTick && !countsAtActivation.empty() && ::IsWindowVisible(dialog)) {
            const std::function<void()> act = std::move(atShownTick);
            atShownTick = nullptr;
            act();
        }
    }

    HWND dialog = nullptr;
    std::vector<std::uint32_t> countsAtActivation;
    std::function<void()> atShownTick;
};

TEST(WaitDialogWindow, OpensTinyAndIsLaidOutOverItsOwnerAtTheFocusAfterAnActivation) {
    const testing_support::Watchdog watchdog(std::chrono::seconds(60), "the wait dialog window");
    const std::unique_ptr<platform::HostWindow> owner = platform::createHostWindow();
    ASSERT_TRUE(owner);
    Observer events;
    events.atShownTick = [&events] {
        HWND dialog = events.dialog;
        EXPECT_EQ(events.countsAtActivation, std::vector<std::uint32_t>{1})
            << "shown, it was activated once";
        // The focus that follows lays it out for the text it holds.
        struct Case {
            int length;
            int lines;
        };
        for (const Case& c : {Case{120, 2}, Case{49, 0}, Case{50, 1}, Case{150, 3}}) {
            SCOPED_TRACE(c.length);
            ::SetDlgItemTextW(dialog, textId, std::wstring(c.length, L'x').c_str());
            shrink(dialog);
            const std::uint32_t before = countOf(dialog);
            focusDialog(dialog);
            EXPECT_EQ(countOf(dialog), before + 1);
            expectLaidOut(dialog, c.lines);
        }

        // A deactivation changes nothing; an activation by a click counts.
        const std::uint32_t before = countOf(dialog);
        ::SendMessageW(dialog, WM_ACTIVATE, WA_INACTIVE, 0);
        EXPECT_EQ(countOf(dialog), before);
        ::SendMessageW(dialog, WM_ACTIVATE, WA_CLICKACTIVE, 0);
        EXPECT_EQ(events.countsAtActivation, (std::vector<std::uint32_t>{1, before + 1}));

        // A focus with nothing counted only starts the count.
        ::SetPropW(dialog, countProperty, nullptr);
        shrink(dialog);
        focusDialog(dialog);
        EXPECT_EQ(countOf(dialog), 1U);
        EXPECT_TRUE(isTiny(dialog));

        // Only the whole command IDOK ends the dialog.
        ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
        EXPECT_TRUE(::IsWindowVisible(dialog));
        platform::endWaitDialog(dialog, 7);
    };
    EXPECT_EQ(platform::runWaitDialog(owner->handle(), events), 7);
}

} // namespace
