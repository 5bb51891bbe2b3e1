// The option sheet and its pages as the user drives them: tabs, number corrections, enabling, Apply,
// OK and Cancel, and what reaches Glimmerfen.ini.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/temp_dir.h"
#include "platform/notify.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "resource.h"
#include "settings/Settings.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/options/PropSheet.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using test::RunSoon;
using test::WindowTextUtf8;

struct SheetTexts {
    const char* caption;
    std::vector<std::string> tabs;
};

const SheetTexts& Expected() {
    static const SheetTexts english{"Glimmerfen Checker Option setup",
                                    {"View Settings", "Disconnect Setting", "Log Settings", "Advanced", "Notices"}};
    static const SheetTexts japanese{"Glimmerfen Checker \xE3\x81\xAE\xE8\xA8\xAD\xE5\xAE\x9A", // の設定
                                     {"\xE8\xA1\xA8\xE7\xA4\xBA\xE8\xA8\xAD\xE5\xAE\x9A",       // 表示設定
                                      "\xE5\x88\x87\xE6\x96\xAD\xE8\xA8\xAD\xE5\xAE\x9A",       // 切断設定
                                      "\xE3\x83\xAD\xE3\x82\xB0\xE8\xA8\xAD\xE5\xAE\x9A",       // ログ設定
                                      "\xE4\xB8\x8A\xE7\xB4\x9A\xE8\xA8\xAD\xE5\xAE\x9A",       // 上級設定
                                      "\xE9\x80\x9A\xE7\x9F\xA5"}};                             // 通知
    return test::JapaneseUi() ? japanese : english;
}

std::string TabText(HWND tabs, int index) {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    ::SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    char utf8[512] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

void Click(HWND button) {
    ::SendMessageA(button, BM_CLICK, 0, 0);
}

bool Enabled(HWND control) {
    return ::IsWindowEnabled(control) != FALSE;
}

// A sheet over a fresh INI file, owned by a window that the run disables.
class OptionSheetTest : public ::testing::Test {
protected:
    OptionSheetTest()
        : ini_(dir_.File("Glimmerfen.ini")),
          sheet_(ui::OptionContext{settings_, Paths(), [this] { ++topmostCalls_; }, [this] { ++appliedCalls_; }}) {
        LoadSettings(settings_, ini_);
        settings_.InitFlag = 1;
        owner_ = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 50, nullptr,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }
    ~OptionSheetTest() override { ::DestroyWindow(owner_); }

    ProgramPaths Paths() const {
        ProgramPaths paths;
        paths.exeDir = dir_.Path().string() + "\\";
        paths.iniPath = ini_;
        paths.appName = "GlimmerfenChecker";
        paths.exePath = dir_.Path().string() + "\\GlimmerfenChecker.exe";
        return paths;
    }
    std::string IniValue(const char* key) const {
        return platform::ProfileGetString(ini_, kSettingSection, key, "(none)");
    }
    HWND SheetItem(int id) const { return ::GetDlgItem(sheet_.Hwnd(), id); }

    test::TempDir dir_;
    std::string ini_;
    AppSettings settings_;
    ui::CPropSheet sheet_;
    int topmostCalls_ = 0;
    int appliedCalls_ = 0; // the watch told to take up the settings
    HWND owner_ = nullptr;
};

TEST_F(OptionSheetTest, TabsCorrectionsApplyAndOk) {
    settings_.DlgPopCloseFlag = 1;
    bool checked = false;
    RunSoon([&] {
        HWND sheet = sheet_.Hwnd();
        ASSERT_NE(sheet, nullptr);
        EXPECT_EQ(WindowTextUtf8(sheet), Expected().caption);
        EXPECT_FALSE(Enabled(owner_)) << "the run disables the main window";
        HWND tabs = PropSheet_GetTabControl(sheet);
        ASSERT_EQ(TabCtrl_GetItemCount(tabs), 5);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(TabText(tabs, i), Expected().tabs[i]) << i;
        }
        EXPECT_NE(SheetItem(IDHELP), nullptr) << "no Help button";
        EXPECT_TRUE(sheet_.ViewPage().Exists());
        EXPECT_FALSE(sheet_.AdvancedPage().Exists()) << "a page gets its window when it is first shown";
        EXPECT_FALSE(sheet_.ApplyEnabled()) << "filling the pages is no change";

        // Typed numbers are corrected in place, and each change enables Apply.
        HWND seconds = sheet_.ViewPage().Item(IDC_POP_TIME);
        EXPECT_EQ(WindowTextUtf8(seconds), "10");
        ::SetWindowTextA(seconds, "250");
        EXPECT_EQ(WindowTextUtf8(seconds), "100");
        EXPECT_TRUE(sheet_.ApplyEnabled());
        ::SetWindowTextA(seconds, "");
        EXPECT_EQ(WindowTextUtf8(seconds), "1");
        ::SetWindowTextA(seconds, "42");
        EXPECT_EQ(WindowTextUtf8(seconds), "42");
        Click(sheet_.ViewPage().Item(IDC_CLOSE_NEVER));
        EXPECT_FALSE(Enabled(seconds)) << "the seconds count only for \"Closes pop-up one after\"";
        // The event log is a destination of its own, beside the log file.
        PropSheet_SetCurSel(sheet, nullptr, 2);
        Click(sheet_.LogPage().Item(IDC_LOG_EVENTS));

        Click(SheetItem(ui::kApplyCommand));
        EXPECT_EQ(platform::ProfileGetString(ini_, kNetworkSection, "EventLog", "(none)"), "1");
        EXPECT_EQ(IniValue("LogOut"), "1");
        EXPECT_FALSE(sheet_.ApplyEnabled()) << "Apply clears every page's flag";
        EXPECT_EQ(IniValue("DlgPopTime"), "42");
        EXPECT_EQ(IniValue("DlgPopCloseFlag"), "2");
        EXPECT_EQ(IniValue("CycleTime1"), "20")
            << "without the Advanced page the thread keys are written as they stand";
        EXPECT_EQ(IniValue("MsgFrom"), "(none)");
        EXPECT_EQ(topmostCalls_, 1);
        EXPECT_EQ(appliedCalls_, 1) << "every Apply tells the watch";

        // The Advanced page: corrections, INITIAL and Momentary Set.
        PropSheet_SetCurSel(sheet, nullptr, 3);
        ASSERT_TRUE(sheet_.AdvancedPage().Exists());
        HWND interval = sheet_.AdvancedPage().Item(IDC_MONITOR_INTERVAL);
        ::SetWindowTextA(interval, "20000");
        EXPECT_EQ(WindowTextUtf8(interval), "10000");
        ::SetWindowTextA(sheet_.AdvancedPage().Item(IDC_LIST_INTERVAL), "");
        EXPECT_EQ(WindowTextUtf8(sheet_.AdvancedPage().Item(IDC_LIST_INTERVAL)), "1");
        ::SendMessageA(sheet_.AdvancedPage().Item(IDC_MONITOR_PRIORITY), CB_SETCURSEL, 6, 0);
        Click(sheet_.AdvancedPage().Item(IDC_INITIAL));
        EXPECT_EQ(WindowTextUtf8(interval), "20");
        EXPECT_EQ(WindowTextUtf8(sheet_.AdvancedPage().Item(IDC_LIST_INTERVAL)), "1000");
        EXPECT_EQ(::SendMessageA(sheet_.AdvancedPage().Item(IDC_MONITOR_PRIORITY), CB_GETCURSEL, 0, 0), 3);
        ::SetWindowTextA(interval, "35");
        Click(sheet_.AdvancedPage().Item(IDC_MOMENTARY));
        EXPECT_EQ(::IsDlgButtonChecked(sheet_.AdvancedPage().Hwnd(), IDC_MOMENTARY), BST_CHECKED);
        checked = true;
        // OK applies, since Apply is enabled, and closes.
        Click(SheetItem(IDOK));
    });
    EXPECT_TRUE(sheet_.RunModal(owner_));
    EXPECT_TRUE(checked);
    EXPECT_FALSE(sheet_.Exists());
    EXPECT_TRUE(Enabled(owner_));
    EXPECT_EQ(settings_.CycleTime1.load(), 35) << "the running threads get the momentary interval";
    EXPECT_EQ(settings_.IntermitCheck.load(), 1);
    EXPECT_EQ(appliedCalls_, 2) << "the watch was not told of the Advanced page's priorities";
    EXPECT_EQ(IniValue("CycleTime1"), "20") << "Momentary Set keeps the file's thread keys";
}

TEST_F(OptionSheetTest, DisconnectPageEnablingAndCancelWritesNothing) {
    settings_.DisJuncOkPcStr.Set("PC1;PC2");
    settings_.DisJuncNgPcStr.Set("BAD");
    bool checked = false;
    RunSoon([&] {
        PropSheet_SetCurSel(sheet_.Hwnd(), nullptr, 1);
        ui::CPropDisjunc& page = sheet_.DisconnectPage();
        ASSERT_TRUE(page.Exists());
        struct Expect {
            const char* after;
            bool acceptable, denied, acceptableList, deniedList;
        };
        auto check = [&](const Expect& e) {
            EXPECT_EQ(Enabled(page.Item(IDC_OK_PC)), e.acceptable) << e.after;
            EXPECT_EQ(Enabled(page.Item(IDC_NG_PC)), e.denied) << e.after;
            EXPECT_EQ(Enabled(page.Item(IDC_OK_PC_LIST)), e.acceptableList) << e.after;
            EXPECT_EQ(Enabled(page.Item(IDC_NG_PC_LIST)), e.deniedList) << e.after;
        };
        check({"opening with the rule off", false, false, false, false});
        EXPECT_EQ(WindowTextUtf8(page.Item(IDC_OK_PC_LIST)), "PC1;PC2") << "the stored lists show, greyed";
        EXPECT_EQ(WindowTextUtf8(page.Item(IDC_NG_PC_LIST)), "BAD");
        Click(page.Item(IDC_PC_RULE));
        check({"ticking the rule", true, true, false, true});
        Click(page.Item(IDC_OK_PC));
        check({"choosing Acceptable PC", true, true, true, false});
        ::SetWindowTextA(page.Item(IDC_OK_PC_LIST), "PCX");
        Click(page.Item(IDC_OK_PC));
        EXPECT_EQ(WindowTextUtf8(page.Item(IDC_OK_PC_LIST)), "PCX") << "choosing an option keeps typed text";
        Click(page.Item(IDC_PC_RULE));
        check({"unticking the rule", false, false, false, false});
        EXPECT_EQ(WindowTextUtf8(page.Item(IDC_OK_PC_LIST)), "PC1;PC2") << "the rule's box puts the stored list back";
        ::SetWindowTextA(page.Item(IDC_OK_PC_LIST), "PCY");
        Click(page.Item(IDC_PC_RULE));
        check({"ticking it again", true, true, true, false});
        EXPECT_EQ(WindowTextUtf8(page.Item(IDC_OK_PC_LIST)), "PC1;PC2") << "the rule's box puts the stored list back";

        HWND after = page.Item(IDC_DISCONNECT_AFTER);
        EXPECT_FALSE(Enabled(after));
        ::SetWindowTextA(after, "5000");
        EXPECT_EQ(WindowTextUtf8(after), "1000");
        ::SetWindowTextA(after, "0");
        EXPECT_EQ(WindowTextUtf8(after), "0");
        EXPECT_TRUE(sheet_.ApplyEnabled());
        checked = true;
        Click(SheetItem(IDCANCEL));
    });
    EXPECT_TRUE(sheet_.RunModal(owner_));
    EXPECT_TRUE(checked);
    EXPECT_EQ(::GetFileAttributesA(ini_.c_str()), INVALID_FILE_ATTRIBUTES) << "Cancel wrote the INI file";
    EXPECT_EQ(settings_.DisJuncOkPcStr.Get(), "PC1;PC2");
    EXPECT_EQ(settings_.DisJuncPcFlag.load(), 0);
}

TEST_F(OptionSheetTest, OkWithApplyDisabledWritesNothingAndTheNextOpeningStartsAfresh) {
    std::vector<std::string> boxes;
    const platform::MessageSink previous = platform::SetMessageSinkForTesting(
        [&](const std::string& text, const std::string&, platform::MessageIcon) { boxes.push_back(text); });
    RunSoon([&] {
        // No manual.chm in the test's folder: Help says so, and F1 on a page asks for it as well.
        Click(SheetItem(IDHELP));
        HELPINFO info{sizeof info, HELPINFO_WINDOW, 0, sheet_.ViewPage().Item(IDC_POP_TIME), 0, {0, 0}};
        ::SendMessageA(sheet_.ViewPage().Item(IDC_POP_TIME), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        ::SetWindowTextA(sheet_.ViewPage().Item(IDC_POP_TIME), "77");
        // Closed from outside, as "Close Application" does: the edit is not applied.
        ::PostMessageA(sheet_.Hwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(sheet_.RunModal(owner_));
    std::string shown;
    RunSoon([&] {
        shown = WindowTextUtf8(sheet_.ViewPage().Item(IDC_POP_TIME));
        EXPECT_FALSE(sheet_.ApplyEnabled());
        Click(SheetItem(IDOK));
    });
    EXPECT_TRUE(sheet_.RunModal(owner_));
    EXPECT_EQ(shown, "10") << "edits that were not applied do not survive a closing";
    EXPECT_EQ(::GetFileAttributesA(ini_.c_str()), INVALID_FILE_ATTRIBUTES) << "OK with Apply disabled wrote";
    EXPECT_EQ(topmostCalls_, 0);
    platform::SetMessageSinkForTesting(previous);
    EXPECT_EQ(boxes, std::vector<std::string>(2, platform::LoadText(IDS_NO_HELP_FILE)));
}

// The sheet runs modeless in the program's loop: another modeless dialog of the thread (the list
// window in the program) still gets its keys while the sheet is open.
TEST_F(OptionSheetTest, KeysStillReachAModelessDialogBesideTheSheet) {
    ui::CAboutDlg beside;
    ASSERT_TRUE(beside.CreateModeless(nullptr));
    bool closedWhileSheetOpen = false;
    bool secondRun = true;
    RunSoon([&] {
        secondRun = sheet_.RunModal(owner_);
        ::PostMessageA(::GetDlgItem(beside.Hwnd(), IDOK), WM_KEYDOWN, VK_ESCAPE, 1);
        RunSoon(
            [&] {
                closedWhileSheetOpen = !beside.Exists() && sheet_.Exists();
                // Esc in the sheet cancels it through the sheet's own dialog keys.
                ::PostMessageA(SheetItem(IDOK), WM_KEYDOWN, VK_ESCAPE, 1);
            },
            50);
    });
    EXPECT_TRUE(sheet_.RunModal(owner_));
    EXPECT_FALSE(secondRun) << "a second request while the sheet is open opened another";
    EXPECT_TRUE(closedWhileSheetOpen) << "Esc did not reach the modeless dialog while the sheet ran";
    EXPECT_FALSE(sheet_.Exists());
}

// The notices page keeps its boxes in a section of its own: clearing one is written there, not in
// [Setting].
TEST_F(OptionSheetTest, NoticesPageWritesItsOwnSection) {
    bool checked = false;
    RunSoon([&] {
        PropSheet_SetCurSel(sheet_.Hwnd(), nullptr, 4);
        ASSERT_TRUE(sheet_.NoticesPage().Exists());
        HWND cuts = sheet_.NoticesPage().Item(IDC_NOTICE_RULE_CUT);
        EXPECT_EQ(::SendMessageA(cuts, BM_GETCHECK, 0, 0), BST_CHECKED) << "on by default";
        EXPECT_EQ(::SendMessageA(sheet_.NoticesPage().Item(IDC_NOTICE_SERVER), BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_EQ(::SendMessageA(sheet_.NoticesPage().Item(IDC_NOTICE_LOG), BM_GETCHECK, 0, 0), BST_CHECKED);
        Click(cuts);
        EXPECT_TRUE(sheet_.ApplyEnabled());
        sheet_.Apply();
        EXPECT_EQ(settings_.NoticeRuleCut.load(), 0);
        checked = true;
        ::PostMessageA(sheet_.Hwnd(), WM_CLOSE, 0, 0);
    });
    sheet_.RunModal(owner_);
    ASSERT_TRUE(checked);
    EXPECT_EQ(platform::ProfileGetInt(ini_, kNoticeSection, "RuleCut", -1), 0);
    EXPECT_EQ(platform::ProfileGetInt(ini_, kNoticeSection, "Server", -1), 1);
    EXPECT_EQ(platform::ProfileGetInt(ini_, kNoticeSection, "Log", -1), 1);
    EXPECT_EQ(IniValue("RuleCut"), "(none)") << "nothing of the page in [Setting]";
}

} // namespace
} // namespace glimmerfen
