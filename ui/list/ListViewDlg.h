// The access list window (dialog 132): the accesses of the watch in the upper list, the details of
// the selected one in the lower list. It starts the watch it is given, whose refresh rewrites the rows,
// pops the window up and closes it again, and stops it when it goes.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "monitor/Watch.h"
#include "ui/framework/Dialog.h"
#include "monitor/FileWatches.h"
#include "ui/list/AccessListCtrl.h"
#include "ui/list/ListLogic.h"
#include "ui/list/RowCommands.h"
#include "ui/list/WatchRows.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

// What the window needs from the application: the settings it reads at every refresh, the INI file of
// section "DialogPos", the watch whose accesses it shows, and the computer it watches.
struct ListViewContext {
    AppSettings& settings;
    std::string iniPath;
    Watch& watch;
    std::string appName; // caption of its boxes
    // The computer whose server is watched, empty for this computer: named in the caption.
    std::string computer;
};

class CListViewDlg : public Dialog {
public:
    explicit CListViewDlg(ListViewContext context);
    // Stops the watch if it still runs.
    ~CListViewDlg() override;

    // Topmost when TopDlg is 1, else not; position and size are kept.
    void ApplyTopmost();
    // The close path (close box, Esc, automatic closes, program end): saves the rectangle, the details
    // mode and the column widths to "DialogPos", then hides the window without a taskbar button.
    void HideAndSave();
    // Switches the details list on or off.
    void ToggleDetails();
    // Fills the details list from the entry of the selected row.
    void ShowDetails();

    // The commands of the context menu on the row at the selection mark; without one they do nothing.
    // Disconnect and "Close this file" go to the watch (RowRequestFor). AddToPcList adds the row's computer to the
    // acceptable (32786) or denied (32787) list and, when that list is not the rules' target, asks
    // whether it should become it.
    void AddToPcList(bool acceptable);
    // Opens the row's computer ("\\PC") in the file explorer; a failure to start it is shown.
    void OpenSharedFolder();
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
    // "Change details" carries a check mark.
    bool DetailsChecked() const noexcept { return state_.DetailsChecked(); }

    // The access list's selection mark (-1 when none) and the displayed text of a cell.
    int SelectionMark() const;
    std::string RowText(int row, int column) const;
    // Stops the watch (Watch::Stop) on this window's thread, answering a refresh in progress; nothing
    // refreshes afterwards.
    void StopWatch();
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
    // On the watch's refresh thread: reads the table, then lets the window's thread apply it.
    void RefreshList();
    // On the window's thread: FillRows, UpdatePopup, ShowDetails.
    void ApplyRefresh(RefreshRows& data);
    void UpdatePopup(int entryCount);
    void Layout();
    // The list's context menu at a point of the screen.
    void ShowContextMenu(POINT at);
    void SetAppWindowStyle(bool on);
    // The row at the selection mark; nothing without one.
    std::optional<MarkedRow> RowAtMark() const;

    ListViewContext context_;
    bool watchStarted_ = false;

    CAccessListCtrl accessList_;
    CDetailsListCtrl detailsList_;
    FileWatches watches_;
    ListWindowState state_;

    // The window the refreshes go to; null before the watch starts and once the window goes.
    std::atomic<HWND> refreshTarget_{nullptr};
    bool destroying_ = false;
};

} // namespace glimmerfen::ui
