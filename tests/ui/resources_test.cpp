// The resources as Windows loads them in the user-interface language: menus, pictures, and the
// styles and sizes of the main and list windows' templates.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"
#include "ui/framework/Dialog.h"
#include "platform/win32/handles.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

struct MenuItem {
    UINT id; // 0 = separator
    const char* english;
    const char* japanese; // UTF-8
};

std::string MenuTextUtf8(HMENU menu, UINT position) {
    wchar_t text[128] = L"";
    ::GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    char utf8[512] = "";
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

void ExpectMenu(UINT menuId, const char* popupName, const MenuItem* items, int count) {
    win32::UniqueMenu menu(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId)));
    ASSERT_TRUE(menu) << menuId;
    EXPECT_EQ(MenuTextUtf8(menu.get(), 0), popupName);
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), count);
    const bool japanese = test::JapaneseUi();
    for (int i = 0; i < count; ++i) {
        const auto position = static_cast<UINT>(i);
        if (items[i].id == 0) {
            EXPECT_TRUE(::GetMenuState(popup, position, MF_BYPOSITION) & MF_SEPARATOR) << popupName << " " << i;
            continue;
        }
        EXPECT_EQ(::GetMenuItemID(popup, i), items[i].id) << popupName << " " << i;
        EXPECT_EQ(MenuTextUtf8(popup, position), japanese ? items[i].japanese : items[i].english)
            << popupName << " " << i;
    }
}

TEST(Resources, TrayMenu) {
    const MenuItem items[] = {
        {ID_SHOW_LIST, "Show the list", "リスト表示"},
        {0, nullptr, nullptr},
        {ID_OPTION, "Option settting", "オプション設定"},
        {ID_LOG_OPEN, "Log open", "ログｵｰﾌﾟﾝ"},
        {ID_SHOW_HELP, "Show the help-file", "ヘルプ表示"},
        {ID_VERSION_INFO, "Version information", "バージョン情報"},
        {0, nullptr, nullptr},
        {ID_CLOSE_APP, "Close Application", "終了"},
    };
    ExpectMenu(IDR_TRAY, "TRAY", items, 8);
    EXPECT_EQ(ID_SHOW_LIST, 32774);
    EXPECT_EQ(ID_CLOSE_APP, 32775);
    EXPECT_EQ(ID_OPTION, 32776);
    EXPECT_EQ(ID_SHOW_HELP, 32777);
    EXPECT_EQ(ID_VERSION_INFO, 32773);
    EXPECT_EQ(ID_LOG_OPEN, 32783);
}

TEST(Resources, ListContextMenu) {
    const MenuItem items[] = {
        {ID_CHANGE_DETAILS, "Change details", "詳細表示切り換え"},
        {ID_LOG_OPEN, "Log open", "ログｵｰﾌﾟﾝ"},
        {0, nullptr, nullptr},
        {ID_DISCONNECT, "Disconnect", "接続を切断する"},
        {ID_ADD_ACCEPTABLE, "Add to Acceptable PC", "許可PCに追加する"},
        {ID_ADD_DENIED, "Add to Denied PC", "拒否PCに追加する"},
        {0, nullptr, nullptr},
        {ID_SEND_MESSAGE, "Send message to this PC", "このPCにメッセージを送る"},
        {ID_OPEN_SHARED_FOLDER, "Open shared folder of this PC", "このPCの共有を開く"},
        {0, nullptr, nullptr},
        {ID_CLOSE_FILE, "Close this file", "このファイルを閉じる"},
        {ID_NOTIFY_WHEN_CLOSED, "Notify when closed", "閉じられたら通知"},
    };
    ExpectMenu(IDR_POP_LIST, "POP_LIST", items, 12);
    EXPECT_EQ(ID_CHANGE_DETAILS, 32781);
    EXPECT_EQ(ID_DISCONNECT, 32771);
    EXPECT_EQ(ID_ADD_ACCEPTABLE, 32786);
    EXPECT_EQ(ID_ADD_DENIED, 32787);
    EXPECT_EQ(ID_SEND_MESSAGE, 32784);
    EXPECT_EQ(ID_OPEN_SHARED_FOLDER, 32780);
    EXPECT_EQ(ID_CLOSE_FILE, 32820);
}

TEST(Resources, LogViewerMenus) {
    const MenuItem list[] = {
        {ID_LOG_REFRESH, "Reflesh", "表示更新"},
        {0, nullptr, nullptr},
        {ID_LOG_COL_CLIENT_NAME, "Client name", "クライアント名"},
        {ID_LOG_COL_USER_NAME, "User name", "ユーザー名"},
        {ID_LOG_COL_START_TIME, "Connection start time", "接続開始時間"},
        {ID_LOG_COL_USER_IDENT, "User Identification", "ユーザー識別"},
        {ID_LOG_COL_CLIENT_TYPE, "Client type", "クライアントタイプ"},
        {ID_LOG_COL_PROCESS_ID, "Process ID", "プロセスID"},
        {ID_LOG_COL_OPERATION, "Operation", "操作"},
        {ID_LOG_COL_PATH_NAME, "Path name", "パス名"},
        {ID_LOG_COL_DISCONNECT_MESSAGE, "Message for disconnect", "切断メッセージ"},
        {0, nullptr, nullptr},
        {ID_LOG_EXPORT_CSV, "Export as CSV...", "CSV形式で保存..."},
        {0, nullptr, nullptr},
        {ID_LOG_SHOW_STRIP, "Activity strip", "アクティビティ表示"},
    };
    ExpectMenu(IDR_POP_LOG, "POP_LOG", list, 15);
    const MenuItem tree[] = {
        {ID_LOG_REFRESH, "Reflesh", "表示更新"},
        {0, nullptr, nullptr},
        {ID_LOG_DELETE, "Delete", "ログ削除"},
    };
    ExpectMenu(IDR_POP_LOG2, "POP_LOG2", tree, 3);
    EXPECT_EQ(IDR_POP_LOG, 143);
    EXPECT_EQ(IDR_POP_LOG2, 144);
    EXPECT_EQ(ID_LOG_COL_CLIENT_NAME, 32788);
    EXPECT_EQ(ID_LOG_COL_DISCONNECT_MESSAGE, 32796);
    EXPECT_EQ(ID_LOG_REFRESH, 32799);
    EXPECT_EQ(ID_LOG_DELETE, 32801);
    EXPECT_EQ(ID_LOG_EXPORT_CSV, 32810);
    EXPECT_EQ(ID_LOG_SHOW_STRIP, 32811);
    EXPECT_EQ(ID_SELECT_LISTITEM, 57667);
}

TEST(Resources, IconsInBothSizesAndListImagesOf16By13) {
    const int icons[] = {128, 130, 139, 140, 141};
    for (int id : icons) {
        for (int size : {16, 32}) {
            win32::UniqueIcon icon(static_cast<HICON>(
                ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
            ASSERT_TRUE(icon) << "icon " << id;
            ICONINFO info{};
            ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
            win32::UniqueBitmap colour(info.hbmColor);
            win32::UniqueBitmap mask(info.hbmMask);
            BITMAP bitmap{};
            ::GetObjectA(colour.get(), sizeof bitmap, &bitmap);
            EXPECT_EQ(bitmap.bmWidth, size) << "icon " << id << " has no image of " << size << " pixels";
        }
    }
    for (int id = IDB_FOLDER; id <= IDB_USER; ++id) {
        win32::UniqueBitmap bitmap(static_cast<HBITMAP>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0)));
        ASSERT_TRUE(bitmap) << "bitmap " << id;
        BITMAP info{};
        ::GetObjectA(bitmap.get(), sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 16) << id;
        EXPECT_EQ(info.bmHeight, 13) << id;
    }
    EXPECT_EQ(IDB_FOLDER, 133);
    EXPECT_EQ(IDB_FOLDER_GONE, 138);
    EXPECT_EQ(IDB_USER, 139);
}

class Plain : public ui::Dialog {
public:
    explicit Plain(UINT id) : Dialog(id) {}
};

TEST(Resources, WindowTemplates) {
    struct Case {
        UINT id;
        const char* caption;
        SIZE units;
        DWORD style;   // must all be set
        DWORD noStyle; // must all be clear
        DWORD exStyle;
        int controls;
    };
    const Case cases[] = {
        {IDD_MAIN,
         "Glimmerfen Checker",
         {101, 60},
         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | WS_VISIBLE,
         WS_THICKFRAME,
         WS_EX_TOOLWINDOW | WS_EX_APPWINDOW,
         0},
        {IDD_LIST,
         "Glimmerfen Checker - ListView",
         {344, 169},
         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
         WS_VISIBLE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
         WS_EX_TOOLWINDOW,
         2},
        {IDD_LOG_VIEWER,
         "Glimmerfen Checker - LOG VIEWER",
         {477, 236},
         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
         WS_VISIBLE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
         WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE,
         5},
    };
    for (const Case& c : cases) {
        Plain dialog(c.id);
        ASSERT_TRUE(dialog.CreateModeless(nullptr)) << c.id;
        HWND hwnd = dialog.Hwnd();
        EXPECT_EQ(test::WindowTextUtf8(hwnd), c.caption);
        const auto style = static_cast<DWORD>(::GetWindowLongPtrA(hwnd, GWL_STYLE));
        EXPECT_EQ(style & c.style, c.style) << c.id;
        EXPECT_EQ(style & c.noStyle, 0u) << c.id;
        const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrA(hwnd, GWL_EXSTYLE));
        EXPECT_EQ(exStyle & c.exStyle, c.exStyle) << c.id;
        EXPECT_EQ(static_cast<int>(test::Children(hwnd).size()), c.controls) << c.id;
        RECT client{};
        ::GetClientRect(hwnd, &client);
        const RECT size = test::DialogUnits(hwnd, 0, 0, c.units.cx, c.units.cy);
        EXPECT_EQ(client.right, size.right) << c.id;
        EXPECT_EQ(client.bottom, size.bottom) << c.id;
        dialog.DestroyWindow();
    }

    // The two lists of the list window. The system turns a control's WS_BORDER into a sunken edge
    // (WS_EX_CLIENTEDGE); either counts as the border.
    Plain list(IDD_LIST);
    ASSERT_TRUE(list.CreateModeless(nullptr));
    for (int id : {IDC_LIST, IDC_DETAILS}) {
        const auto ex = static_cast<DWORD>(::GetWindowLongPtrA(list.Item(id), GWL_EXSTYLE));
        const auto style = static_cast<DWORD>(::GetWindowLongPtrA(list.Item(id), GWL_STYLE));
        EXPECT_TRUE((style & WS_BORDER) || (ex & WS_EX_CLIENTEDGE)) << id << " has no border";
    }
    const auto access = static_cast<DWORD>(::GetWindowLongPtrA(list.Item(IDC_LIST), GWL_STYLE));
    const DWORD accessStyle = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOLABELWRAP | WS_TABSTOP;
    EXPECT_EQ(access & accessStyle, accessStyle);
    EXPECT_FALSE(access & WS_DISABLED);
    const auto details = static_cast<DWORD>(::GetWindowLongPtrA(list.Item(IDC_DETAILS), GWL_STYLE));
    const DWORD detailsStyle =
        LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_NOSCROLL | LVS_NOLABELWRAP | WS_TABSTOP | WS_DISABLED;
    EXPECT_EQ(details & detailsStyle, detailsStyle);
    const RECT accessAt = test::ClientRectOf(list.Item(IDC_LIST));
    const RECT accessOrigin = test::DialogUnits(list.Hwnd(), 2, 2, 0, 0);
    EXPECT_EQ(accessAt.left, accessOrigin.left);
    EXPECT_EQ(accessAt.top, accessOrigin.top);
    const RECT detailsAt = test::ClientRectOf(list.Item(IDC_DETAILS));
    const RECT detailsOrigin = test::DialogUnits(list.Hwnd(), 2, 85, 0, 0);
    EXPECT_EQ(detailsAt.top, detailsOrigin.top);
    list.DestroyWindow();
}

// The manifest that Windows reads at start: an execution level (without one, writes beside an exe in
// "Program Files" are redirected and the log seems to vanish), every supported system from Vista to
// 10/11 (else newer systems apply compatibility shims), system DPI awareness, and common controls 6.
TEST(Resources, ManifestDeclaresLevelSystemsAndDpi) {
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);
    const std::string manifest(bytes, ::SizeofResource(module, found));
    const char* required[] = {
        R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
        R"(<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>)", // Vista
        R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)", // 7
        R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)", // 8
        R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)", // 8.1
        R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)", // 10 and 11
        R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)",
        R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">system</dpiAwareness>)",
        R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
    };
    for (const char* entry : required) {
        EXPECT_NE(manifest.find(entry), std::string::npos) << entry;
    }
    // Each of them in the element the system reads it from.
    const auto before = [&](const char* inner, const char* outerEnd) {
        const auto at = manifest.find(inner);
        return at != std::string::npos && at < manifest.find(outerEnd, at);
    };
    EXPECT_TRUE(before("<requestedExecutionLevel", "</requestedPrivileges>"));
    EXPECT_TRUE(before("<supportedOS", "</compatibility>"));
    EXPECT_TRUE(before("<dpiAwareness", "</windowsSettings>"));
}

// Every control of the option pages and of the send-message dialog by id, with its text in the
// user-interface language and whether it shows; the templates' sizes in dialog units.
TEST(Resources, OptionPagesAndSendMessageDialog) {
    struct Control {
        int id;
        const char* english;
        const char* japanese; // nullptr: the same as English
        bool visible = true;
    };
    struct Template {
        UINT id;
        const char* english;
        const char* japanese;
        SIZE englishUnits;
        SIZE japaneseUnits;
        std::vector<Control> controls;
    };
    const Template templates[] = {
        {IDD_PROP_VIEW,
         "View Settings",
         "表示設定",
         {219, 90},
         {199, 108},
         {{IDC_START_DLG, "Start as a button on the taskbar.", "起動時に最小化"},
          {IDC_TOP_DLG, "List-view window always on top.", "リスト表示を最前面に固定"},
          {IDC_POP_FLAG, "Pop-up if the list has closed when there is access.",
           "アクセスがあった時、リストが閉じていたらポップアップ"},
          {IDC_CLOSE_WHEN_EMPTY, "If access is lost to be List-view closed.", "アクセスがなくなったら閉じる"},
          {IDC_CLOSE_AFTER, "Closes pop-up one after", "指定した時間が経過したら閉じる"},
          {IDC_POP_TIME, "", nullptr},
          {IDC_POP_TIME_SPIN, "", nullptr},
          {IDC_CLOSE_NEVER, "Not closed after pop-up.", "ポップアップ後にリストを閉じない"},
          {IDC_POP_CHK_OK_PC, "", "許可PCからのアクセス時にはポップアップしない", false},
          {IDC_CHK_STARTUP, "Registers with start-up (it sets up to the present user).",
           "スタートアップに登録(現在のユーザーに対して設定します)"}}},
        {IDD_PROP_DISCONNECT,
         "Disconnect Setting",
         "切断設定",
         {231, 111},
         {203, 117},
         {{IDC_PC_RULE, "Disconnect automatically by PC access (delimiter mark at ;)",
           "PCアクセスによる自動切断 （複数指定は ; で区切る）"},
          {IDC_OK_PC, "Acceptable PC", "許可PC"},
          {IDC_OK_PC_LIST, "", nullptr},
          {IDC_NG_PC, "Denied PC", "拒否PC"},
          {IDC_NG_PC_LIST, "", nullptr},
          {IDC_FILE_RULE, "Disconnect automatically by file access (delimiter mark at ;)",
           "ファイルアクセスによる自動切断 （複数指定は ; で区切る）"},
          {IDC_EXTENSIONS, "", nullptr},
          {IDC_TIMER_RULE, "Disconnect automatic after definite period of time passed",
           "接続時間が一定時間経過したら自動切断"},
          {IDC_DISCONNECT_AFTER, "", nullptr},
          {IDC_DISCONNECT_AFTER_SPIN, "", nullptr}}},
        {IDD_PROP_LOG,
         "Log Settings",
         "ログ設定",
         {195, 93},
         {191, 99},
         {{IDC_LOG_OUT, "Saving log-file.", "ログを保存する"},
          {IDC_LOG_DAYS, "", nullptr},
          {IDC_LOG_DAYS_SPIN, "", nullptr},
          {IDC_LOG_CHK_DIS_MSG, "Not leave a cutting message to a log.", "切断メッセージをログに残さない"},
          {IDC_LOG_CHK_OK_PC, "Not leave access from Acceptable PC to a log.", "許可PCからのアクセスはログに残さない",
           false}}},
        {IDD_PROP_ADVANCED,
         "Advanced",
         "上級設定",
         {234, 109},
         {203, 111},
         {{IDC_LIST_PRIORITY, "", nullptr},
          {IDC_LIST_INTERVAL, "", nullptr},
          {IDC_LIST_INTERVAL_SPIN, "", nullptr},
          {IDC_MONITOR_PRIORITY, "", nullptr},
          {IDC_MONITOR_INTERVAL, "", nullptr},
          {IDC_MONITOR_INTERVAL_SPIN, "", nullptr},
          {IDC_MOMENTARY, "Momentary Set", "一時設定"},
          {IDC_INITIAL, "INITIAL", "初期設定"}}},
        {IDD_PROP_NOTICES,
         "Notices",
         "通知",
         {195, 93},
         {191, 99},
         {{IDC_NOTICE_RULE_CUT, "a client is disconnected by a rule.", "ルールによりクライアントを切断したとき"},
          {IDC_NOTICE_SERVER, "the server stops or starts answering.",
           "サーバーが応答しなくなったとき・再び応答したとき"},
          {IDC_NOTICE_LOG, "the log file cannot be written, and again.",
           "ログファイルに書き込めないとき・書き込めたとき"}}},
        {IDD_SEND_MESSAGE,
         "Glimmerfen Checker - Sending Messeage",
         "Glimmerfen Checker - ﾒｯｾｰｼﾞ送信",
         {227, 135},
         {226, 146},
         {{IDOK, "Transmission", "送信"},
          {IDCANCEL, "Cancel", "ｷｬﾝｾﾙ"},
          {IDC_SENDER, "", nullptr},
          {IDC_MESSAGE, "", nullptr},
          {IDC_RECIPIENT, "", nullptr},
          {IDC_SEND_STATUS, "", nullptr}}},
    };
    const bool japanese = test::JapaneseUi();
    HWND parent = ::CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
    for (const Template& t : templates) {
        HWND dialog = ::CreateDialogParamA(
            ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(t.id), parent,
            [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_NE(dialog, nullptr) << t.id;
        EXPECT_EQ(test::WindowTextUtf8(dialog), japanese ? t.japanese : t.english) << t.id;
        RECT client{};
        ::GetClientRect(dialog, &client);
        const SIZE units = japanese ? t.japaneseUnits : t.englishUnits;
        const RECT size = test::DialogUnits(dialog, 0, 0, units.cx, units.cy);
        EXPECT_EQ(client.right, size.right) << t.id;
        EXPECT_EQ(client.bottom, size.bottom) << t.id;
        for (const Control& c : t.controls) {
            HWND control = ::GetDlgItem(dialog, c.id);
            ASSERT_NE(control, nullptr) << t.id << " has no control " << c.id;
            const char* text = japanese && c.japanese != nullptr ? c.japanese : c.english;
            if (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) {
                EXPECT_EQ(test::WindowTextUtf8(control), text) << t.id << " " << c.id;
            }
            EXPECT_EQ(::GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE ? 1 : 0, c.visible ? 1 : 0)
                << t.id << " " << c.id;
        }
        if (t.id == IDD_SEND_MESSAGE) {
            // Tab order is template order: Transmission, Cancel, sender, message; the recipient is
            // shown but neither editable nor reached by Tab; Enter makes new lines in the message.
            EXPECT_EQ(::GetNextDlgTabItem(dialog, ::GetDlgItem(dialog, IDOK), FALSE), ::GetDlgItem(dialog, IDCANCEL));
            EXPECT_EQ(::GetNextDlgTabItem(dialog, ::GetDlgItem(dialog, IDCANCEL), FALSE),
                      ::GetDlgItem(dialog, IDC_SENDER));
            EXPECT_EQ(::GetNextDlgTabItem(dialog, ::GetDlgItem(dialog, IDC_SENDER), FALSE),
                      ::GetDlgItem(dialog, IDC_MESSAGE));
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_RECIPIENT)));
            const auto message = ::GetWindowLongPtrA(::GetDlgItem(dialog, IDC_MESSAGE), GWL_STYLE);
            EXPECT_EQ(message & (ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL), ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL);
            EXPECT_TRUE(::GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        }
        ::DestroyWindow(dialog);
    }
    ::DestroyWindow(parent);
}

} // namespace
} // namespace glimmerfen
