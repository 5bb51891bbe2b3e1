// The log viewer (dialog 141): the access log grouped in a tree by local date and user, the lines of
// the selected date or user in a list, deletions marked in memory and written at Refresh and Close.
// A search box lists the lines of every date that hold the typed words instead (searched on a worker
// thread), and a strip above the list draws the listed lines per hour or, for a search, per date.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/log/LoadedLog.h"
#include "platform/win32/handles.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/ColumnListCtrl.h"
#include "ui/logview/ActivityStrip.h"
#include "ui/logview/LogTreeCtrl.h"
#include "ui/logview/LogViewLogic.h"

namespace glimmerfen::ui {

// What the viewer uses: the folder of "log.txt", the INI file of its place and columns, and the
// caption of its message boxes.
struct LogViewContext {
    std::string exeDir;
    std::string iniPath;
    std::string appName;
};

class CLogViewerDlg : public Dialog {
public:
    explicit CLogViewerDlg(LogViewContext context);

    // Commands of the viewer's menus, which reach the main window (their owner) and come back here
    // while the viewer's window exists: Refresh, Delete, Export as CSV, the strip's toggle, and the nine
    // column toggles.
    // False for any other id.
    bool RunCommand(WORD id);

    // Apply deletions, Load, and Fill list for the recorded selection (the columns stay).
    void Refresh();
    // Marks the lines of the selected date or user as deleted and takes the item out of the tree.
    void DeleteSelection();
    // For the program's end: the next close asks nothing, whatever becomes of the deletions.
    void CloseQuietly();
    // At the end of the user's session, while the window is open: its place and the deletions are
    // written as at its close; nothing is asked.
    void SaveAtSessionEnd();
    void ToggleColumn(int column);
    // Shows or hides the activity strip.
    void ToggleStrip();
    // Asks for a file with the Save dialog and writes the listed lines there as CSV; a failure is
    // told in a message box.
    void ExportCsv();

    // What the window shows, for tests and the benchmark.
    const LoadedLog& Log() const noexcept { return log_; }
    std::size_t ListedCount() const noexcept { return listed_.size(); }

    bool PreTranslateMessage(MSG& msg) override;

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int width, int height) override;
    void OnClose() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static constexpr UINT_PTR kLoadTimer = 1;
    // Posted by the search's worker when it kept a result.
    static constexpr UINT kSearchDone = WM_APP + 41;

    void Load();
    void BuildTree();
    // The users of a date that still have lines, alphabetically as the tree shows them.
    std::vector<std::string> UsersOf(const std::string& date) const;
    void FillList();
    // The search box's text changed: starts a search, or ends the search when no word is left.
    void OnFindChanged();
    void StartSearch();
    void OnSearchDone();
    // Ends a search: the text is emptied (without starting anything), the running search cancelled.
    void EndSearch();
    // Empties the search box without reacting to it.
    void SetFindTextQuietly(const char* text);
    // The strip's bars for the tree's selection, or none.
    void ShowHourBars();
    void ShowDateBars(const std::vector<DateBin>& dates);
    // The strip's tooltips, from the lines loaded now.
    CActivityStrip::TipOf StripTipOf() const;
    // Scrolls the list to a row and selects it (a click on a bar).
    void ShowListedRow(std::uint32_t index);
    void OnStripResize(int height);
    void CreateColumns();
    void ShowTreeMenu();
    void ShowListMenu();
    void SetStatus(std::size_t listed);
    void SetProgress(std::size_t done, std::size_t total);
    void Layout();
    void Close();
    void SavePlace();
    // Applies the deletions; false when they could not be written and the user chose to keep the
    // viewer open (asked only when ask is true).
    bool ApplyOnClose(bool ask);
    void ClearList();
    HWND MenuOwner() const;

    LogViewContext context_;
    CLogTreeCtrl tree_;
    CColumnListCtrl list_;
    win32::UniqueImageList images_;
    LoadedLog log_;
    // The rows the list shows, in file order (the list is virtual: it asks for the texts it draws).
    std::vector<std::uint32_t> listed_;
    bool columnsCreated_ = false;
    bool loadPending_ = false;
    bool quietClose_ = false;

    CActivityStrip strip_;
    int stripHeight_ = kStripDefaultHeight; // at 96 dots per inch
    bool stripShown_ = true;
    // The window the search's worker tells of a result; null once the window is going.
    std::atomic<HWND> searchNotify_{nullptr};
    LogSearchRunner search_{[this] {
        if (HWND notify = searchNotify_.load()) {
            ::PostMessageA(notify, kSearchDone, 0, 0);
        }
    }};
    // A search lists lines (the search box holds a word); the tree then has no selection.
    bool searching_ = false;
    // The tree's selection when the search began: it comes back when the search box is emptied.
    LogSelection beforeSearch_;
    bool quietFind_ = false;
};

} // namespace glimmerfen::ui
