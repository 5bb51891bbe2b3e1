// The log viewer (dialog 141) on a real log file: the tree after the deferred load, what a selection
// lists, Delete and Refresh (the menu command and F5 from any control) as they reach "log.txt", the
// columns and "LogDialogPos", the search box and the activity strip.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/temp_dir.h"
#include "platform/exclusive_file.h"
#include "platform/notify.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "resource.h"
#include "ui/framework/Dialog.h"
#include "ui/list/ListLogic.h"
#include "ui/logview/LogViewerDlg.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using ui::CLogViewerDlg;

// 2024-12-06 10:00 and 2024-12-07 10:00 in Tokyo (the tests run with TZ=Asia/Tokyo).
constexpr const char* kDay1 = "1733446800";
constexpr const char* kDay2 = "1733533200";

std::string Line(const char* time, const std::string& client, const std::string& user, const std::string& path) {
    return std::string(time) + "\t" + client + "\t" + user + "\t2024/12/06 10:00:00\t0\tWin\t1\tOpen\t" + path +
           "\t\t\r\n";
}

// Pumps the thread's messages through the program's pre-translate chain (as its modal runs do) until
// `done` or about five seconds.
bool PumpThroughChain(const std::function<bool()>& done) {
    const UINT_PTR tick = ::SetTimer(nullptr, 0, 10, nullptr);
    const DWORD start = ::GetTickCount();
    ui::RunMessageLoop([&] { return done() || ::GetTickCount() - start > 5000; });
    ::KillTimer(nullptr, tick);
    return done();
}

std::string ItemText(HWND tree, HTREEITEM item) {
    char text[256] = {};
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    TreeView_GetItem(tree, &tv);
    return text;
}

// The tree as "date[user,user]" per date, "+" after a date that was expanded (each is expanded to
// read its users, as a user would).
std::string TreeShape(HWND tree) {
    std::string shape;
    for (HTREEITEM date = TreeView_GetRoot(tree); date != nullptr; date = TreeView_GetNextSibling(tree, date)) {
        shape += ItemText(tree, date);
        if (TreeView_GetItemState(tree, date, TVIS_EXPANDED) & TVIS_EXPANDED) {
            shape += "+";
        }
        TreeView_Expand(tree, date, TVE_EXPAND);
        shape += "[";
        for (HTREEITEM user = TreeView_GetChild(tree, date); user != nullptr;
             user = TreeView_GetNextSibling(tree, user)) {
            shape += ItemText(tree, user) + (TreeView_GetNextSibling(tree, user) ? "," : "");
        }
        shape += "]";
    }
    return shape;
}

HTREEITEM FindItem(HWND tree, const std::string& date, const std::string& user = {}) {
    for (HTREEITEM d = TreeView_GetRoot(tree); d != nullptr; d = TreeView_GetNextSibling(tree, d)) {
        if (ItemText(tree, d) != date) {
            continue;
        }
        if (user.empty()) {
            return d;
        }
        TreeView_Expand(tree, d, TVE_EXPAND);
        for (HTREEITEM u = TreeView_GetChild(tree, d); u != nullptr; u = TreeView_GetNextSibling(tree, u)) {
            if (ItemText(tree, u) == user) {
                return u;
            }
        }
    }
    return nullptr;
}

// Column `column` of every listed row, joined by "|".
std::string ListColumn(HWND list, int column) {
    std::string joined;
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        char text[256] = {};
        ListView_GetItemText(list, row, column, text, sizeof text);
        joined += (row ? "|" : "") + std::string(text);
    }
    return joined;
}

class LogViewerTest : public ::testing::Test, public test::LogFolder {
protected:
    void SetUp() override {
        iniPath_ = dir_.File("Glimmerfen.ini");
        log_ = Line(kDay1, "PC1", "alice", "\\a1") + Line(kDay1, "PC2", "Bob", "\\b1") +
               Line(kDay2, "PC3", "bob", "\\b2") + Line(kDay1, "PC1", "alice", "\\a2") +
               Line(kDay2, "PC4", "Bob", "\\b3");
        test::WriteBytes(LogPath(), log_);
    }

    // Opens the viewer modeless and waits for its deferred load.
    void Open() {
        ASSERT_TRUE(viewer_.CreateModeless(nullptr));
        ASSERT_TRUE(PumpThroughChain([&] { return TreeView_GetCount(Tree()) > 0; }));
    }
    HWND Tree() const { return viewer_.Item(IDC_LOG_TREE); }
    HWND List() const { return viewer_.Item(IDC_LOG_LIST); }
    std::string Status() const { return test::WindowTextUtf8(viewer_.Item(IDC_LOG_STATUS)); }
    static std::string Objects(int n) {
        return std::to_string(n) + (test::JapaneseUi() ? "個のオブジェクト" : "objects");
    }

    std::string iniPath_;
    std::string log_;
    CLogViewerDlg viewer_{ui::LogViewContext{ExeDir(), dir_.File("Glimmerfen.ini")}};
};

// Dates ascending, the users of a date alphabetically without regard to case but each spelling its own
// item, the last line's date expanded; a date lists all its lines, a user only its own of that date.
TEST_F(LogViewerTest, TreeAfterLoadAndWhatASelectionLists) {
    Open();
    EXPECT_EQ(TreeShape(Tree()), "2024-12-06[alice,Bob]2024-12-07+[Bob,bob]");
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(::SendMessageA(viewer_.Item(IDC_LOG_PROGRESS), PBM_GETPOS, 0, 0), 0);

    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06"));
    EXPECT_EQ(ListColumn(List(), 0), "PC1|PC2|PC1");
    EXPECT_EQ(ListColumn(List(), 7), "\\a1|\\b1|\\a2");
    EXPECT_EQ(Status(), Objects(3));

    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-07", "Bob"));
    EXPECT_EQ(ListColumn(List(), 0), "PC4");
    EXPECT_EQ(ListColumn(List(), 1), "Bob");
    EXPECT_EQ(Status(), Objects(1));
    viewer_.DestroyWindow();
}

// Delete marks in memory only; Refresh (F5 in the list, then in the tree) writes the log without the
// marked lines and keeps every other line, the one appended since the load included, in its order.
TEST_F(LogViewerTest, DeleteThenF5FromAnyControlRewritesTheLog) {
    Open();
    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06", "alice"));
    EXPECT_EQ(viewer_.ListedCount(), 2u);
    viewer_.RunCommand(ID_LOG_DELETE);
    EXPECT_EQ(test::ReadBytes(LogPath()), log_);
    EXPECT_EQ(FindItem(Tree(), "2024-12-06", "alice"), nullptr);
    EXPECT_NE(FindItem(Tree(), "2024-12-06", "Bob"), nullptr);

    const std::string appended = Line(kDay2, "PC5", "carol", "\\c1");
    test::WriteBytes(LogPath(), log_ + appended);
    ::PostMessageA(List(), WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.Log().RowCount() == 4; }));
    EXPECT_EQ(test::ReadBytes(LogPath()), Line(kDay1, "PC2", "Bob", "\\b1") + Line(kDay2, "PC3", "bob", "\\b2") +
                                              Line(kDay2, "PC4", "Bob", "\\b3") + appended);
    EXPECT_FALSE(TempExists());
    EXPECT_EQ(TreeShape(Tree()), "2024-12-06+[Bob]2024-12-07+[Bob,bob,carol]");

    // The only user of a date goes with its date.
    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06", "Bob"));
    viewer_.RunCommand(ID_LOG_DELETE);
    EXPECT_EQ(TreeShape(Tree()).rfind("2024-12-07", 0), 0u);
    ::PostMessageA(Tree(), WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.Log().RowCount() == 3; }));
    EXPECT_EQ(test::ReadBytes(LogPath()),
              Line(kDay2, "PC3", "bob", "\\b2") + Line(kDay2, "PC4", "Bob", "\\b3") + appended);
    viewer_.DestroyWindow();
}

// Regression: while another program held the log, Refresh dropped the user's deletions without a word.
// Now the user is told, the marks stay, and the next Refresh applies them.
TEST_F(LogViewerTest, RefreshWhileTheLogIsHeldTellsTheUserAndKeepsTheMarks) {
    std::vector<std::string> shown;
    const platform::MessageSink previous = platform::SetMessageSinkForTesting(
        [&](const std::string& text, const std::string&, platform::MessageIcon) { shown.push_back(text); });
    Open();
    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06", "alice"));
    viewer_.RunCommand(ID_LOG_DELETE);
    const HWND find = viewer_.Item(IDC_LOG_FIND);
    ::SetWindowTextA(find, "bob");
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.ListedCount() == 3; }));
    {
        platform::ExclusiveFile other;
        ASSERT_TRUE(other.Open(LogPath(), platform::FileOpenMode::ReadExisting));
        // Regression: a refresh before the new text's rows were listed kept listing the text before it.
        ::SetWindowTextA(find, "bob \\b3");
        viewer_.RunCommand(ID_LOG_REFRESH);
        EXPECT_TRUE(PumpThroughChain([&] { return viewer_.ListedCount() == 1; }));
        EXPECT_EQ(ListColumn(List(), 0), "PC4");
        EXPECT_EQ(Status(), Objects(1));
        // A close that cannot write them asks first; "No" keeps the viewer open, marks and all.
        auto asked = std::make_shared<std::string>();
        const HWND viewer = viewer_.Hwnd();
        test::RunSoon(
            [asked, viewer] {
                const HWND box = ::GetLastActivePopup(viewer);
                char text[1024] = {};
                ::GetWindowTextA(::GetDlgItem(box, 0xFFFF), text, sizeof text);
                *asked = text;
                ::PostMessageA(box, WM_COMMAND, IDNO, 0);
            },
            300);
        ::SendMessageA(viewer, WM_CLOSE, 0, 0);
        EXPECT_EQ(*asked, platform::LoadText(IDS_LOG_APPLY_CLOSE));
        EXPECT_TRUE(viewer_.Exists());
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], platform::LoadText(IDS_LOG_APPLY_HELD));
    EXPECT_EQ(test::ReadBytes(LogPath()), log_);
    EXPECT_EQ(FindItem(Tree(), "2024-12-06", "alice"), nullptr) << "the deleted user came back";
    viewer_.RunCommand(ID_LOG_REFRESH);
    EXPECT_EQ(test::ReadBytes(LogPath()), Line(kDay1, "PC2", "Bob", "\\b1") + Line(kDay2, "PC3", "bob", "\\b2") +
                                              Line(kDay2, "PC4", "Bob", "\\b3"));
    EXPECT_EQ(shown.size(), 1u);
    platform::SetMessageSinkForTesting(previous);
    viewer_.DestroyWindow();
}

// The saved rectangle and columns are used; the column commands flip a column between width 0 and its
// remembered width; Close writes them back and applies the marks.
TEST_F(LogViewerTest, ColumnsAndPlaceRoundTripThroughLogDialogPos) {
    test::WriteBytes(iniPath_, "[LogDialogPos]\r\ntop=50\r\nbottom=450\r\nright=760\r\nleft=60\r\ncolumn0=80\r\n"
                               "columnck2=0\r\n");
    Open();
    RECT rect{};
    ::GetWindowRect(viewer_.Hwnd(), &rect);
    EXPECT_EQ(rect.left, 60);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right, 760);
    EXPECT_EQ(rect.bottom, 450);
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(List())), 9);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 0), 80);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 2), 0);

    viewer_.RunCommand(ID_LOG_COL_START_TIME);
    viewer_.RunCommand(ID_LOG_COL_CLIENT_NAME);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 2), 100);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 0), 0);

    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-07"));
    viewer_.RunCommand(ID_LOG_DELETE);
    ::PostMessageA(viewer_.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpThroughChain([&] { return !viewer_.Exists(); }));
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "left", 0), 60);
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "bottom", 0), 450);
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "columnck0", -1), 0);
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "column0", -1), 80);
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "columnck2", -1), 1);
    EXPECT_EQ(test::ReadBytes(LogPath()), Line(kDay1, "PC1", "alice", "\\a1") + Line(kDay1, "PC2", "Bob", "\\b1") +
                                              Line(kDay1, "PC1", "alice", "\\a2"));
}

// Typing lists the matching lines of every date in file order with their count, the tree's selection
// taken away; Esc in the box empties it without closing the viewer and brings the selection back;
// choosing a tree item ends a search.
TEST_F(LogViewerTest, FindListsMatchesAcrossDatesAndEscBringsTheTreeBack) {
    Open();
    HWND find = viewer_.Item(IDC_LOG_FIND);
    ASSERT_NE(find, nullptr);
    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06", "alice"));
    ASSERT_EQ(viewer_.ListedCount(), 2u);

    ::SetWindowTextA(find, "BOB");
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.ListedCount() == 3; }));
    EXPECT_EQ(ListColumn(List(), 0), "PC2|PC3|PC4");
    EXPECT_EQ(Status(), Objects(3));
    EXPECT_EQ(TreeView_GetSelection(Tree()), nullptr);
    // Both words, in any of the fields.
    ::SetWindowTextA(find, "bob \\b3");
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.ListedCount() == 1; }));
    EXPECT_EQ(ListColumn(List(), 0), "PC4");
    EXPECT_EQ(Status(), Objects(1));

    ::PostMessageA(find, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpThroughChain([&] { return ::GetWindowTextLengthA(find) == 0; }));
    ASSERT_TRUE(viewer_.Exists());
    EXPECT_EQ(TreeView_GetSelection(Tree()), FindItem(Tree(), "2024-12-06", "alice"));
    EXPECT_EQ(ListColumn(List(), 7), "\\a1|\\a2");
    EXPECT_EQ(Status(), Objects(2));

    // Ctrl+F from the list puts the caret into the box.
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::PostMessageA(List(), WM_KEYDOWN, 'F', 0);
    PumpThroughChain([&] { return ::GetFocus() == find; });
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    EXPECT_EQ(::GetFocus(), find);

    ::SetWindowTextA(find, "pc1");
    ASSERT_TRUE(
        PumpThroughChain([&] { return viewer_.ListedCount() == 2 && TreeView_GetSelection(Tree()) == nullptr; }));
    // The tree's focus alone selects nothing; a click on a date does, and ends the search.
    ::SetFocus(Tree());
    EXPECT_EQ(TreeView_GetSelection(Tree()), nullptr);
    RECT item{};
    TreeView_GetItemRect(Tree(), FindItem(Tree(), "2024-12-07"), &item, TRUE);
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    ::PostMessageA(Tree(), WM_LBUTTONUP, 0, at); // ends the tree's wait for a drag at once
    ::SendMessageA(Tree(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    EXPECT_EQ(::GetWindowTextLengthA(find), 0);
    EXPECT_EQ(ListColumn(List(), 0), "PC3|PC4");
    viewer_.DestroyWindow();
}

// Delete acts on the tree's selection only: with a search listing lines, nothing is marked, and the
// log is the same after a Refresh.
TEST_F(LogViewerTest, DeleteWithOnlyASearchDeletesNothing) {
    Open();
    ::SetWindowTextA(viewer_.Item(IDC_LOG_FIND), "alice");
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.ListedCount() == 2; }));
    viewer_.RunCommand(ID_LOG_DELETE);
    EXPECT_EQ(viewer_.ListedCount(), 2u);
    viewer_.RunCommand(ID_LOG_REFRESH);
    ASSERT_TRUE(PumpThroughChain([&] { return viewer_.ListedCount() == 2; }));
    EXPECT_EQ(test::ReadBytes(LogPath()), log_);
    EXPECT_EQ(TreeShape(Tree()), "2024-12-06[alice,Bob]2024-12-07+[Bob,bob]");
    viewer_.DestroyWindow();
}

// The strip's height and hidden state come from "LogDialogPos" and go back there; shown again from
// the menu it takes its height above the list, and a click on an hour's bar selects that hour's first
// line.
TEST_F(LogViewerTest, StripStateComesBackFromTheIniAndABarLeadsToItsLines) {
    constexpr const char* kNine = "1733443200"; // 2024-12-06 09:00
    test::WriteBytes(LogPath(), Line(kNine, "PC1", "alice", "\\a") + Line(kNine, "PC2", "alice", "\\b") +
                                    Line(kNine, "PC3", "alice", "\\c") + Line(kDay1, "PC4", "alice", "\\d") +
                                    Line(kDay1, "PC5", "alice", "\\e"));
    test::WriteBytes(iniPath_, "[LogDialogPos]\r\nStripHeight=60\r\nStripShown=0\r\n");
    Open();
    HWND strip = viewer_.Item(IDC_LOG_STRIP);
    ASSERT_NE(strip, nullptr);
    // The viewer is not shown here: the strip's own flag tells.
    const auto shown = [&] { return (::GetWindowLongPtrA(strip, GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_FALSE(shown());

    viewer_.RunCommand(ID_LOG_SHOW_STRIP);
    EXPECT_TRUE(shown());
    RECT stripRect{};
    RECT listRect{};
    ::GetWindowRect(strip, &stripRect);
    ::GetWindowRect(List(), &listRect);
    EXPECT_EQ(stripRect.bottom - stripRect.top, ui::ScaleForDpi(60, ui::SystemDpi()));
    EXPECT_GT(listRect.top, stripRect.bottom);

    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06"));
    ASSERT_EQ(viewer_.ListedCount(), 5u);
    // The middle of hour 10's column (the 11th of 24 between the 4-pixel margins).
    RECT client{};
    ::GetClientRect(strip, &client);
    const int margin = ui::ScaleForDpi(4, ui::SystemDpi());
    const int x = margin + (client.right - 2 * margin) * 21 / 48;
    ::SendMessageA(strip, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, client.bottom / 2));
    ::SendMessageA(strip, WM_LBUTTONUP, 0, MAKELPARAM(x, client.bottom / 2));
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_SELECTED), 3);

    // Regression: the tooltip had a tool per bar, all made again at every resize; one tool covers the strip.
    HWND tooltip = strip; // becomes the tooltip popup whose tool is the strip
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            HWND& found = *reinterpret_cast<HWND*>(data);
            char name[64] = {};
            TTTOOLINFOA tool{};
            tool.cbSize = sizeof tool;
            if (::GetClassNameA(hwnd, name, sizeof name) && std::string(name) == TOOLTIPS_CLASSA &&
                ::SendMessageA(hwnd, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)) && tool.hwnd == found) {
                found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tooltip));
    ASSERT_NE(tooltip, strip);
    EXPECT_EQ(::SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
    ::SetWindowPos(strip, nullptr, 0, 0, client.right / 2, client.bottom, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(::SendMessageA(tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
    // The mouse over hour 9's column of the narrower strip.
    ::GetClientRect(strip, &client);
    POINT at{margin + (client.right - 2 * margin) * 19 / 48, client.bottom / 2};
    ::ClientToScreen(strip, &at);
    ::SetCursorPos(at.x, at.y);
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = tooltip;
    info.hdr.code = TTN_GETDISPINFOA;
    ::SendMessageA(strip, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    char expected[256] = {};
    std::snprintf(expected, sizeof expected, platform::LoadText(IDS_LOG_STRIP_HOUR).c_str(), 9, 9, 3u, 0u);
    ASSERT_NE(info.lpszText, nullptr);
    EXPECT_STREQ(info.lpszText, expected);

    ::PostMessageA(viewer_.Hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpThroughChain([&] { return !viewer_.Exists(); }));
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "StripShown", -1), 1);
    EXPECT_EQ(platform::ProfileGetInt(iniPath_, "LogDialogPos", "StripHeight", -1), 60);
}

// The Save dialog of this thread with the given caption, or null.
HWND FindSaveDialog(const std::string& captionUtf8) {
    struct Search {
        std::string caption;
        HWND found;
    } search{captionUtf8, nullptr};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (::IsWindowVisible(hwnd) && test::WindowTextUtf8(hwnd) == s.caption) {
                s.found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Export as CSV through the real Save dialog: a file name typed into it and Save pressed, as a user
// does; the file holds the listed lines of the selected date in UTF-8 behind a byte-order mark, the
// header in the interface's language, quoted fields and CR LF.
TEST_F(LogViewerTest, ExportAsCsvThroughTheSaveDialog) {
    const bool japanese = test::JapaneseUi();
    // In Japanese a user and a file name with 表 (0x95 0x5C), whose trail byte is a backslash.
    const std::string user = japanese ? "\x95\x5c" : "caf\xe9";
    const std::string userUtf8 = japanese ? "表" : "café";
    test::WriteBytes(LogPath(), Line(kDay1, "PC,1", user, "\\a \"1\"") + Line(kDay2, "PC3", "bob", "\\b2") +
                                    Line(kDay1, "PC2", "Bob", "=1+1"));
    Open();
    TreeView_SelectItem(Tree(), FindItem(Tree(), "2024-12-06"));
    ASSERT_EQ(viewer_.ListedCount(), 2u);

    const std::string fileName = japanese ? "\x95\x5c.csv" : "list.csv";
    const std::string path = dir_.File(fileName);
    const std::string title = japanese ? "CSV形式で保存" : "Export as CSV";
    bool answered = false;
    std::function<void()> answer = [&] {
        HWND dialog = FindSaveDialog(title);
        if (dialog == nullptr) {
            test::RunSoon(answer, 50);
            return;
        }
        // The file name box: a combo box in the dialogs of today, an edit box in older ones.
        HWND name = ::GetDlgItem(dialog, 0x47c);
        if (name == nullptr) {
            name = ::GetDlgItem(dialog, 0x480);
        }
        ASSERT_NE(name, nullptr);
        ::SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        ::PostMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        answered = true;
    };
    test::RunSoon(answer, 50);
    viewer_.RunCommand(ID_LOG_EXPORT_CSV);
    ASSERT_TRUE(answered);

    const std::string header = japanese ? "クライアント名,ユーザー名,接続開始時間,ユーザー識別,クライアントタイプ,"
                                          "プロセスID,操作,パス名,切断メッセージ"
                                        : "Client name,User name,Connection start time,User Identification,"
                                          "Client type,Process ID,Operation,Path name,Message for disconnect";
    // Read through the ANSI file functions: the file name is in the ANSI code page.
    std::string written;
    platform::ExclusiveFile file;
    ASSERT_TRUE(file.Open(path, platform::FileOpenMode::ReadExisting));
    char buffer[4096];
    for (std::int64_t got; (got = file.Read(buffer, sizeof buffer)) > 0;) {
        written.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(written, "\xEF\xBB\xBF" + header + "\r\n" + "\"PC,1\"," + userUtf8 +
                           ",2024/12/06 10:00:00,0,Win,1,Open,\"\\a \"\"1\"\"\",\r\n"
                           "PC2,Bob,2024/12/06 10:00:00,0,Win,1,Open,'=1+1,\r\n");
    viewer_.DestroyWindow();
}

} // namespace
} // namespace glimmerfen
