// The report-style list control of the program's lists. On top of the list view it keeps, for the
// first ten columns, a remembered width and a shown flag (ColumnTable), brought up to date from the
// control at every background erase; the owner sets the table before inserting its columns, creates
// the columns from it and saves it when it closes.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/framework/ColumnLogic.h"

namespace glimmerfen::ui {

class CColumnListCtrl {
public:
    CColumnListCtrl() noexcept = default;
    ~CColumnListCtrl();
    CColumnListCtrl(const CColumnListCtrl&) = delete;
    CColumnListCtrl& operator=(const CColumnListCtrl&) = delete;

    // The owner reads and writes the table directly.
    ColumnTable columns;

    // Takes a list-view control of a dialog (subclassing it to see its background erases). The
    // control lets go by itself when its window is destroyed.
    bool Attach(HWND list);
    void Detach() noexcept;
    HWND Hwnd() const noexcept { return hwnd_; }

    // What every WM_ERASEBKGND does before the default erase: update the table from the widths of
    // the header's columns.
    void TrackColumns();

    // Thin wrappers over the list view's messages, with ANSI texts.
    int ColumnCount() const;
    int ColumnWidth(int column) const;
    bool SetColumnWidth(int column, int width) const;
    int InsertColumn(int column, const std::string& header, int width, int format = LVCFMT_LEFT) const;
    void AddExtendedStyle(DWORD styles) const;
    int ItemCount() const;
    int InsertItem(int row, const std::string& text, int image = -1) const;
    bool SetItemText(int row, int column, const std::string& text) const;
    std::string ItemText(int row, int column) const;
    bool SetItemImage(int row, int image) const;
    bool DeleteAllItems() const;
    int SelectionMark() const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);

    HWND hwnd_ = nullptr;
};

} // namespace glimmerfen::ui
