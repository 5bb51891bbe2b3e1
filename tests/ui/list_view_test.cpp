// The access list window (dialog 132) with the real engine behind it, fed by an in-process server:
// what the rows show, the automatic pop-up and its closes, "DialogPos", keys, and what a refresh of
// thousands of rows does to the control.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "settings/Settings.h"
#include "engine/temp_dir.h"
#include "engine/threading.h"
#include "monitor/AccessMonitor.h"
#include "monitor/EngineWatch.h"
#include "monitor/pipe/PipeServer.h"
#include "monitor/pipe/ServiceWatch.h"
#include "monitor/pipe/TrayConversation.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "resource.h"
#include "support/FakeServer.h"
#include "support/MemoryPipe.h"
#include "ui/framework/Dialog.h"
#include "ui/list/ListViewDlg.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using test::PumpUntil;
using test::ReadBytes;
using test::RunSoon;
using test::TempDir;
using ui::CListViewDlg;

// The fake server behind a lock, since the poll reads it on the timer thread while the test changes
// it. A session's connected time grows with the clock, as a real server's does, so its start time
// stays put from poll to poll.
class LockedServer final : public platform::ServerPlatform {
public:
    LockedServer() : origin_(platform::NowSeconds()) {}

    void Change(const std::function<void(testing::FakeServer&)>& change) {
        std::lock_guard<std::mutex> lock(mutex_);
        change(server_);
    }

    std::uint32_t SessionRound(std::uint32_t& resume, RecordList<SessionRecord>& out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t first = out.size();
        const std::uint32_t result = server_.SessionRound(resume, out);
        const auto elapsed = static_cast<std::uint32_t>(platform::NowSeconds() - origin_);
        for (std::size_t i = first; i < out.size(); ++i) {
            out[i].connectedSeconds += elapsed;
        }
        return result;
    }
    std::uint32_t OpenFileRound(const std::string& user, std::uint64_t& resume,
                                RecordList<OpenFileRecord>& out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return server_.OpenFileRound(user, resume, out);
    }
    std::uint32_t DeleteSession(const std::optional<std::string>& client, const std::string& user) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return server_.DeleteSession(client, user);
    }

private:
    std::mutex mutex_;
    testing::FakeServer server_;
    const std::int32_t origin_;
};

// Messages that write to the access list's rows, counted by a subclass of the control.
// What a refresh does to the list: texts written into it, the row count set, rows redrawn.
struct RowWrites {
    int inserts = 0;
    int texts = 0;
    int items = 0;
    int deletes = 0;
    int counts = 0;
    int redrawnRows = 0;
    int Total() const { return inserts + texts + items + deletes + counts + redrawnRows; }
};

LRESULT CALLBACK CountRowWrites(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* writes = reinterpret_cast<RowWrites*>(data);
    switch (message) {
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
        ++writes->inserts;
        break;
    case LVM_SETITEMTEXTA:
    case LVM_SETITEMTEXTW:
        ++writes->texts;
        break;
    case LVM_SETITEMA:
    case LVM_SETITEMW:
        ++writes->items;
        break;
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
        ++writes->deletes;
        break;
    case LVM_SETITEMCOUNT:
        ++writes->counts;
        break;
    case LVM_REDRAWITEMS:
        writes->redrawnRows += static_cast<int>(lParam - static_cast<LPARAM>(wParam)) + 1;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

class ListViewTest : public ::testing::Test {
protected:
    ListViewTest() : ini_(dir_.File("Glimmerfen.ini")) {
        settings.CycleTime1 = 20;
        settings.CycleTime2 = 100;
        settings.ViewTime = 30;
        settings.TopDlg = 0;
        settings.DlgPopFlag = 0;
        settings.DlgPopCloseFlag = 0;
        settings.DlgPopTime = 10;
    }
    ~ListViewTest() override { Close(); }

    CListViewDlg& Open(const std::string& logPath = "") {
        Close(); // the last window's engine goes before the next one begins
        auto engine = std::make_unique<EngineWatch>(EngineWatchContext{settings, server, logPath, "test", 1, ""});
        EngineWatch* kept = engine.get();
        return OpenWatch(std::move(engine), kept);
    }
    // engine: the watch itself, when it is the engine of this process.
    CListViewDlg& OpenWatch(std::unique_ptr<Watch> watch, EngineWatch* engine = nullptr) {
        Close();
        watch_ = std::move(watch);
        engine_ = engine;
        dialog_ = std::make_unique<CListViewDlg>(ui::ListViewContext{settings, ini_, *watch_, "test", ""});
        EXPECT_TRUE(dialog_->CreateModeless(nullptr));
        return *dialog_;
    }
    void Close() {
        if (dialog_) {
            dialog_->StopWatch();
            dialog_->DestroyWindow();
            dialog_.reset();
        }
        watch_.reset();
        engine_ = nullptr;
    }

    CListViewDlg& Dlg() { return *dialog_; }
    HWND List() { return dialog_->Item(IDC_LIST); }
    HWND Details() { return dialog_->Item(IDC_DETAILS); }
    int Rows() { return ListView_GetItemCount(List()); }
    std::string Text(int row, int column) { return dialog_->RowText(row, column); }
    int Image(int row) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ::SendMessageA(List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
    std::string DetailText(int row, int column) {
        char text[512] = {};
        ListView_GetItemText(Details(), row, column, text, sizeof text);
        return text;
    }
    std::string DetailValue(int row) { return DetailText(row, 1); }
    AccessMonitor& Monitor() { return engine_->Monitor(); }
    bool Visible() { return ::IsWindowVisible(dialog_->Hwnd()) != FALSE; }
    bool HasTaskbarButton() { return (::GetWindowLongPtrA(dialog_->Hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0; }

    // Selects a row the way a click does and tells the window about the click.
    void ClickRow(int row) {
        ListView_SetItemState(List(), row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(List(), row);
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = List();
        click.hdr.idFrom = IDC_LIST;
        click.hdr.code = NM_CLICK;
        click.iItem = row;
        ::SendMessageA(dialog_->Hwnd(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    }

    // Waits for the engine, answering the refreshes meanwhile.
    bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 8000) { return PumpUntil(done, timeoutMs); }
    // Lets the refreshes run for a while.
    void Pump(DWORD ms) {
        PumpUntil([] { return false; }, ms);
    }

    int IniInt(const char* key) { return platform::ProfileGetInt(ini_, "DialogPos", key, -12345); }

    TempDir dir_;
    const std::string ini_;
    AppSettings settings;
    LockedServer server;
    std::unique_ptr<Watch> watch_;
    EngineWatch* engine_ = nullptr; // the watch when it is the engine of this process
    std::unique_ptr<CListViewDlg> dialog_;
};

TEST_F(ListViewTest, NewAccessesComeInRowZeroWithTheirPicturesAndTexts) {
    Open();
    EXPECT_FALSE(Visible()); // the main window decides whether it is shown
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }));
    EXPECT_EQ(Text(0, 0), "PC1");
    EXPECT_EQ(Text(0, 1), "alice");
    EXPECT_EQ(Text(0, 2).size(), 19u) << Text(0, 2); // "%d-%02d-%02d %02d:%02d:%02d"
    EXPECT_EQ(Text(0, 3), "");
    EXPECT_EQ(Text(0, 4), "");
    EXPECT_EQ(Image(0), 0); // the computer
    EXPECT_EQ(ImageList_GetImageCount(ListView_GetImageList(List(), LVSIL_SMALL)), 6);

    // bob holds a file and a folder open: two open-file rows, without a client name.
    server.Change([](testing::FakeServer& s) {
        s.AddSession("PC2", "bob");
        s.AddFile("bob", "C:\\share\\report.doc", 11, 1);
    });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 2; }));
    server.Change([](testing::FakeServer& s) { s.AddFile("bob", "C:\\share\\projects", 12, 1); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 3; }));
    EXPECT_EQ(Text(0, 0), "");
    EXPECT_EQ(Text(0, 1), "bob");
    EXPECT_EQ(Text(0, 3), "FILE READ");
    EXPECT_EQ(Text(0, 4), "C:\\share\\projects");
    EXPECT_EQ(Image(0), 1); // the folder
    EXPECT_EQ(Text(1, 4), "C:\\share\\report.doc");
    EXPECT_EQ(Image(1), 2); // the notepaper
    EXPECT_EQ(Text(2, 0), "PC1");

    // alice leaves: after a second unseen her row shows the computer with the red tick.
    server.Change([](testing::FakeServer& s) { s.RemoveSession("PC1", "alice"); });
    EXPECT_TRUE(WaitFor([&] { return Image(2) == 3; }));
    EXPECT_EQ(Rows(), 3);
}

// Under code page 932 the engine's texts are Shift-JIS: the user sees whole Japanese names, and a
// path whose extension ends in a byte that looks like "\" still shows the file picture.
TEST_F(ListViewTest, JapaneseNamesAndPathsShowWhole) {
    if (::GetACP() != 932) {
        GTEST_SKIP() << "needs ANSI code page 932 (LANG=ja_JP.UTF-8)";
    }
    Open();
    server.Change([](testing::FakeServer& s) {
        s.AddSession("PC1", "\x83\x5c\x83\x74\x83\x67");                     // ソフト
        s.AddFile("\x83\x5c\x83\x74\x83\x67", "C:\\docs\\memo.\x95\x5c", 3); // memo.表
    });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }));
    wchar_t text[64] = {};
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(List(), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), L"\x30bd\x30d5\x30c8");
    item.iSubItem = 4;
    ::SendMessageW(List(), LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(text), L"C:\\docs\\memo.\x8868");
    EXPECT_EQ(Image(0), 2); // the notepaper
}

TEST_F(ListViewTest, ClickShowsTheDetailsAndTheSelectionKeepsItsRowPosition) {
    Open();
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice", 100, 7, 1, "Windows 5.1").openCount = 4; });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }));
    server.Change([](testing::FakeServer& s) { s.AddSession("PC2", "bob"); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 2; }));

    ClickRow(1);
    EXPECT_EQ(DetailValue(0), "PC1");
    EXPECT_EQ(DetailValue(1), "alice");
    EXPECT_EQ(DetailValue(2), "4");
    EXPECT_EQ(DetailValue(5), "00:00:07");
    EXPECT_EQ(DetailValue(7), "Windows 5.1");
    EXPECT_EQ(DetailText(0, 0), platform::LoadText(IDS_COL_CLIENT_NAME));
    EXPECT_EQ(DetailText(11, 0), platform::LoadText(IDS_COL_PATH_NAME));

    // A new access moves alice to row 2; the selection stays at row 1, which now shows bob.
    server.Change([](testing::FakeServer& s) { s.AddSession("PC3", "carol"); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 3; }));
    EXPECT_EQ(Text(2, 0), "PC1");
    EXPECT_EQ(ListView_GetSelectionMark(List()), 1);
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_SELECTED), 1);
    EXPECT_TRUE(WaitFor([&] { return DetailValue(0) == "PC2"; }));
}

TEST_F(ListViewTest, TheKeyboardsContextMenuOpensAtTheWindowWhereverTheCursorIs) {
    // Regression: the keyboard's menu was told by a cursor position of (-1, -1), which is a real point
    // on a monitor left of and above the primary one, and the keyboard's own message, WM_CONTEXTMENU
    // with -1 for its position, was not handled at all: Shift+F10 opened nothing.
    Open();
    ::ShowWindow(Dlg().Hwnd(), SW_SHOW);
    POINT anchor{5, 5};
    ::ClientToScreen(Dlg().Hwnd(), &anchor);
    // -1 as the whole parameter, and as the 32 bits of two -1 coordinates packed together.
    for (const LPARAM keyboard : {static_cast<LPARAM>(-1), static_cast<LPARAM>(0xFFFFFFFF)}) {
        SCOPED_TRACE(keyboard);
        ::SetCursorPos(anchor.x + 300, anchor.y + 200);
        struct Seen {
            bool ran = false;
            bool menu = false;
            RECT rect{};
        };
        auto seen = std::make_shared<Seen>();
        RunSoon(
            [seen] {
                seen->ran = true;
                HWND popup = ::FindWindowA("#32768", nullptr);
                if (popup != nullptr && ::IsWindowVisible(popup)) {
                    seen->menu = true;
                    ::GetWindowRect(popup, &seen->rect);
                }
                ::EndMenu();
            },
            300);
        ::SendMessageA(Dlg().Hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(List()), keyboard);
        ASSERT_TRUE(WaitFor([&] { return seen->ran; }));
        ASSERT_TRUE(seen->menu) << "no menu opened";
        EXPECT_LE(std::abs(seen->rect.left - anchor.x), 2) << "menu at x " << seen->rect.left;
        EXPECT_LE(std::abs(seen->rect.top - anchor.y), 2) << "menu at y " << seen->rect.top;
    }
}

// The states (MF_GRAYED, MF_CHECKED) of the context menu's items as the user sees them when the list is
// right-clicked, by command id.
std::map<UINT, UINT> ContextMenuStates(HWND dialog, HWND list,
                                       const std::function<bool(const std::function<bool()>&)>& wait) {
    struct Seen {
        bool ran = false;
        bool menu = false;
        std::map<UINT, UINT> states;
    };
    auto seen = std::make_shared<Seen>();
    RunSoon(
        [seen] {
            seen->ran = true;
            HWND popup = ::FindWindowA("#32768", nullptr);
            auto menu = popup != nullptr ? reinterpret_cast<HMENU>(::SendMessageA(popup, MN_GETHMENU, 0, 0)) : nullptr;
            if (menu != nullptr) {
                seen->menu = true;
                for (const UINT id : {ID_CHANGE_DETAILS, ID_LOG_OPEN, ID_DISCONNECT, ID_ADD_ACCEPTABLE, ID_ADD_DENIED,
                                      ID_SEND_MESSAGE, ID_OPEN_SHARED_FOLDER, ID_CLOSE_FILE}) {
                    seen->states[id] = ::GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED);
                }
            }
            ::EndMenu();
        },
        300);
    NMHDR click{list, IDC_LIST, static_cast<UINT>(NM_RCLICK)};
    ::SendMessageA(dialog, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(wait([&] { return seen->ran; }));
    EXPECT_TRUE(seen->menu) << "no menu opened";
    return seen->states;
}

TEST_F(ListViewTest, ContextMenuGreysTheRowCommandsTheRowCannotTake) {
    Open();
    ::ShowWindow(Dlg().Hwnd(), SW_SHOW);
    server.Change([](testing::FakeServer& s) {
        s.AddSession("PC1", "alice");
        s.AddSession("PC2", "bob");
        s.AddFile("bob", "C:\\share\\report.doc", 11, 1);
    });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 2; }));
    const int fileRow = Text(0, 0).empty() ? 0 : 1;
    const int sessionRow = 1 - fileRow;
    ASSERT_EQ(Text(sessionRow, 0), "PC1");

    const UINT G = MF_GRAYED;
    const struct {
        const char* what;
        std::function<void()> select;
        std::map<UINT, UINT> expected;
    } cases[] = {
        {"session row",
         [&] { ClickRow(sessionRow); },
         {{ID_CHANGE_DETAILS, 0},
          {ID_LOG_OPEN, 0},
          {ID_DISCONNECT, 0},
          {ID_ADD_ACCEPTABLE, 0},
          {ID_ADD_DENIED, 0},
          {ID_SEND_MESSAGE, 0},
          {ID_OPEN_SHARED_FOLDER, 0},
          {ID_CLOSE_FILE, G}}},
        // An open-file row names no computer, but its session can still be cut and its file closed.
        {"open-file row",
         [&] { ClickRow(fileRow); },
         {{ID_CHANGE_DETAILS, 0},
          {ID_LOG_OPEN, 0},
          {ID_DISCONNECT, 0},
          {ID_ADD_ACCEPTABLE, G},
          {ID_ADD_DENIED, G},
          {ID_SEND_MESSAGE, G},
          {ID_OPEN_SHARED_FOLDER, G},
          {ID_CLOSE_FILE, 0}}},
        {"no selection",
         [&] {
             ListView_SetItemState(List(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
             ListView_SetSelectionMark(List(), -1);
         },
         {{ID_CHANGE_DETAILS, 0},
          {ID_LOG_OPEN, 0},
          {ID_DISCONNECT, G},
          {ID_ADD_ACCEPTABLE, G},
          {ID_ADD_DENIED, G},
          {ID_SEND_MESSAGE, G},
          {ID_OPEN_SHARED_FOLDER, G},
          {ID_CLOSE_FILE, G}}},
        // The mark stays on a row that is no longer selected: nothing is selected for the user.
        {"mark without selection",
         [&] {
             ClickRow(sessionRow);
             ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
         },
         {{ID_CHANGE_DETAILS, 0},
          {ID_LOG_OPEN, 0},
          {ID_DISCONNECT, G},
          {ID_ADD_ACCEPTABLE, G},
          {ID_ADD_DENIED, G},
          {ID_SEND_MESSAGE, G},
          {ID_OPEN_SHARED_FOLDER, G},
          {ID_CLOSE_FILE, G}}},
        // "Change details" carries its check mark while the details are shown.
        {"details shown",
         [&] {
             Dlg().ToggleDetails();
             ClickRow(sessionRow);
         },
         {{ID_CHANGE_DETAILS, MF_CHECKED},
          {ID_LOG_OPEN, 0},
          {ID_DISCONNECT, 0},
          {ID_ADD_ACCEPTABLE, 0},
          {ID_ADD_DENIED, 0},
          {ID_SEND_MESSAGE, 0},
          {ID_OPEN_SHARED_FOLDER, 0},
          {ID_CLOSE_FILE, G}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.select();
        EXPECT_EQ(
            ContextMenuStates(Dlg().Hwnd(), List(), [&](const std::function<bool()>& done) { return WaitFor(done); }),
            c.expected);
    }
}

// "Disconnect" through the list window's own command map: the server is asked with the row's texts and
// the log gets the line, the server's error text when it fails; no box either way.
// Regression: the service's window kept no names of its own for the clients the service knows by
// address; showing such a row's details made the window stop answering for good.
TEST_F(ListViewTest, TheServicesWindowShowsAClientKnownByAddressWithItsName) {
    EngineWatch service(EngineWatchContext{settings, server, "", "test", 1, ""});
    service.Start({});
    auto owned = std::make_unique<test::MemoryPipe::Listener>();
    test::MemoryPipe::Listener& listener = *owned;
    pipe::PipeServer pipe(
        std::move(owned), [&] { return std::make_unique<pipe::TrayConversation>(service, "", nullptr); },
        [](pipe::Refusal) {});
    pipe.Start();
    // The window and its view go before the pipe they read, also when an assertion ends the test.
    const std::shared_ptr<void> windowFirst(nullptr, [this](void*) { Close(); });
    OpenWatch(std::make_unique<pipe::ServiceWatch>(
        settings, [&](platform::PipeConnect& outcome) { return listener.Connect(outcome); }, "test",
        [](const std::string& address) {
            return address == "10.1.2.3" ? std::optional<std::string>("PC-ADDR") : std::nullopt;
        }));
    server.Change([](testing::FakeServer& s) { s.AddSession("10.1.2.3", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }));
    ClickRow(0);
    EXPECT_TRUE(WaitFor([&] { return DetailValue(0) == "10.1.2.3 (PC-ADDR)"; })) << DetailValue(0);
    EXPECT_EQ(DetailValue(1), "alice");
}

TEST_F(ListViewTest, DisconnectAsksTheServerWithTheRowsTextsAndLogsTheOutcome) {
    settings.LogOut = 1;
    const std::string log = dir_.File("log.txt");
    Open(log);
    const std::string longUser(400, 'u'); // longer than any fixed buffer the command once had
    server.Change([&](testing::FakeServer& s) {
        s.AddSession("PC1", longUser);
        s.AddFile(longUser, "C:\\share\\a.txt", 5, 1);
        s.AddSession("PC2", "bob");
    });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 2; }));
    const int fileRow = Text(0, 0).empty() ? 0 : 1;
    const int sessionRow = 1 - fileRow;
    ASSERT_EQ(Text(sessionRow, 0), "PC2");

    // The server is called on a thread of its own, the line written after the call.
    std::vector<testing::FakeServer::Deletion> deletions;
    const auto deleted = [&](std::size_t count) {
        return WaitFor([&] {
            server.Change([&](testing::FakeServer& s) { deletions = s.deletions; });
            return deletions.size() >= count;
        });
    };
    ClickRow(sessionRow);
    ::SendMessageA(Dlg().Hwnd(), WM_COMMAND, ID_DISCONNECT, 0);
    ASSERT_TRUE(deleted(1));
    server.Change([](testing::FakeServer& s) { s.deleteResult = 53; });
    ClickRow(fileRow);
    ::SendMessageA(Dlg().Hwnd(), WM_COMMAND, ID_DISCONNECT, 0);
    // Without a selection mark nothing happens.
    ListView_SetSelectionMark(List(), -1);
    ::SendMessageA(Dlg().Hwnd(), WM_COMMAND, ID_DISCONNECT, 0);
    ASSERT_TRUE(deleted(2));
    // The lines are written in the order of the commands: the second one's last. The log is read once
    // the engine has stopped, after its last task: a read meanwhile would hold the file against the
    // task's exclusive opening, and the line would wait behind a box.
    Dlg().StopWatch();
    server.Change([&](testing::FakeServer& s) { deletions = s.deletions; });
    // The open-file row has no client: its user's sessions are closed without one.
    const std::vector<testing::FakeServer::Deletion> expected = {{"\\\\PC2", "bob"}, {"", longUser, true}};
    EXPECT_EQ(deletions, expected);

    // The two disconnect lines after the access lines: client, user and message in fields 1, 2 and 9.
    std::vector<std::vector<std::string>> disconnects;
    std::string text = ReadBytes(log);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::vector<std::string> fields;
        const std::string line = text.substr(start, end - start);
        for (std::size_t from = 0;;) {
            const std::size_t tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos) {
                break;
            }
            from = tab + 1;
        }
        ASSERT_EQ(fields.size(), 11u) << line;
        if (!fields[9].empty()) {
            disconnects.push_back({fields[1], fields[2], fields[9]});
        }
    }
    EXPECT_EQ(start, text.size()) << "the log does not end with a whole line";
    const std::vector<std::vector<std::string>> expectedLines = {
        {"PC2", "bob", platform::LoadText(IDS_DISCONNECT_MANUAL)},
        {"", longUser, platform::LoadText(IDS_DISCONNECT_ERROR) + "(Error:53)"},
    };
    EXPECT_EQ(disconnects, expectedLines);
    EXPECT_EQ(test::CountThreadWindowsWithCaption("test"), 0) << "a box came up";
}

// "Add to Denied PC" on a session row while the acceptable list is the target: the name goes into the
// denied list, and the question box (owned by the list window, captioned "Glimmerfen Checker") decides
// whether the target switches.
TEST_F(ListViewTest, AddToDeniedAsksBeforeSwitchingTheTarget) {
    settings.DisJuncOkPcFlag = 1;
    settings.DisJuncNgPcFlag = 0;
    settings.DisJuncNgPcStr.Set("A;");
    Open();
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }));
    ClickRow(0);

    for (const int answer : {IDCANCEL, IDOK}) {
        SCOPED_TRACE(answer);
        struct Seen {
            std::string text;
            HWND owner = nullptr;
        };
        auto seen = std::make_shared<Seen>();
        RunSoon(
            [seen, answer] {
                HWND box = ::FindWindowA("#32770", "Glimmerfen Checker");
                if (box != nullptr) {
                    char text[512] = {};
                    ::GetWindowTextA(::GetDlgItem(box, 0xFFFF), text, sizeof text);
                    seen->text = text;
                    seen->owner = ::GetWindow(box, GW_OWNER);
                    ::PostMessageA(box, WM_COMMAND, answer, 0);
                }
            },
            300);
        ::SendMessageA(Dlg().Hwnd(), WM_COMMAND, ID_ADD_DENIED, 0);
        EXPECT_EQ(seen->text, platform::LoadText(IDS_ASK_TARGET_DENIED));
        EXPECT_EQ(seen->owner, Dlg().Hwnd());
        EXPECT_EQ(settings.DisJuncNgPcStr.Get(), "A;;PC1") << "added once, kept on Cancel";
        EXPECT_EQ(settings.DisJuncOkPcFlag.load(), answer == IDOK ? 0 : 1);
        EXPECT_EQ(settings.DisJuncNgPcFlag.load(), answer == IDOK ? 1 : 0);
    }
    // Now the denied list is the target: nothing is asked, and the acceptable list is left alone.
    auto asked = std::make_shared<bool>(false);
    RunSoon(
        [asked] {
            if (HWND box = ::FindWindowA("#32770", "Glimmerfen Checker"); box != nullptr) {
                *asked = true;
                ::PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            }
        },
        300);
    ::SendMessageA(Dlg().Hwnd(), WM_COMMAND, ID_ADD_DENIED, 0);
    Pump(400);
    EXPECT_FALSE(*asked);
    EXPECT_EQ(settings.DisJuncNgPcStr.Get(), "A;;PC1");
    EXPECT_EQ(settings.DisJuncOkPcStr.Get(), "");
}

TEST_F(ListViewTest, CloseMode0PopsUpAndHidesWhenTheTableEmpties) {
    settings.DlgPopFlag = 1;
    settings.DlgPopCloseFlag = 0;
    settings.ViewTime = 0;
    Open();
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Visible(); }));
    EXPECT_TRUE(HasTaskbarButton());
    EXPECT_EQ(IniInt("top"), -12345); // nothing saved yet

    server.Change([](testing::FakeServer& s) { s.RemoveSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return !Visible(); }));
    EXPECT_FALSE(HasTaskbarButton());
    EXPECT_EQ(Monitor().EntryCount(), 0);
    EXPECT_NE(IniInt("top"), -12345); // the hide saved "DialogPos"
    EXPECT_EQ(Rows(), 1);             // the last access stays on display
}

TEST_F(ListViewTest, CloseMode1HidesAfterTheDelayWhileTheAccessLasts) {
    settings.DlgPopFlag = 1;
    settings.DlgPopCloseFlag = 1;
    settings.DlgPopTime = 1;
    settings.CycleTime2 = 1000; // seconds are counted in whole refresh periods
    Open();
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Visible(); }));
    // The popping refresh counts 1, the next one 2 > 1: hidden about a second later.
    ASSERT_TRUE(WaitFor([&] { return !Visible(); }, 4000));
    EXPECT_EQ(Monitor().EntryCount(), 1);
    Pump(1500);
    EXPECT_FALSE(Visible()); // no second pop-up for the same access
}

TEST_F(ListViewTest, CloseMode2StaysUpUntilTheUserClosesThenPopsUpAgain) {
    settings.DlgPopFlag = 1;
    settings.DlgPopCloseFlag = 2;
    settings.ViewTime = 0;
    Open();
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Visible(); }));
    server.Change([](testing::FakeServer& s) { s.RemoveSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Monitor().EntryCount() == 0; }));
    Pump(500);
    EXPECT_TRUE(Visible());

    ::SendMessageA(Dlg().Hwnd(), WM_CLOSE, 0, 0); // the close box
    EXPECT_FALSE(Visible());
    server.Change([](testing::FakeServer& s) { s.AddSession("PC2", "bob"); });
    EXPECT_TRUE(WaitFor([&] { return Visible(); }));
}

TEST_F(ListViewTest, ShownByTheUserTheWindowStillHidesWhenTheTableEmpties) {
    settings.DlgPopFlag = 1;
    settings.ViewTime = 0;
    Open();
    Dlg().ShowByUser();
    EXPECT_TRUE(HasTaskbarButton());
    server.Change([](testing::FakeServer& s) { s.AddSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return Rows() == 1; }));
    EXPECT_EQ(Dlg().OpenedByUser(), 1);
    server.Change([](testing::FakeServer& s) { s.RemoveSession("PC1", "alice"); });
    ASSERT_TRUE(WaitFor([&] { return !Visible(); }));
    EXPECT_EQ(Dlg().OpenedByUser(), 0);
}

TEST_F(ListViewTest, DialogPosIsWrittenOnCloseAndReadAtTheNextCreation) {
    Open();
    Dlg().ShowByUser();
    ::MoveWindow(Dlg().Hwnd(), 100, 120, 600, 400, TRUE);
    Dlg().ToggleDetails();
    Pump(50); // the posted WM_SIZE lays the lists out again
    EXPECT_TRUE(::IsWindowVisible(Details()));
    ListView_SetColumnWidth(List(), 2, 150);
    ListView_SetColumnWidth(List(), 1, 0); // dragged shut: hidden, its width remembered
    ::RedrawWindow(List(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    ::SendMessageA(Dlg().Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(HasTaskbarButton());
    EXPECT_EQ(ReadBytes(ini_), "[DialogPos]\r\ntop=120\r\nbottom=520\r\nright=700\r\nleft=100\r\ndlgSize=1\r\n"
                               "column0=100\r\ncolumn1=100\r\ncolumn2=150\r\ncolumn3=100\r\ncolumn4=100\r\n");

    Open();
    RECT rect{};
    ::GetWindowRect(Dlg().Hwnd(), &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 120);
    EXPECT_EQ(rect.right, 700);
    EXPECT_EQ(rect.bottom, 520);
    EXPECT_TRUE(Dlg().DetailsChecked());
    EXPECT_NE(::GetWindowLongPtrA(Details(), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 1), 100); // back at its last width
    EXPECT_EQ(ListView_GetColumnWidth(List(), 2), 150);
    // The details list's value column fills the width: R - L - 130 in client coordinates.
    RECT outer{};
    ::GetWindowRect(Dlg().Hwnd(), &outer);
    ::MapWindowPoints(nullptr, Dlg().Hwnd(), reinterpret_cast<POINT*>(&outer), 2);
    EXPECT_EQ(ListView_GetColumnWidth(Details(), 1), outer.right - outer.left - 130);

    Dlg().ToggleDetails();
    Pump(50);
    EXPECT_EQ(::GetWindowLongPtrA(Details(), GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(ListViewTest, TopDlgKeepsTheWindowAboveOthers) {
    settings.TopDlg = 1;
    Open();
    const auto topmost = [&] { return (::GetWindowLongPtrA(Dlg().Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    EXPECT_TRUE(topmost());
    settings.TopDlg = 0; // the option sheet's Apply
    Dlg().ApplyTopmost();
    EXPECT_FALSE(topmost());
}

// A modal run of another dialog, as when the log viewer is open beside the list window.
class OtherModal : public ui::Dialog {
public:
    OtherModal() : Dialog(IDD_ABOUTBOX) {}
};

TEST_F(ListViewTest, TheEventWriterRunsOnlyWhileEventsAreOn) {
    // Regression: the event writer's thread ran from the window's creation to its end, with events
    // off too.
    settings.EventLog = 0;
    Open();
    Pump(300); // the engine's threads are up
    const std::size_t off = test::ThreadCount();
    settings.EventLog = 1; // as the option sheet's Apply stores it
    engine_->SettingsApplied();
    EXPECT_TRUE(WaitFor([&] { return test::ThreadCount() == off + 1; })) << test::ThreadCount() << " " << off;
    settings.EventLog = 0;
    engine_->SettingsApplied();
    EXPECT_TRUE(WaitFor([&] { return test::ThreadCount() == off; })) << test::ThreadCount() << " " << off;
}

TEST_F(ListViewTest, EnterKeepsTheWindowAndEscHidesItDuringAnotherModalRun) {
    Open();
    Dlg().ShowByUser();
    ::SetFocus(List());
    bool afterEnter = false;
    bool savedAfterEnter = true;
    bool afterEsc = true;
    OtherModal other;
    RunSoon([&] { ::PostMessageA(List(), WM_KEYDOWN, VK_RETURN, 1); }, 20);
    RunSoon(
        [&] {
            afterEnter = Visible();
            savedAfterEnter = IniInt("top") != -12345;
            ::PostMessageA(List(), WM_KEYDOWN, VK_ESCAPE, 1);
        },
        300);
    RunSoon(
        [&] {
            afterEsc = Visible();
            other.EndModal(IDOK);
        },
        600);
    other.RunModal(nullptr);
    EXPECT_TRUE(afterEnter);
    EXPECT_FALSE(savedAfterEnter);
    EXPECT_FALSE(afterEsc);
    EXPECT_NE(IniInt("top"), -12345);
}

class ThousandsTest : public ListViewTest {
protected:
    static constexpr int kSessions = 3000;

    void Fill() {
        server.Change([](testing::FakeServer& s) {
            for (int i = 0; i < kSessions; ++i) {
                char name[16];
                std::snprintf(name, sizeof name, "PC%04d", i);
                s.AddSession(name, "user");
            }
        });
        Open();
        ASSERT_TRUE(WaitFor([&] { return Rows() == kSessions; }, 30000));
    }

    // A start time is the poll's clock minus the connected time the server reported a moment
    // earlier, so entries polled after a clock second turned during the poll start one second
    // later. A poll begun just after a second began cannot meet the next one.
    void PollAtTheStartOfASecond() {
        const std::int32_t second = platform::NowSeconds();
        while (platform::NowSeconds() == second) {
            ::Sleep(1);
        }
        Monitor().Poll();
    }
};

TEST_F(ThousandsTest, RefreshRewritesOnlyWhatChanged) {
    Fill();
    // Polls pause (the period applies from the next timer armed); the refreshes go on every 100 ms.
    settings.CycleTime1 = 60000;
    Pump(300);
    // The last timed poll may have met the turn of a second; the rows shown start from one that did not.
    PollAtTheStartOfASecond();
    Pump(300);
    RowWrites writes;
    ASSERT_TRUE(::SetWindowSubclass(List(), &CountRowWrites, 1, reinterpret_cast<DWORD_PTR>(&writes)));
    Pump(600);
    EXPECT_EQ(writes.Total(), 0) << "unchanged rows were rewritten";

    // One new access.
    ClickRow(10);
    server.Change([](testing::FakeServer& s) { s.AddSession("NEWPC", "newuser"); });
    PollAtTheStartOfASecond();
    ASSERT_TRUE(WaitFor([&] { return Rows() == kSessions + 1; }));
    EXPECT_EQ(Text(0, 0), "NEWPC");
    EXPECT_EQ(Text(kSessions, 0), "PC0000"); // the oldest, moved down by one
    // The list is virtual: a new row is a new row count, and the rows on screen are drawn anew.
    EXPECT_EQ(writes.counts, 1);
    EXPECT_EQ(writes.inserts + writes.texts + writes.items + writes.deletes, 0);
    EXPECT_EQ(ListView_GetSelectionMark(List()), 10);
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_SELECTED), 10);
    ::RemoveWindowSubclass(List(), &CountRowWrites, 1);
}

TEST_F(ThousandsTest, StopDuringBusyRefreshesDoesNotDeadlock) {
    Fill();
    settings.CycleTime2 = 1; // the refresh sends to this thread almost all the time
    Pump(200);
    std::mutex mutex;
    std::condition_variable stopped;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!stopped.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) {
            std::fputs("StopEngine did not return: deadlock\n", stderr);
            std::_Exit(3);
        }
    });
    // Not pumping here: only Stop's own wait can answer the refresh that is sending right now.
    Dlg().StopWatch();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    stopped.notify_one();
    watchdog.join();
    EXPECT_FALSE(Monitor().Snapshot().hasTable);
    const int rows = Rows();
    Pump(300);
    EXPECT_EQ(Rows(), rows); // nothing refreshes any more
}

} // namespace
} // namespace glimmerfen
