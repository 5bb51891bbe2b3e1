// The start-up shortcut and Show help on the real shell and help viewer.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/CheckerApp.h"
#include "app/CheckerApp_win32.h"
#include "settings/Settings.h"
#include "settings/StartupShortcut.h"
#include "engine/temp_dir.h"
#include "platform/notify.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "platform/win32/tray_shell_testing.h"
#include "resource.h"
#include "ui/framework/Help.h"
#include "ui/tray/TrayDlg.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

struct Message {
    std::string text;
    std::string caption;
    platform::MessageIcon icon;
};

// Collects the messages shown while it lives.
class MessageCatcher {
public:
    MessageCatcher() {
        previous_ = platform::SetMessageSinkForTesting(
            [this](const std::string& text, const std::string& caption, platform::MessageIcon icon) {
                messages.push_back({text, caption, icon});
            });
    }
    ~MessageCatcher() { platform::SetMessageSinkForTesting(previous_); }
    std::vector<Message> messages;

private:
    platform::MessageSink previous_;
};

// What a shortcut file says: its target and its description.
struct LinkContents {
    std::string target;
    std::string description;
};

LinkContents ReadLink(const std::string& path) {
    LinkContents contents;
    const HRESULT init = ::CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            const std::wstring wide = std::filesystem::path(path).wstring();
            if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
                char text[MAX_PATH] = {};
                if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) {
                    contents.target = text;
                }
                char description[MAX_PATH] = {};
                if (SUCCEEDED(link->GetDescription(description, MAX_PATH))) {
                    contents.description = description;
                }
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) {
        ::CoUninitialize();
    }
    return contents;
}

std::string ModulePath() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string TempFolder() {
    char path[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, path);
    return path;
}

// Keeps a shortcut that the user already has out of the way for the test and puts it back afterwards.
class StartupShortcutTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = StartupShortcutPath();
        ASSERT_FALSE(path_.empty()) << "no Startup folder";
        saved_ = path_ + ".glimmerfen-test";
        hadOne_ = ::MoveFileExA(path_.c_str(), saved_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    void TearDown() override {
        ::DeleteFileA(path_.c_str());
        if (hadOne_) {
            ::MoveFileA(saved_.c_str(), path_.c_str());
        }
    }
    bool Exists() const { return ::GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string path_;
    std::string saved_;
    bool hadOne_ = false;
};

TEST_F(StartupShortcutTest, CreatedForTheExecutableOverwrittenAfterAMoveAndDeleted) {
    AppSettings settings;
    MessageCatcher catcher;
    const std::string exe = ModulePath();
    settings.ChkStartUp = 1;
    UpdateStartupShortcut(settings, exe, "GlimmerfenChecker");
    ASSERT_TRUE(Exists()) << path_;
    EXPECT_EQ(path_.substr(path_.size() - std::string(kShortcutFileName).size()), kShortcutFileName);
    LinkContents link = ReadLink(path_);
    EXPECT_EQ(_stricmp(link.target.c_str(), exe.c_str()), 0) << link.target;
    EXPECT_EQ(link.description, "GlimmerfenChecker");

    // The program moved: ticking the box again points the shortcut at the new place.
    const std::string moved = TempFolder() + "GlimmerfenChecker-moved.exe";
    ASSERT_TRUE(::CopyFileA(exe.c_str(), moved.c_str(), FALSE));
    UpdateStartupShortcut(settings, moved, "GlimmerfenChecker");
    link = ReadLink(path_);
    EXPECT_EQ(_stricmp(link.target.c_str(), moved.c_str()), 0) << link.target;
    ::DeleteFileA(moved.c_str());

    settings.ChkStartUp = 0;
    UpdateStartupShortcut(settings, exe, "GlimmerfenChecker");
    EXPECT_FALSE(Exists());
    EXPECT_TRUE(catcher.messages.empty());
}

TEST_F(StartupShortcutTest, DeletingAMissingShortcutSaysSo) {
    AppSettings settings;
    MessageCatcher catcher;
    settings.ChkStartUp = 0;
    UpdateStartupShortcut(settings, ModulePath(), "Renamed");
    ASSERT_EQ(catcher.messages.size(), 1u);
    EXPECT_EQ(catcher.messages[0].text, "Shortcut deletion went wrong.");
    EXPECT_EQ(catcher.messages[0].caption, "Renamed");
    EXPECT_EQ(catcher.messages[0].icon, platform::MessageIcon::Warning);
}

TEST_F(StartupShortcutTest, DoubleByteTargetSurvives) {
    if (::GetACP() != 932) {
        GTEST_SKIP() << "needs the Japanese code page";
    }
    // 表 is 0x95 0x5C in Shift-JIS: its second byte looks like a backslash.
    const std::string folder = TempFolder() + "\x95\x5C\x8C\x76\x8E\x5A"; // 表計算
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\GlimmerfenChecker.exe";
    ASSERT_TRUE(::CopyFileA(ModulePath().c_str(), exe.c_str(), FALSE));
    AppSettings settings;
    settings.ChkStartUp = 1;
    UpdateStartupShortcut(settings, exe, "GlimmerfenChecker");
    EXPECT_EQ(ReadLink(path_).target, exe);
    ::DeleteFileA(exe.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST(ShowHelp, MissingManualSaysSoWithTheApplicationsName) {
    MessageCatcher catcher;
    const std::string folder = TempFolder() + "glimmerfen-no-manual\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ui::ShowHelp(folder, "GlimmerfenChecker");
    ui::ShowHelp(folder, "GlimmerfenChecker");
    ASSERT_EQ(catcher.messages.size(), 2u);
    for (const Message& m : catcher.messages) {
        EXPECT_EQ(m.text, platform::LoadText(IDS_NO_HELP_FILE));
        EXPECT_EQ(m.caption, "GlimmerfenChecker");
        EXPECT_EQ(m.icon, platform::MessageIcon::Warning);
    }
    ::RemoveDirectoryA(folder.c_str());
}

TEST(ShowHelp, ViewerIsBoundOnceForEveryRequest) {
    ui::HtmlHelpBinding binding;
    const std::string missing = TempFolder() + "glimmerfen-missing\\manual.chm";
    EXPECT_EQ(binding.Call(nullptr, missing, 0, 0), nullptr);
    EXPECT_EQ(binding.Call(nullptr, missing, 0, 0), nullptr);
    EXPECT_FALSE(binding.Failed());
    EXPECT_EQ(binding.LoadCount(), 1);
}

// Regression: at log-off the system ends the process once the main window has answered WM_ENDSESSION,
// so neither the close sequence's posted messages nor the exit routine ran, and the first-run answer
// (asked again at every logon), the sender text and the list window's layout were lost.
TEST(MainWindow, EndOfTheSessionSavesTheSettingsAndTheListLayout) {
    test::TempDir dir;
    CCheckerApp app;
    app.appName = "GlimmerfenChecker";
    app.exeDir = dir.Path().string() + "\\";
    app.iniPath = dir.File(kIniFileName);
    app.settings.InitFlag = 1; // as after the first-run question
    app.settings.ChkStartUp = 1;
    app.settings.StartDlg = 1;
    app.settings.MsgFrom.Set("alice(PC01)");
    Win32StartupHost host;
    const std::unique_ptr<Watch> watch = MakeWatch(app);
    ui::CTrayDlg mainWindow(MainWindowContext(app, host, *watch));
    ASSERT_TRUE(mainWindow.CreateModeless(nullptr));
    EXPECT_EQ(platform::ProfileGetInt(app.iniPath, kSettingSection, "InitFlag", -1), -1);
    ::SendMessageA(mainWindow.Hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(platform::ProfileGetInt(app.iniPath, kSettingSection, "InitFlag", -1), 1);
    EXPECT_EQ(platform::ProfileGetInt(app.iniPath, kSettingSection, "ChkStartUp", -1), 1);
    EXPECT_EQ(platform::ProfileGetString(app.iniPath, kSettingSection, "MsgFrom", ""), "alice(PC01)");
    EXPECT_EQ(platform::ProfileGetInt(app.iniPath, "DialogPos", "column0", -1), 100);
    mainWindow.DestroyWindow();
}

// Regression: "Close Application" chosen from the tray while the first-run question was up (its box
// runs a loop of its own, in which the tray menu still works) left the box on the screen and the
// process alive until it was answered. The box now goes with the program, unanswered, and the
// question comes again at the next start.
TEST(MainWindow, ClosingWhileTheFirstRunQuestionIsUpTakesTheBoxAlong) {
    test::TempDir dir;
    CCheckerApp app;
    app.appName = "GlimmerfenQuestionTest"; // the box's caption
    app.exeDir = dir.Path().string() + "\\";
    app.iniPath = dir.File(kIniFileName);
    app.settings.InitFlag = 0;
    app.settings.CycleTime3 = 50;
    app.settings.StartDlg = 1;
    Win32StartupHost host;
    const std::unique_ptr<Watch> watch = MakeWatch(app);
    ui::CTrayDlg mainWindow(MainWindowContext(app, host, *watch));

    bool boxSeen = false;
    bool boxOutlivedTheClose = false;
    bool checked = false;
    auto findBox = [] { return ::FindWindowA("#32770", "GlimmerfenQuestionTest"); };
    int attempts = 0;
    std::function<void()> closeWhenAsked = [&] {
        // The first tray tick asks; without a box within five seconds the window is closed all the same.
        if (findBox() == nullptr && ++attempts < 250) {
            test::RunSoon(closeWhenAsked, 20);
            return;
        }
        boxSeen = findBox() != nullptr;
        mainWindow.CloseApplication();
        // A box still up a second later is answered from here, so that the test ends either way.
        test::RunSoon(
            [&] {
                if (HWND box = findBox()) {
                    boxOutlivedTheClose = true;
                    ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
                }
                checked = true;
            },
            1000);
    };
    test::RunSoon(closeWhenAsked, 20);
    mainWindow.RunModal(nullptr);
    EXPECT_TRUE(test::PumpUntil([&] { return checked; }, 5000));
    EXPECT_TRUE(boxSeen);
    EXPECT_FALSE(boxOutlivedTheClose);
    EXPECT_EQ(app.settings.InitFlag.load(), 0) << "an unanswered question must come again";
}

// Regression: run as administrator, the window missed a restarted shell's TaskbarCreated; the icon was gone.
TEST(MainWindow, TrayIconComesBackWithTheTaskbarAndAnswersTheKeyboard) {
    test::TempDir dir;
    CCheckerApp app;
    app.iniPath = dir.File(kIniFileName);
    app.settings.StartDlg = 1;
    app.settings.CycleTime3 = 3600000; // no tick meanwhile
    Win32StartupHost host;
    const std::unique_ptr<Watch> watch = MakeWatch(app);
    ui::TrayContext context = MainWindowContext(app, host, *watch);
    // Calls to the shell: 0 add, 1 modify, 2 delete, 4 version, A filter; ? not the full record, ! failed.
    std::string calls;
    const UINT created = ::RegisterWindowMessageA("TaskbarCreated");
    auto note = [&](const std::string& call, bool ok) { return calls += call + (ok ? " " : "! "), ok; };
    platform::SetTrayShellForTesting(
        [&](DWORD action, NOTIFYICONDATAA& r) {
            const bool full = r.cbSize == sizeof r && r.uVersion == 4 && (r.uFlags & NIF_SHOWTIP);
            return note(std::to_string(action) + (full ? "" : "?"), ::Shell_NotifyIconA(action, &r) != FALSE);
        },
        [&](HWND w, UINT m) {
            return note(m == created ? "A" : "?", ::ChangeWindowMessageFilterEx(w, m, MSGFLT_ALLOW, nullptr) != FALSE);
        });
    struct ShellRestored {
        ~ShellRestored() { platform::SetTrayShellForTesting(nullptr, nullptr); }
    } restored;
    ui::CTrayDlg mainWindow(std::move(context));
    ASSERT_TRUE(mainWindow.CreateModeless(nullptr));
    EXPECT_EQ(std::exchange(calls, ""), "A 0 4 ");
    // The taskbar announced to all while the icon is still there (the lost icon coming back: end-to-end).
    ::PostMessageA(HWND_BROADCAST, created, 0, 0);
    EXPECT_TRUE(test::PumpUntil([&] { return !calls.empty(); }));
    EXPECT_EQ(std::exchange(calls, ""), "0! 1 4 ");
    const HWND list = ::FindWindowA(nullptr, "Glimmerfen Checker - ListView");
    ::PostMessageA(mainWindow.Hwnd(), ui::kTrayNotifyMessage, MAKEWPARAM(300, 330), NIN_KEYSELECT);
    EXPECT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(list) != FALSE; }));
    mainWindow.DestroyWindow();
    EXPECT_EQ(calls, "2 ");
}

} // namespace
} // namespace glimmerfen
