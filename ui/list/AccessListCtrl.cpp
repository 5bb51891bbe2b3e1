#include "ui/list/AccessListCtrl.h"

#include <algorithm>

#include "platform/strings.h"
#include "platform/win32/checks.h"
#include "res/resource.h"
#include "ui/framework/ItemText.h"

namespace glimmerfen::ui {
namespace {

// The texts and picture of a row that the virtual access list asks for.
template <typename Item>
void GiveRow(const std::vector<ListRow>& rows, Item& item) {
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows.size()) {
        return;
    }
    const ListRow& row = rows[static_cast<std::size_t>(item.iItem)];
    if ((item.mask & LVIF_IMAGE) != 0 && item.iSubItem == 0) {
        item.iImage = static_cast<int>(row.image);
    }
    if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0 && item.iSubItem >= 0 &&
        item.iSubItem < kAccessColumnCount) {
        PutItemText(item, row.texts[static_cast<std::size_t>(item.iSubItem)]);
    }
}

// The bitmaps of the row images, in the order of RowImage.
constexpr UINT kRowBitmaps[kRowImageCount] = {IDB_COMPUTER,      IDB_FOLDER,      IDB_FILE,
                                              IDB_COMPUTER_GONE, IDB_FOLDER_GONE, IDB_FILE_GONE};

constexpr int kDetailsLabelWidth = 100;
constexpr int kDetailsValueWidth = 550;

} // namespace

void CAccessListCtrl::Create(HWND list, const std::array<int, kAccessColumnCount>& widths) {
    rows_.clear();
    Attach(list);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        columns.widths[i] = widths[i];
        columns.shown[i] = 1;
    }
    AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < kAccessColumnCount; ++i) {
        InsertColumn(i, platform::LoadText(kAccessColumnHeaderIds[static_cast<std::size_t>(i)]),
                     columns.CreationWidth(i));
    }
    images_.reset(GF_CHECK_HANDLE(::ImageList_Create(16, 13, ILC_COLOR, 2, 2)));
    if (!images_) {
        return;
    }
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    for (const UINT id : kRowBitmaps) {
        win32::UniqueBitmap bitmap(GF_CHECK_HANDLE(::LoadBitmapA(instance, MAKEINTRESOURCEA(id))));
        ::ImageList_AddMasked(images_.get(), bitmap.get(), RGB(0, 0, 0));
    }
    // This object owns the image list and destroys it once; the control must not destroy it again
    // (it would, twice, being both its normal and its small list).
    ::SetWindowLongPtrA(list, GWL_STYLE, ::GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ListView_SetImageList(list, images_.get(), LVSIL_NORMAL);
    ListView_SetImageList(list, images_.get(), LVSIL_SMALL);
}

void CAccessListCtrl::ReleaseImageList() {
    if (!images_) {
        return;
    }
    if (HWND list = Hwnd(); list != nullptr && ::IsWindow(list)) {
        ListView_SetImageList(list, nullptr, LVSIL_NORMAL);
        ListView_SetImageList(list, nullptr, LVSIL_SMALL);
    }
    images_.reset();
}

void CAccessListCtrl::Show(std::vector<ListRow> rows) {
    // Without entries the rows of the last accesses stay on display until a new one arrives.
    if (rows.empty() || Hwnd() == nullptr) {
        return;
    }
    const std::vector<RowChange> changes = DiffRows(rows_, rows);
    rows_ = std::move(rows);
    if (changes.empty()) {
        return;
    }
    // The list is virtual: it asks for the texts of the rows it draws (LVN_GETDISPINFO), so a refresh
    // costs the rows on screen, not the rows in the table, however many thousands change.
    HWND list = Hwnd();
    const bool moves =
        std::any_of(changes.begin(), changes.end(), [](const RowChange& c) { return c.kind != RowChange::Kind::Set; });
    if (!moves) {
        // Only rows on screen are drawn: a change further down shows when it is scrolled to. (Every
        // row changes each second, as the connected times tick.)
        const int top = ListView_GetTopIndex(list);
        const int bottom = top + ListView_GetCountPerPage(list);
        for (const RowChange& change : changes) {
            if (change.row >= top && change.row <= bottom) {
                ListView_RedrawItems(list, change.row, change.row);
            }
        }
        return;
    }
    // Rows were inserted or deleted. A virtual list keeps its selection and focus at their row
    // positions when its row count changes, which is what the user sees here: the selection stays at
    // its place, which now shows another entry; a place beyond the new end goes with the rows.
    const int mark = SelectionMark();
    const int count = static_cast<int>(rows_.size());
    ListView_SetItemCountEx(list, count, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    ListView_SetSelectionMark(list, mark < 0 ? -1 : std::min(mark, count - 1));
    ::InvalidateRect(list, nullptr, FALSE);
}

std::string CAccessListCtrl::RowText(int row, int column) const {
    // The list holds no texts of its own: it shows these rows.
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size() || column < 0 || column >= kAccessColumnCount) {
        return std::string();
    }
    return rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
}

void CAccessListCtrl::MarkWatched(const std::function<bool(const ListRow&)>& watched) {
    for (ListRow& row : rows_) {
        row.watched = watched(row);
    }
    ::InvalidateRect(Hwnd(), nullptr, FALSE);
}

bool CAccessListCtrl::SelectClient(const std::string& client, const std::string& user) {
    HWND list = Hwnd();
    if (list == nullptr || client.empty()) {
        return false;
    }
    const auto found = std::find_if(rows_.begin(), rows_.end(),
                                    [&](const ListRow& row) { return row.texts[0] == client && row.texts[1] == user; });
    if (found == rows_.end()) {
        return false;
    }
    const int index = static_cast<int>(found - rows_.begin());
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(list, index);
    ListView_EnsureVisible(list, index, FALSE);
    return true;
}

bool CAccessListCtrl::OnNotify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
    case LVN_GETDISPINFOA:
        GiveRow(rows_, reinterpret_cast<NMLVDISPINFOA&>(header).item);
        result = 0;
        return true;
    case LVN_GETDISPINFOW:
        GiveRow(rows_, reinterpret_cast<NMLVDISPINFOW&>(header).item);
        result = 0;
        return true;
    case NM_CUSTOMDRAW: {
        // Watched files stand out from the other rows.
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        result = CDRF_DODEFAULT;
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW;
        } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const std::size_t row = draw.nmcd.dwItemSpec;
            if (row < rows_.size() && rows_[row].watched) {
                draw.clrText = RGB(0, 0, 160);
                draw.clrTextBk = RGB(255, 244, 200);
                result = CDRF_NEWFONT;
            }
        }
        return true;
    }
    default:
        return false;
    }
}

void CDetailsListCtrl::Create(HWND list) {
    shown_ = DetailValues{};
    Attach(list);
    AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    InsertColumn(0, "data1", kDetailsLabelWidth);
    InsertColumn(1, "data2", kDetailsValueWidth);
    for (int row = 0; row < kDetailRowCount; ++row) {
        InsertItem(row, platform::LoadText(kDetailLabelIds[static_cast<std::size_t>(row)]));
    }
}

void CDetailsListCtrl::Show(const DetailValues& values) {
    for (int row = 0; row < kDetailRowCount; ++row) {
        const auto r = static_cast<std::size_t>(row);
        if (values[r] != shown_[r]) {
            SetItemText(row, 1, values[r]);
            shown_[r] = values[r];
        }
    }
}

} // namespace glimmerfen::ui
