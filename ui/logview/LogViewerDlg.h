// The log viewer (dialog 141): the access log grouped in a tree by local date and user, the lines of
// the selected date or user in a list, deletions marked in memory and written at Refresh and Close.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/log/LoadedLog.h"
#include "platform/win32/handles.h"
#include "ui/framework/Dialog.h"
#include "ui/list/ColumnListCtrl.h"
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
    // while the viewer's window exists: Refresh, Delete, Export as CSV, and the nine column toggles.
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

    void Load();
    void BuildTree();
    // The users of a date that still have lines, alphabetically as the tree shows them.
    std::vector<std::string> UsersOf(const std::string& date) const;
    void FillList();
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
};

} // namespace glimmerfen::ui
