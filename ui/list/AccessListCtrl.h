// The two lists of the access list window: the virtual access list, which shows the rows it is given
// (texts, pictures and the watched rows' colours asked for as it draws them) with its image list, and
// the details list of the selected row's twelve values.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/handles.h"
#include "ui/framework/ColumnListCtrl.h"
#include "ui/list/ListLogic.h"

namespace glimmerfen::ui {

class CAccessListCtrl : public CColumnListCtrl {
public:
    // Takes the dialog's list control: its columns at these widths, its styles and row pictures.
    void Create(HWND list, const std::array<int, kAccessColumnCount>& widths);
    // Destroys the row pictures, taken off the control first.
    void ReleaseImageList();

    // Shows these rows, redrawing only what changed; an empty set keeps the last rows on display.
    void Show(std::vector<ListRow> rows);
    const std::vector<ListRow>& Rows() const noexcept { return rows_; }
    // The displayed text of a cell; empty outside the rows.
    std::string RowText(int row, int column) const;
    // The watched marks of every row anew, drawn at once.
    void MarkWatched(const std::function<bool(const ListRow&)>& watched);
    // Selects, focuses and shows the first row of this client and user; false when none shows them.
    bool SelectClient(const std::string& client, const std::string& user);

    // LVN_GETDISPINFO and NM_CUSTOMDRAW of this list; false for other notifications.
    bool OnNotify(NMHDR& header, LRESULT& result);

private:
    std::vector<ListRow> rows_; // what the list shows, row by row
    win32::UniqueImageList images_;
};

class CDetailsListCtrl : public CColumnListCtrl {
public:
    // Takes the dialog's details control: its two columns and twelve labelled rows.
    void Create(HWND list);
    // Writes the values that differ from those shown.
    void Show(const DetailValues& values);

private:
    DetailValues shown_;
};

} // namespace glimmerfen::ui
