#include "ui/framework/ColumnListCtrl.h"

#include "platform/win32/checks.h"

#include <vector>

namespace glimmerfen::ui {

namespace {
constexpr UINT_PTR kSubclassId = 0x434C; // any number unique among this control's subclasses
} // namespace

CColumnListCtrl::~CColumnListCtrl() {
    Detach();
}

bool CColumnListCtrl::Attach(HWND list) {
    Detach();
    if (list == nullptr || !GF_CHECK_BOOL(::SetWindowSubclass(list, &CColumnListCtrl::SubclassProc, kSubclassId,
                                                              reinterpret_cast<DWORD_PTR>(this)))) {
        return false;
    }
    hwnd_ = list;
    return true;
}

void CColumnListCtrl::Detach() noexcept {
    if (hwnd_ != nullptr) {
        ::RemoveWindowSubclass(hwnd_, &CColumnListCtrl::SubclassProc, kSubclassId);
        hwnd_ = nullptr;
    }
}

LRESULT CALLBACK CColumnListCtrl::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR refData) {
    auto* self = reinterpret_cast<CColumnListCtrl*>(refData);
    switch (message) {
    case WM_ERASEBKGND:
        self->TrackColumns();
        break;
    case WM_NCDESTROY:
        self->Detach();
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

void CColumnListCtrl::TrackColumns() {
    const int count = ColumnCount();
    if (count <= 0) {
        return;
    }
    // Only the tracked columns are read: the rest do not matter to the table.
    const int read = count < ColumnTable::kTracked ? count : ColumnTable::kTracked;
    std::vector<int> widths(static_cast<size_t>(read));
    for (int i = 0; i < read; ++i) {
        widths[static_cast<size_t>(i)] = ColumnWidth(i);
    }
    columns.Track(widths);
}

int CColumnListCtrl::ColumnCount() const {
    HWND header = ListView_GetHeader(hwnd_);
    return header != nullptr ? Header_GetItemCount(header) : 0;
}

int CColumnListCtrl::ColumnWidth(int column) const {
    return ListView_GetColumnWidth(hwnd_, column);
}

bool CColumnListCtrl::SetColumnWidth(int column, int width) const {
    return ::SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)) != 0;
}

int CColumnListCtrl::InsertColumn(int column, const std::string& header, int width, int format) const {
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(header.c_str());
    col.iSubItem = column;
    return static_cast<int>(
        ::SendMessageA(hwnd_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

void CColumnListCtrl::AddExtendedStyle(DWORD styles) const {
    ::SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
}

int CColumnListCtrl::ItemCount() const {
    return ListView_GetItemCount(hwnd_);
}

int CColumnListCtrl::InsertItem(int row, const std::string& text, int image) const {
    LVITEMA item{};
    item.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image;
    return static_cast<int>(::SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CColumnListCtrl::SetItemText(int row, int column, const std::string& text) const {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    return ::SendMessageA(hwnd_, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string CColumnListCtrl::ItemText(int row, int column) const {
    // LVM_GETITEMTEXT gives no length: grow the buffer until the text no longer fills it. A cut that
    // falls inside a double-byte character may leave one byte more unused, hence the margin of two.
    std::vector<char> buffer(256);
    for (;;) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            ::SendMessageA(hwnd_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 20)) {
            return std::string(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
        }
        buffer.resize(buffer.size() * 4);
    }
}

bool CColumnListCtrl::SetItemImage(int row, int image) const {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    return ::SendMessageA(hwnd_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

bool CColumnListCtrl::DeleteAllItems() const {
    return ListView_DeleteAllItems(hwnd_) != FALSE;
}

int CColumnListCtrl::SelectionMark() const {
    return ListView_GetSelectionMark(hwnd_);
}

} // namespace glimmerfen::ui
