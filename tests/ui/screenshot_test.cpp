// Pictures of the windows for scripts/screenshots, which sets GLIMMERFEN_SHOT_DIR and captures each
// window while its test holds it open. Skipped in ordinary test runs.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/strings.h"
#include "resource.h"
#include "settings/Settings.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/dialogs/SendMsgDlg.h"
#include "ui/framework/ColumnListCtrl.h"
#include "ui/options/PropSheet.h"
#include "ui/tray/NoticeLogic.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

TEST(Screenshot, AboutBox) {
    if (test::ScreenshotDir().empty()) {
        GTEST_SKIP() << "GLIMMERFEN_SHOT_DIR is not set";
    }
    ui::CAboutDlg about;
    bool held = false;
    test::RunSoon([&] {
        held = test::HoldForScreenshot("about", about.Hwnd());
        about.EndModal(IDOK);
    });
    EXPECT_EQ(about.RunModal(nullptr), IDOK);
    EXPECT_TRUE(held);
}

// The bare list window from its template, with the access list's headers and row images.
TEST(Screenshot, ListWindowTemplate) {
    if (test::ScreenshotDir().empty()) {
        GTEST_SKIP() << "GLIMMERFEN_SHOT_DIR is not set";
    }
    class Window : public ui::Dialog {
    public:
        Window() : Dialog(IDD_LIST) {}
    } window;
    ASSERT_TRUE(window.CreateModeless(nullptr));
    ui::CColumnListCtrl list;
    ASSERT_TRUE(list.Attach(window.Item(IDC_LIST)));
    const unsigned headers[] = {IDS_COL_CLIENT_NAME, IDS_COL_USER_NAME, IDS_COL_START_TIME, IDS_COL_OPERATION,
                                IDS_COL_PATH_NAME};
    for (int i = 0; i < 5; ++i) {
        list.InsertColumn(i, platform::LoadText(headers[i]), 100);
    }
    HIMAGELIST images = ::ImageList_Create(16, 13, 0, 2, 2);
    const int bitmaps[] = {IDB_COMPUTER, IDB_FOLDER, IDB_FILE, IDB_COMPUTER_GONE, IDB_FOLDER_GONE, IDB_FILE_GONE};
    for (int id : bitmaps) {
        HBITMAP bitmap = static_cast<HBITMAP>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
        ::ImageList_AddMasked(images, bitmap, RGB(0, 0, 0));
        ::DeleteObject(bitmap);
    }
    ::SendMessageA(list.Hwnd(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
    const char* rows[][5] = {{"PC1", "alice", "2024-05-01 09:00:00", "", ""},
                             {"", "alice", "2024-05-01 09:00:02", "R", "D:\\share\\docs"},
                             {"", "alice", "2024-05-01 09:00:03", "RW", "D:\\share\\docs\\plan.txt"},
                             {"PC2", "bob", "2024-05-01 08:59:00", "", ""},
                             {"", "bob", "2024-05-01 08:59:01", "R", "D:\\share\\old"},
                             {"", "bob", "2024-05-01 08:59:02", "R", "D:\\share\\old\\memo.txt"}};
    for (int r = 0; r < 6; ++r) {
        list.InsertItem(r, rows[r][0], r);
        for (int c = 1; c < 5; ++c) {
            list.SetItemText(r, c, rows[r][c]);
        }
    }
    ::ShowWindow(window.Hwnd(), SW_SHOW);
    EXPECT_TRUE(test::HoldForScreenshot("list", window.Hwnd()));
    window.DestroyWindow();
    ::ImageList_Destroy(images);
}

// The option sheet on each of its five pages, with the default settings and the computer rule on.
TEST(Screenshot, OptionPages) {
    if (test::ScreenshotDir().empty()) {
        GTEST_SKIP() << "GLIMMERFEN_SHOT_DIR is not set";
    }
    AppSettings settings;
    LoadSettings(settings, "Z:\\nonexistent\\Glimmerfen.ini");
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC-GUEST;PC-OLD");
    ui::CPropSheet sheet(ui::OptionContext{settings, {}, {}, {}});
    int held = 0;
    test::RunSoon([&] {
        const char* names[] = {"options_view", "options_disconnect", "options_log", "options_advanced",
                               "options_notices"};
        for (int page = 0; page < 5; ++page) {
            PropSheet_SetCurSel(sheet.Hwnd(), nullptr, page);
            held += test::HoldForScreenshot(names[page], sheet.Hwnd()) ? 1 : 0;
        }
        ::PostMessageA(sheet.Hwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(sheet.RunModal(nullptr));
    EXPECT_EQ(held, 5);
}

// A notice as the tray shows it: twelve clients cut by the rules in one poll.
TEST(Screenshot, Notice) {
    if (test::ScreenshotDir().empty()) {
        GTEST_SKIP() << "GLIMMERFEN_SHOT_DIR is not set";
    }
    HWND owner = ::CreateWindowExA(0, "STATIC", "notice owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    NOTIFYICONDATAA icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner;
    icon.uFlags = NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    icon.hIcon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN));
    std::strcpy(icon.szTip, "Glimmerfen Checker");
    icon.uVersion = NOTIFYICON_VERSION_4;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_ADD, &icon));
    ::Shell_NotifyIconA(NIM_SETVERSION, &icon);
    icon.uFlags |= NIF_INFO;
    std::strcpy(icon.szInfoTitle, "GlimmerfenChecker");
    const std::string text = platform::FillTemplate(platform::LoadText(IDS_NOTICE_CUT_MANY), {"12"});
    std::strncpy(icon.szInfo, text.c_str(), sizeof icon.szInfo - 1);
    icon.dwInfoFlags = NIIF_INFO | NIIF_RESPECT_QUIET_TIME;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_MODIFY, &icon));
    HWND balloon = nullptr;
    test::PumpUntil(
        [&] {
            balloon = ::FindWindowA("tooltips_class32", nullptr);
            while (balloon != nullptr && !::IsWindowVisible(balloon)) {
                balloon = ::FindWindowExA(nullptr, balloon, "tooltips_class32", nullptr);
            }
            return balloon != nullptr;
        },
        5000);
    EXPECT_TRUE(test::HoldForScreenshot("notice", balloon)) << "no notice shown";
    ::Shell_NotifyIconA(NIM_DELETE, &icon);
    ::DestroyWindow(owner);
}

TEST(Screenshot, SendMessageDialog) {
    if (test::ScreenshotDir().empty()) {
        GTEST_SKIP() << "GLIMMERFEN_SHOT_DIR is not set";
    }
    ui::CSendMsgDlg dialog("GlimmerfenChecker");
    dialog.recipient = "PC-ALPHA";
    dialog.sender = "alice(PC01)";
    bool held = false;
    test::RunSoon([&] {
        ::SetWindowTextA(dialog.Item(IDC_MESSAGE), "The meeting starts at three.\r\nRoom 2.");
        held = test::HoldForScreenshot("sendmsg", dialog.Hwnd());
        dialog.EndModal(IDCANCEL);
    });
    EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL);
    EXPECT_TRUE(held);
}

} // namespace
} // namespace glimmerfen
