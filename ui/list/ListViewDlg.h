// The access list window (dialog 132): the accesses of the table in the upper list, the details of
// the selected one in the lower list. It holds the engine: its creation creates the access table and
// starts the two monitor threads, whose list refresh rewrites the rows, pops the window up and closes
// it again.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/framework/Dialog.h"
#include "platform/win32/handles.h"
#include "monitor/RuleCuts.h"
#include "ui/list/ColumnListCtrl.h"
#include "monitor/FileWatches.h"
#include "ui/list/ListLogic.h"

namespace glimmerfen {
struct AppSettings;
class AccessLog;
class AccessMonitor;
class ClientNames;
class EventReporter;
class MonitorThreads;
class Worker;
struct ByHandContext;
namespace platform {
class ServerPlatform;
}
namespace pipe {
class ServiceView;
enum class ServiceLink;
} // namespace pipe
} // namespace glimmerfen

namespace glimmerfen::ui {

// What the window needs from the application: the settings it reads at every refresh, the INI file of
// section "DialogPos", the server the engine polls, where new accesses are logged (an empty logPath
// logs nothing) and the resolution of the engine's timers.
struct ListViewContext {
    AppSettings& settings;
    std::string iniPath;
    platform::ServerPlatform& server;
    std::string logPath;
    std::string appName; // caption of the log's failure message
    unsigned timerResolution = 1;
    // The computer whose server is watched, empty for this computer: named in the caption.
    std::string computer;
    // The pipe of the service that watches when this window is the service's: no engine runs here then,
    // the rows are the service's and the row commands are asked of it. Empty: the window's own engine.
    std::string servicePipe = std::string();
};

// What the tray shows of the watch at its tick.
struct WatchState {
    int entryCount = 0;           // the hit count
    std::uint32_t serverCode = 0; // the server's enumerations fail with this code (0: they do not)
    std::size_t waitingLines = 0; // log lines waiting for a log file that another program holds
    // The service's link while this window is the service's; none with an engine of its own.
    std::optional<pipe::ServiceLink> service;
    // The sessions the rules closed (the service's, while this window is the service's).
    RuleCutRecord cuts;
};

class CListViewDlg : public Dialog {
public:
    explicit CListViewDlg(ListViewContext context);
    // Stops the engine if it still runs.
    ~CListViewDlg() override;

    // The window that exists in this process, null when none: the option sheet's Apply calls its
    // ApplyTopmost.
    static CListViewDlg* Instance() noexcept;

    // Topmost when TopDlg is 1, else not; position and size are kept.
    void ApplyTopmost();
    // The monitor threads take ThreadLevel1 and ThreadLevel2 as they now stand.
    void ApplyPriorities();
    // The event writer brought in line with EventLog: running while it is 1, ended (after writing
    // what waits, for a bounded time) while it is 0. At the window's creation and the option sheet's
    // Apply. The service's window tells the service instead, which reads the INI file again.
    void ApplyEventLog();
    // The close path (close box, Esc, automatic closes, program end): saves the rectangle, the details
    // mode and the column widths to "DialogPos", then hides the window without a taskbar button.
    void HideAndSave();
    // Switches the details list on or off.
    void ToggleDetails();
    // Fills the details list from the entry of the selected row.
    void ShowDetails();

    // The commands of the context menu on the row at the selection mark; without one they do nothing.
    // Ends the row's session on the server (for an open-file row, every session of the file's user) and
    // logs a disconnect line with "Disconnect manually" or the server's error text; nothing is shown
    // unless the log cannot be written.
    void DisconnectSelected();
    // Adds the row's computer to the acceptable (32786) or denied (32787) list and, when that list is not
    // the rules' target, asks whether it should become it.
    void AddToPcList(bool acceptable);
    // Opens the row's computer ("\\PC") in the file explorer; a failure to start it is shown.
    void OpenSharedFolder();
    // "Close this file": the open file of the selected row closed on the server (its file id found
    // by the row's user and path), and a disconnect line with the file's path and the outcome.
    void CloseSelectedFile();
    // "Notify when closed": watches the open file of the selected row (its path, holder and opening), or
    // ends its watch when it is watched already. The refresh finds it closed.
    void WatchSelectedFile();
    // The watched files that the refreshes found closed since the last call; any thread.
    std::vector<ClosedFile> TakeClosedFiles() { return watches_.TakeClosed(); }
    // Selects and shows the row of this client and user, when the list still shows one; false if not.
    bool SelectClient(const std::string& client, const std::string& user);
    // Carries out one of the row commands or "Change details" by its menu id; false for other ids.
    bool RunListCommand(WORD id);

    // The main window's "Show the list": taskbar button, shown, opened by the user.
    void ShowByUser();
    int OpenedByUser() const noexcept { return state_.openedByUser; }
    void SetOpenedByUser(int value) noexcept { state_.openedByUser = value; }
    int DetailsShown() const noexcept { return state_.detailsShown; }
    // "Change details" carries a check mark.
    bool DetailsChecked() const noexcept { return state_.DetailsChecked(); }

    // The access list's selection mark (-1 when none) and the displayed text of a cell.
    int SelectionMark() const;
    std::string RowText(int row, int column) const;
    CColumnListCtrl& AccessList() noexcept { return accessList_; }
    CColumnListCtrl& DetailsList() noexcept { return detailsList_; }

    // The engine; none while the window is the service's.
    AccessMonitor& Monitor() noexcept { return *monitor_; }
    WatchState State() const;
    // Ends both monitor threads and releases the table (MonitorThreads::Stop), and ends the thread of
    // the row commands' server calls. On this window's thread only; while it waits it still answers a
    // refresh in progress. Nothing refreshes afterwards. A server call that still waits for the server
    // after a second or two is left running; the engine is then kept until the process ends.
    void StopEngine();
    // Whether StopEngine left a server call running: the engine is then kept, and the process must end
    // without destroying what that call may still touch.
    bool EngineAbandoned() const noexcept { return engineAbandoned_; }
    // Destroys the row image list (the main window's close and destruction). The access list shares
    // it, so it is taken off the control first.
    void ReleaseImageList();

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    void OnSize(UINT type, int width, int height) override;
    void OnClose() override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // What one refresh read from the table, handed to the window's thread.
    struct RefreshData {
        bool hasTable = false;
        int entryCount = 0;
        std::vector<ListRow> rows;
    };

    // On the List Indication Thread's timer: reads the table, then lets the window's thread apply it.
    void RefreshList();
    // On the window's thread: FillRows, UpdatePopup, ShowDetails.
    void ApplyRefresh(RefreshData& data);
    void FillRows(RefreshData& data);
    void UpdatePopup(int entryCount);
    void Layout();
    // The list's context menu at a point of the screen.
    void ShowContextMenu(POINT at);
    void CreateImageList();
    void SetAppWindowStyle(bool on);
    // "Monitoring started" or "ended", while events are on.
    void ReportMonitoring(std::uint32_t eventId);
    // Runs a server call and what follows it on the task thread, in the order given.
    void RunServerTask(std::function<void(const ByHandContext&)> task);
    // Asks the service for a row command on the task thread.
    void AskService(std::function<void(pipe::ServiceView&)> ask);
    // f(hasTable, entryCount, forEach) under the table's lock, forEach(visit) visiting the entries
    // newest first: the engine's table, or the service's as the pipe last brought it.
    template <typename F>
    auto ReadEntries(F&& f) const;

    ListViewContext context_;
    std::unique_ptr<AccessLog> log_;
    std::unique_ptr<EventReporter> events_; // declared before monitor_, which holds it
    std::unique_ptr<AccessMonitor> monitor_;
    std::unique_ptr<MonitorThreads> threads_; // declared after monitor_: stopped before it goes
    // While the window is the service's, in place of the engine, with the names of the clients known by
    // address that the details show.
    std::unique_ptr<pipe::ServiceView> view_;
    std::unique_ptr<ClientNames> viewNames_;
    // The row commands' server calls, each followed by its log line, in the order given.
    std::unique_ptr<Worker> serverTasks_;
    // A server call outlived StopEngine: the engine is never freed.
    bool engineAbandoned_ = false;

    CColumnListCtrl accessList_;
    CColumnListCtrl detailsList_;
    win32::UniqueImageList images_;

    FileWatches watches_;

    ListWindowState state_;
    std::vector<ListRow> shownRows_; // what the access list shows, row by row
    DetailValues shownDetails_;      // what the details list's value column shows

    // The window the refreshes go to; null before the engine starts and once the window goes.
    std::atomic<HWND> refreshTarget_{nullptr};
    bool destroying_ = false;
};

} // namespace glimmerfen::ui
