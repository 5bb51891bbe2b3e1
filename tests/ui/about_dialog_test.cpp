// The version box (dialog 100) as the user sees it, in the language Windows picked.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resource.h"
#include "version.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using test::ClientRectOf;
using test::DialogUnits;
using test::RunSoon;
using test::WindowTextUtf8;
using ui::CAboutDlg;

struct AboutLayout {
    const char* caption;
    SIZE size;
    RECT icon; // x, y, width, height in dialog units (stored as left, top, right = width, bottom = height)
    RECT text;
    RECT ok;
};

const AboutLayout kEnglish{
    "Glimmerfen Checker - information", {246, 55}, {11, 17, 20, 20}, {40, 10, 196, 8}, {188, 34, 50, 14}};
const AboutLayout kJapanese{"Glimmerfen Checker - \xEF\xBE\x8A\xEF\xBE\x9E\xEF\xBD\xB0\xEF\xBD\xBC\xEF\xBE\x9E"
                            "\xEF\xBD\xAE\xEF\xBE\x9D\xE6\x83\x85\xE5\xA0\xB1", // ﾊﾞｰｼﾞｮﾝ情報
                            {235, 55},
                            {11, 17, 20, 20},
                            {41, 7, 182, 8},
                            {178, 34, 50, 14}};
// The version of the VERSION file after the words of the original box (two spaces before "Version").
const char kVersionText[] = "Glimmerfen Checker for NT Technology  Version " GF_VERSION_TEXT;

const AboutLayout& Expected() {
    return test::JapaneseUi() ? kJapanese : kEnglish;
}

// Checks a control's place against the template's dialog units, converted the way the dialog
// manager does it: position and size each on their own (so the right edge may differ by rounding
// from a converted right edge).
void ExpectPlaced(HWND box, HWND control, const RECT& units, bool checkSize, const char* what) {
    const RECT at = ClientRectOf(control);
    const RECT origin = DialogUnits(box, units.left, units.top, 0, 0);
    EXPECT_EQ(at.left, origin.left) << what;
    EXPECT_EQ(at.top, origin.top) << what;
    if (checkSize) {
        const RECT size = DialogUnits(box, 0, 0, units.right, units.bottom);
        EXPECT_EQ(at.right - at.left, size.right) << what;
        EXPECT_EQ(at.bottom - at.top, size.bottom) << what;
    }
}

// A visible top-level window to own the box, as the main window does; it counts the F1 help
// requests that reach it.
class Owner {
public:
    Owner() {
        static const ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &Owner::Proc;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "GlimmerfenTestOwner";
            return ::RegisterClassA(&wc);
        }();
        (void)atom;
        hwnd_ = ::CreateWindowExA(0, "GlimmerfenTestOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                  nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        helpRequests = 0;
    }
    ~Owner() { ::DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }
    static inline int helpRequests = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_HELP) {
            ++helpRequests;
            return TRUE;
        }
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    HWND hwnd_;
};

// F1 as the user presses it: the system turns the key into WM_HELP only for real keyboard input.
void PressF1In(HWND dialog) {
    ::SetForegroundWindow(dialog);
    ::SetFocus(::GetDlgItem(dialog, IDOK));
    INPUT keys[2]{};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_F1;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

TEST(AboutBox, ShowsTheIconTheVersionAndOk) {
    Owner owner;
    CAboutDlg about;
    bool checked = false;
    RunSoon([&] {
        HWND box = about.Hwnd();
        ASSERT_NE(box, nullptr);
        const AboutLayout& expected = Expected();
        EXPECT_EQ(WindowTextUtf8(box), expected.caption);
        EXPECT_TRUE(::IsWindowVisible(box));
        const LONG_PTR style = ::GetWindowLongPtrA(box, GWL_STYLE);
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
        EXPECT_TRUE(::GetWindowLongPtrA(box, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(::IsWindowEnabled(owner.get())) << "a modal box disables its owner";

        RECT client{};
        ::GetClientRect(box, &client);
        const RECT size = DialogUnits(box, 0, 0, expected.size.cx, expected.size.cy);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        HWND icon = nullptr;
        HWND text = nullptr;
        for (HWND child : test::Children(box)) {
            const LONG_PTR childStyle = ::GetWindowLongPtrA(child, GWL_STYLE);
            if ((childStyle & SS_TYPEMASK) == SS_ICON) {
                icon = child;
            } else if (WindowTextUtf8(child) == kVersionText) {
                text = child;
            }
        }
        ASSERT_NE(icon, nullptr);
        ASSERT_NE(text, nullptr) << "no static with the version text";
        EXPECT_NE(::SendMessageA(icon, STM_GETICON, 0, 0), 0) << "the icon control shows no icon";
        // An icon control takes the icon's own size.
        ExpectPlaced(box, icon, expected.icon, false, "icon");
        EXPECT_TRUE(::GetWindowLongPtrA(text, GWL_STYLE) & SS_NOPREFIX);
        ExpectPlaced(box, text, expected.text, true, "text");

        HWND ok = ::GetDlgItem(box, IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(WindowTextUtf8(ok), "OK");
        EXPECT_EQ(::GetWindowLongPtrA(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        ExpectPlaced(box, ok, expected.ok, true, "OK button");
        checked = true;
        ::SendMessageA(ok, BM_CLICK, 0, 0);
    });
    HWND shown = nullptr;
    RunSoon([&] { shown = about.Hwnd(); }, 0);
    EXPECT_EQ(about.RunModal(owner.get()), IDOK);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(about.Exists());
    EXPECT_FALSE(::IsWindow(shown)) << "the box's window must be gone after its run";
    EXPECT_TRUE(::IsWindowEnabled(owner.get())) << "the owner must be enabled again";
}

// The keys and the close box end the box through the modal loop's IsDialogMessage.
TEST(AboutBox, EnterEscAndTheCloseBoxEndIt) {
    struct Case {
        const char* what;
        UINT message;
        WPARAM key;
        INT_PTR result;
    };
    const Case cases[] = {
        {"Enter", WM_KEYDOWN, VK_RETURN, IDOK},
        {"Esc", WM_KEYDOWN, VK_ESCAPE, IDCANCEL},
        {"close box", WM_CLOSE, 0, IDCANCEL},
    };
    Owner owner;
    CAboutDlg about;
    for (const Case& c : cases) {
        RunSoon([&] {
            HWND box = about.Hwnd();
            if (c.message == WM_CLOSE) {
                ::PostMessageA(box, WM_CLOSE, 0, 0);
            } else {
                HWND focus = ::GetFocus();
                ASSERT_TRUE(focus == box || ::IsChild(box, focus)) << c.what << ": the box has no focus";
                ::PostMessageA(focus, WM_KEYDOWN, c.key, 1);
            }
        });
        EXPECT_EQ(about.RunModal(owner.get()), c.result) << c.what;
        EXPECT_FALSE(about.Exists()) << c.what;
    }
}

TEST(AboutBox, SecondRequestWhileOpenOpensNoSecondBox) {
    Owner owner;
    CAboutDlg about;
    INT_PTR second = 0;
    int boxes = 0;
    RunSoon([&] {
        // The tray menu's "Version information" while the box is open: the same object is asked again.
        second = about.RunModal(owner.get());
        boxes = test::CountThreadWindowsWithCaption(Expected().caption);
        about.EndModal(IDOK);
    });
    EXPECT_EQ(about.RunModal(owner.get()), IDOK);
    EXPECT_EQ(second, -1);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(test::CountThreadWindowsWithCaption(Expected().caption), 0);
}

TEST(AboutBox, F1DoesNothing) {
    Owner owner;
    CAboutDlg about;
    LRESULT answer = 0;
    bool stillOpen = false;
    RunSoon([&] {
        HELPINFO info{sizeof info, HELPINFO_WINDOW, IDOK, ::GetDlgItem(about.Hwnd(), IDOK), 0, {0, 0}};
        answer = ::SendMessageA(about.Hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        PressF1In(about.Hwnd());
        RunSoon(
            [&] {
                stillOpen = about.Exists() && ::IsWindowVisible(about.Hwnd());
                about.EndModal(IDCANCEL);
            },
            100);
    });
    EXPECT_EQ(about.RunModal(owner.get()), IDCANCEL);
    EXPECT_EQ(answer, TRUE) << "WM_HELP must be answered as handled";
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Owner::helpRequests, 0) << "the help request went on to the owner";
}

// The check above is only worth something if F1 does reach the owner when nobody answers it.
TEST(AboutBox, F1ReachesTheOwnerOfADialogThatIgnoresIt) {
    Owner owner;
    HWND raw = ::CreateDialogParamA(
        ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), owner.get(),
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(raw, nullptr);
    ::ShowWindow(raw, SW_SHOW);
    PressF1In(raw);
    test::PumpUntil([] { return Owner::helpRequests > 0; }, 2000);
    EXPECT_GT(Owner::helpRequests, 0);
    ::DestroyWindow(raw);
}

} // namespace
} // namespace glimmerfen
