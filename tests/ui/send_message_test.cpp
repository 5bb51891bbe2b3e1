// The send-message dialog with a stand-in net.exe or msg.exe in the system folder (where the dialog
// starts the commands from): what the user sees, what the command receives, what the output box shows,
// and the keys.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/temp_dir.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "resource.h"
#include "ui/dialogs/SendMsgDlg.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using test::RunSoon;
using test::WindowTextUtf8;
using ui::MessageCommand;

const char kStubOutput[] = "Stand-in: the message was handed on.\r\nStand-in: \x82\xa0 on standard error.\r\n";

std::string ExeDir() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string SystemDir() {
    char path[MAX_PATH] = {};
    ::GetSystemDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\";
}

// The stand-in under a command's name in the system folder, for the test's lifetime (a file of that
// name there, Wine's own net.exe, is put back afterwards), recording into a file of the test's own.
class StandIn {
public:
    explicit StandIn(const char* name) : path_(SystemDir() + name), saved_(path_ + ".saved") {
        kept_ = ::MoveFileExA(path_.c_str(), saved_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        installed_ = ::CopyFileA((ExeDir() + "msgstub.exe").c_str(), path_.c_str(), FALSE) != FALSE;
        ::SetEnvironmentVariableA("GLIMMERFEN_STUB_RECORD", record_.c_str());
    }
    ~StandIn() {
        ::DeleteFileA(path_.c_str());
        if (kept_) {
            ::MoveFileExA(saved_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        ::SetEnvironmentVariableA("GLIMMERFEN_STUB_RECORD", nullptr);
    }
    bool Installed() const { return installed_; }
    bool Ran() const { return ::GetFileAttributesA(record_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::string CommandLine() const {
        std::ifstream in(record_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    test::TempDir dir_;
    std::string path_;
    std::string saved_;
    bool kept_ = false;
    std::string record_ = dir_.File("command_line.txt");
    bool installed_ = false;
};

// Collects the message boxes' texts while it lives.
class Boxes {
public:
    Boxes() {
        previous_ = platform::SetMessageSinkForTesting(
            [this](const std::string& text, const std::string& caption, platform::MessageIcon) {
                texts.push_back(text);
                captions.push_back(caption);
            });
    }
    ~Boxes() { platform::SetMessageSinkForTesting(previous_); }
    std::vector<std::string> texts;
    std::vector<std::string> captions;

private:
    platform::MessageSink previous_;
};

const char* CaptionOfDialog() {
    return test::JapaneseUi() ? "Glimmerfen Checker - \xEF\xBE\x92\xEF\xBD\xAF\xEF\xBD\xBE\xEF\xBD\xB0\xEF\xBD\xBC"
                                "\xEF\xBE\x9E\xE9\x80\x81\xE4\xBF\xA1" // ﾒｯｾｰｼﾞ送信
                              : "Glimmerfen Checker - Sending Messeage";
}

TEST(SendMessageDialog, TransmissionRunsTheCommandAndShowsItsOutput) {
    struct Case {
        MessageCommand command;
        const char* program;
        const char* expectedLine;
    };
    const Case cases[] = {
        {MessageCommand::NetSend, "net.exe", "net send PC1 \"This message from Bob\n\nHello\r\nthere\""},
        {MessageCommand::Msg, "msg.exe", "msg * /server:PC1 \"This message from Bob\n\nHello\r\nthere\""},
    };
    for (const Case& c : cases) {
        StandIn standIn(c.program);
        ASSERT_TRUE(standIn.Installed()) << c.program;
        Boxes boxes;
        ui::CSendMsgDlg dialog("GlimmerfenChecker");
        dialog.SetCommand(c.command);
        dialog.recipient = "PC1";
        dialog.sender = "Bob";
        RunSoon([&] {
            HWND box = dialog.Hwnd();
            EXPECT_EQ(WindowTextUtf8(box), CaptionOfDialog());
            EXPECT_EQ(WindowTextUtf8(dialog.Item(IDC_RECIPIENT)), "PC1");
            EXPECT_FALSE(::IsWindowEnabled(dialog.Item(IDC_RECIPIENT))) << "the recipient cannot be changed";
            EXPECT_EQ(WindowTextUtf8(dialog.Item(IDC_SENDER)), "Bob");
            EXPECT_EQ(WindowTextUtf8(dialog.Item(IDC_MESSAGE)), "");
            EXPECT_EQ(::GetFocus(), dialog.Item(IDOK)) << "the focus starts on Transmission";
            ::SetWindowTextA(dialog.Item(IDC_MESSAGE), "Hello\r\nthere");
            ::SendMessageA(dialog.Item(IDOK), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL) << "the dialog ends as Cancel does";
        EXPECT_EQ(standIn.CommandLine(), c.expectedLine) << c.program;
        ASSERT_EQ(boxes.texts.size(), 1u) << c.program;
        EXPECT_EQ(boxes.texts[0], kStubOutput) << "both outputs, as they came";
        EXPECT_EQ(boxes.captions[0], "GlimmerfenChecker");
        EXPECT_EQ(dialog.sender, "Bob");
    }
}

TEST(SendMessageDialog, EnterMakesANewLineInTheMessageAndSendsFromTheSender) {
    StandIn standIn("net.exe");
    ASSERT_TRUE(standIn.Installed());
    Boxes boxes;
    ui::CSendMsgDlg dialog("GlimmerfenChecker");
    dialog.SetCommand(MessageCommand::NetSend);
    dialog.recipient = "PC2";
    dialog.sender = "Ann";
    std::string messageAfterEnter;
    bool openAfterEnter = false;
    RunSoon([&] {
        HWND message = dialog.Item(IDC_MESSAGE);
        ::SetFocus(message);
        ::SetWindowTextA(message, "a");
        ::SendMessageA(message, EM_SETSEL, 1, 1);
        ::PostMessageA(message, WM_KEYDOWN, VK_RETURN, 1);
        ::PostMessageA(message, WM_KEYUP, VK_RETURN, 0xC0000001);
        RunSoon(
            [&, message] {
                messageAfterEnter = WindowTextUtf8(message);
                openAfterEnter = dialog.Exists();
                ::SetFocus(dialog.Item(IDC_SENDER));
                ::PostMessageA(dialog.Item(IDC_SENDER), WM_KEYDOWN, VK_RETURN, 1);
            },
            50);
    });
    EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL);
    EXPECT_TRUE(openAfterEnter) << "Enter in the message sent it";
    EXPECT_EQ(messageAfterEnter, "a\r\n");
    EXPECT_EQ(standIn.CommandLine(), "net send PC2 \"This message from Ann\n\na\r\n\"");
    EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST(SendMessageDialog, RefusalsKeepTheDialogOpen) {
    struct Case {
        const char* what;
        const char* program; // the stand-in installed, nullptr for none
        const char* recipient;
        std::string message;
        std::string expectedBox;
    };
    const std::string tooLong(ui::kCommandLineBuffer, 'x');
    const Case cases[] = {
        // Longer than the command-line buffer: refused whole, nothing runs.
        {"too long", "msg.exe", "PC1", tooLong, platform::LoadText(IDS_MESSAGE_TOO_LONG)},
        // No msg.exe in the system folder (Wine has none): the chosen command cannot start.
        {"no program", nullptr, "PC1", "Hi", "fail to create process\n"},
        {"recipient", "msg.exe", "PC1 /time:0", "Hi", platform::LoadText(IDS_BAD_COMPUTER_NAME)},
        {"character", "msg.exe", "PC1", "Hi\x1b[2J", platform::LoadText(IDS_MESSAGE_BAD_CHARACTER)},
    };
    for (const Case& c : cases) {
        StandIn standIn(c.program != nullptr ? c.program : "unused.exe");
        Boxes boxes;
        ui::CSendMsgDlg dialog("GlimmerfenChecker");
        dialog.SetCommand(MessageCommand::Msg);
        dialog.recipient = c.recipient;
        dialog.sender = "Bob";
        bool stillOpen = false;
        RunSoon([&] {
            ::SetWindowTextA(dialog.Item(IDC_MESSAGE), c.message.c_str());
            ::SendMessageA(dialog.Item(IDOK), BM_CLICK, 0, 0);
            stillOpen = dialog.Exists();
            ::SendMessageA(dialog.Item(IDCANCEL), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(dialog.RunModal(nullptr), IDCANCEL) << c.what;
        EXPECT_TRUE(stillOpen) << c.what;
        EXPECT_FALSE(standIn.Ran()) << c.what;
        ASSERT_EQ(boxes.texts.size(), 1u) << c.what;
        EXPECT_EQ(boxes.texts[0], c.expectedBox) << c.what;
        EXPECT_FALSE(c.expectedBox.empty()) << c.what;
    }
}

} // namespace
} // namespace glimmerfen
