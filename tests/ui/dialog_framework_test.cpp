// The dialog base class and its modal loop: owner handling, the pre-translate chain that keeps the
// modeless list window's keys working during other modal runs, answers through DWLP_MSGRESULT, and
// the handle owners.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "resource.h"
#include "ui/dialogs/AboutDlg.h"
#include "platform/win32/checks.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/Menus.h"
#include "platform/win32/handles.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using test::RunSoon;

// A dialog whose handlers the test chooses.
class Probe : public ui::Dialog {
public:
    explicit Probe(UINT id) : Dialog(id) {}
    std::function<void(Probe&)> init;
    std::function<void()> cancel;
    std::function<bool(MSG&)> preTranslate;
    std::function<bool(NMHDR&, LRESULT&)> notify;
    bool hidden = false;
    int destroyed = 0;

    bool PreTranslateMessage(MSG& msg) override { return preTranslate && preTranslate(msg); }
    using Dialog::KeepHiddenOnModalStart;

protected:
    bool OnInitDialog() override {
        if (hidden) {
            KeepHiddenOnModalStart();
        }
        if (init) {
            init(*this);
        }
        return true;
    }
    void OnCancel() override {
        if (cancel) {
            cancel();
        } else {
            Dialog::OnCancel();
        }
    }
    bool OnNotify(NMHDR& header, LRESULT& result) override { return notify && notify(header, result); }
    void OnDestroy() override { ++destroyed; }
};

TEST(ModalRun, DisablesTheOwnerUntilItEndsAndReturnsTheResult) {
    Probe owner(IDD_MAIN);
    ASSERT_TRUE(owner.CreateModeless(nullptr));
    Probe dialog(IDD_ABOUTBOX);
    bool ownerDisabled = false;
    bool visible = false;
    HWND during = nullptr;
    RunSoon([&] {
        during = dialog.Hwnd();
        ownerDisabled = !::IsWindowEnabled(owner.Hwnd());
        visible = ::IsWindowVisible(during) != FALSE;
        dialog.EndModal(1234);
    });
    EXPECT_EQ(dialog.RunModal(owner.Hwnd()), 1234);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(::IsWindowEnabled(owner.Hwnd()));
    EXPECT_FALSE(::IsWindow(during));
    EXPECT_EQ(dialog.destroyed, 1);
    owner.DestroyWindow();
}

TEST(ModalRun, EndsWhenItsWindowIsDestroyed) {
    Probe owner(IDD_MAIN);
    ASSERT_TRUE(owner.CreateModeless(nullptr));
    Probe dialog(IDD_ABOUTBOX);
    RunSoon([&] { dialog.DestroyWindow(); });
    EXPECT_EQ(dialog.RunModal(owner.Hwnd()), -1);
    EXPECT_TRUE(::IsWindowEnabled(owner.Hwnd()));
    EXPECT_FALSE(dialog.Exists());
    owner.DestroyWindow();
}

// The main window's template is visible; the main window must still be able to stay hidden.
TEST(ModalRun, AVisibleTemplateStaysHiddenWhenAsked) {
    for (bool hide : {false, true}) {
        Probe main(IDD_MAIN);
        main.hidden = hide;
        bool visible = !hide;
        RunSoon([&] {
            visible = ::IsWindowVisible(main.Hwnd()) != FALSE;
            main.EndModal(IDOK);
        });
        EXPECT_EQ(main.RunModal(nullptr), IDOK);
        EXPECT_EQ(visible, !hide) << (hide ? "asked to stay hidden" : "template is visible");
    }
}

// The program's situation: the main window's modal run, the modeless list window beside it, and a
// modal run on top (the log viewer). Esc in the list window must still reach it through
// IsDialogMessage, and the viewer's F5, pressed in one of its controls, reaches the viewer first.
TEST(ModalRun, ModelessListGetsEscWhileNestedModalRunsAreActive) {
    Probe main(IDD_MAIN);
    Probe list(IDD_LIST);
    Probe viewer(IDD_LIST);
    main.hidden = true;
    int listCancels = 0;
    int viewerF5 = 0;
    int viewerCancels = 0;
    bool viewerOpenAfterEsc = false;
    INT_PTR viewerResult = 0;
    list.cancel = [&] {
        ++listCancels;
        ::ShowWindow(list.Hwnd(), SW_HIDE); // the list window hides instead of closing
    };
    viewer.cancel = [&] { ++viewerCancels; };
    viewer.preTranslate = [&](MSG& msg) {
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F5 &&
            (msg.hwnd == viewer.Hwnd() || ::IsChild(viewer.Hwnd(), msg.hwnd))) {
            ++viewerF5;
            return true;
        }
        return false;
    };
    main.init = [&](Probe& self) {
        ASSERT_TRUE(list.CreateModeless(self.Hwnd()));
        ::ShowWindow(list.Hwnd(), SW_SHOW);
        RunSoon([&] {
            RunSoon([&] {
                // Inside the viewer's run, itself inside the main window's run.
                ::PostMessageA(::GetDlgItem(list.Hwnd(), IDC_LIST), WM_KEYDOWN, VK_ESCAPE, 1);
                ::PostMessageA(::GetDlgItem(viewer.Hwnd(), IDC_LIST), WM_KEYDOWN, VK_F5, 1);
                ::PostMessageA(::GetDlgItem(list.Hwnd(), IDC_LIST), WM_KEYDOWN, VK_F5, 1);
                RunSoon(
                    [&] {
                        viewerOpenAfterEsc = viewer.Exists() && ::IsWindowVisible(viewer.Hwnd());
                        viewer.EndModal(IDOK);
                    },
                    100);
            });
            viewerResult = viewer.RunModal(main.Hwnd());
            main.EndModal(IDOK);
        });
    };
    EXPECT_EQ(main.RunModal(nullptr), IDOK);
    EXPECT_EQ(listCancels, 1) << "Esc in the modeless list window did not reach it";
    EXPECT_EQ(viewerF5, 1) << "F5 in the viewer's control must reach the viewer, F5 in the list must not";
    EXPECT_EQ(viewerCancels, 0);
    EXPECT_TRUE(viewerOpenAfterEsc);
    EXPECT_EQ(viewerResult, IDOK);
    EXPECT_FALSE(main.Exists());
    list.DestroyWindow();
}

TEST(DialogMessages, HelpIsAnsweredAndNotifyResultsGoThroughMsgResult) {
    Probe dialog(IDD_LIST);
    dialog.notify = [](NMHDR& header, LRESULT& result) {
        if (header.code == NM_DBLCLK) {
            result = 42;
            return true;
        }
        return false;
    };
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    HELPINFO info{sizeof info, HELPINFO_WINDOW, 0, dialog.Hwnd(), 0, {0, 0}};
    EXPECT_EQ(::SendMessageA(dialog.Hwnd(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), TRUE);

    NMHDR header{dialog.Item(IDC_LIST), IDC_LIST, static_cast<UINT>(NM_DBLCLK)};
    EXPECT_EQ(::SendMessageA(dialog.Hwnd(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&header)), 42);
    header.code = static_cast<UINT>(NM_CLICK);
    EXPECT_EQ(::SendMessageA(dialog.Hwnd(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&header)), 0);

    // Closing a modeless dialog destroys it.
    ::SendMessageA(dialog.Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(dialog.Exists());
    EXPECT_EQ(dialog.destroyed, 1);
    // A second creation works with the same object.
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    EXPECT_FALSE(dialog.CreateModeless(nullptr)) << "a dialog exists once at a time";
    dialog.DestroyWindow();
}

TEST(DialogMessages, ObjectGoingAwayTakesItsWindowWithoutCallingIntoIt) {
    HWND hwnd = nullptr;
    {
        Probe dialog(IDD_ABOUTBOX);
        ASSERT_TRUE(dialog.CreateModeless(nullptr));
        hwnd = dialog.Hwnd();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    // The message loop must not reach a dialog that no longer exists.
    MSG msg{hwnd, WM_KEYDOWN, VK_ESCAPE, 1, 0, {0, 0}};
    EXPECT_FALSE(ui::PreTranslateThreadMessage(msg));
}

// A handle kind that counts its closes, to see that each owned value is closed exactly once.
struct CountingTraits {
    using Type = int;
    static inline int closes = 0;
    static inline int lastClosed = 0;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type value) noexcept {
        ++closes;
        lastClosed = value;
    }
};
using Counted = win32::UniqueResource<CountingTraits>;

TEST(Handles, EachOwnedValueIsClosedExactlyOnce) {
    CountingTraits::closes = 0;
    {
        Counted a(1);
        Counted b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 1);
        Counted c(2);
        c = std::move(b); // closes 2
        EXPECT_EQ(CountingTraits::closes, 1);
        EXPECT_EQ(CountingTraits::lastClosed, 2);
        c = std::move(c); // self-move keeps the value
        EXPECT_EQ(c.get(), 1);
        c.reset(1); // the same value again: nothing to close
        EXPECT_EQ(CountingTraits::closes, 1);
        Counted d(3);
        EXPECT_EQ(d.release(), 3); // given up, never closed
        c.reset(4);                // closes 1
        EXPECT_EQ(CountingTraits::lastClosed, 1);
    } // closes 4
    EXPECT_EQ(CountingTraits::closes, 3);
    EXPECT_EQ(CountingTraits::lastClosed, 4);
}

TEST(Handles, RealHandlesAndGdiSelectionsAreGivenBack) {
    win32::UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    const HANDLE raw = event.get();
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(raw, &flags));
    event.reset();
    EXPECT_FALSE(::GetHandleInformation(raw, &flags)) << "the event was not closed";

    win32::UniqueFile none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);

    HDC dc = ::CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_BRUSH);
    {
        win32::UniqueGdiObject brush(::CreateSolidBrush(RGB(1, 2, 3)));
        {
            win32::SelectedObject selected(dc, brush.get());
            EXPECT_TRUE(selected);
            EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), brush.get());
        }
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BRUSH), original);
    }
    ::DeleteDC(dc);

    win32::UniqueIcon icon(static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_IDLE), IMAGE_ICON, 16, 16, 0)));
    EXPECT_TRUE(icon) << "icon 130 missing from the resources";
    win32::UniqueMenu menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY)));
    ASSERT_TRUE(menu);
    EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(menu.get(), 0)), 8);
}

TEST(Checks, FailedCallRecordsItsErrorCode) {
    ::SetLastError(0);
    const bool closed = GF_CHECK_BOOL(::CloseHandle(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x7ff0))));
    EXPECT_FALSE(closed);
    const win32::Win32Failure& failure = win32::LastWin32Failure();
    EXPECT_EQ(failure.error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
    ASSERT_NE(failure.call, nullptr);
    EXPECT_NE(std::string(failure.call).find("CloseHandle"), std::string::npos);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "the error must survive the check";

    HWND none = GF_CHECK_HANDLE(::FindWindowA("NoSuchClassGlimmerfen", nullptr));
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(std::string(win32::LastWin32Failure().call).find("FindWindowA"), std::string::npos);
}

// What the windows of the menu test received, in order: the window and the message.
std::vector<std::pair<HWND, UINT>> g_menuEvents;

LRESULT CALLBACK MenuTestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NULL || (message == WM_COMMAND && LOWORD(wParam) == 4242)) {
        g_menuEvents.emplace_back(hwnd, message);
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// The list window's menu is shown for the list, but its commands belong to the main window that owns
// it: the choice must reach that owner, with a WM_NULL after it, and the list must stay the
// foreground window (it would lose the activation to the hidden main window).
TEST(ShortcutMenu, TheChoiceReachesTheOwnerAndTheMenusWindowStaysInFront) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MenuTestProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "GlimmerfenMenuTest";
    ::RegisterClassA(&windowClass);
    HWND owner = ::CreateWindowExA(0, "GlimmerfenMenuTest", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   windowClass.hInstance, nullptr);
    HWND shownFor = ::CreateWindowExA(0, "GlimmerfenMenuTest", "list", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                                      200, owner, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);
    ASSERT_NE(shownFor, nullptr);
    win32::UniqueMenu menu(::CreatePopupMenu());
    ::AppendMenuA(menu.get(), MF_STRING, 4242, "Choose me");
    g_menuEvents.clear();

    // The menu runs a loop of its own: the keys that choose its item are posted from inside it.
    RunSoon(
        [] {
            HWND menuWindow = ::FindWindowA("#32768", nullptr);
            ::PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
        },
        100);
    ui::TrackShortcutMenu(menu.get(), POINT{100, 100}, TPM_LEFTALIGN | TPM_LEFTBUTTON, owner, shownFor);
    EXPECT_EQ(::GetForegroundWindow(), shownFor);
    EXPECT_TRUE(test::PumpUntil([] { return g_menuEvents.size() >= 2; }, 3000));
    const std::vector<std::pair<HWND, UINT>> expected = {{owner, WM_COMMAND}, {owner, WM_NULL}};
    EXPECT_EQ(g_menuEvents, expected);

    ::DestroyWindow(shownFor);
    ::DestroyWindow(owner);
}

} // namespace
} // namespace glimmerfen
