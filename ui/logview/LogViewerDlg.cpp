#include "ui/logview/LogViewerDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "monitor/log/LogActivity.h"
#include "monitor/log/LogCsv.h"
#include "monitor/log/LogSearch.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/win32/checks.h"
#include "res/resource.h"
#include "ui/framework/ItemText.h"
#include "ui/framework/Menus.h"
#include "ui/framework/Help.h"

namespace glimmerfen::ui {

namespace {

// Headers of the list's columns: fields 1 to 9 of a line.
constexpr UINT kColumnHeaders[kLogColumnCount] = {IDS_COL_CLIENT_NAME, IDS_COL_USER_NAME,   IDS_COL_START_TIME,
                                                  IDS_COL_USER_IDENT,  IDS_COL_CLIENT_TYPE, IDS_COL_PROCESS_ID,
                                                  IDS_COL_OPERATION,   IDS_COL_PATH_NAME,   IDS_COL_DISCONNECT_MESSAGE};

// The wait cursor until the end of the scope.
class WaitCursor {
public:
    WaitCursor() noexcept : old_(::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}
    ~WaitCursor() { ::SetCursor(old_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR old_;
};

// Alphabetical as the tree's own sorted insertion orders its items: without regard to letter case.
bool NameBefore(std::string_view a, std::string_view b) {
    return ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                            static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

template <typename Item>
void GiveLine(const LoadedLog& log, const std::vector<std::uint32_t>& listed, Item& item) {
    if ((item.mask & LVIF_TEXT) == 0 || item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= listed.size() ||
        item.iSubItem < 0 || item.iSubItem >= kLogColumnCount) {
        return;
    }
    PutItemText(item, log.Field(listed[static_cast<std::size_t>(item.iItem)], item.iSubItem + 1));
}

} // namespace

CLogViewerDlg::CLogViewerDlg(LogViewContext context) : Dialog(IDD_LOG_VIEWER), context_(std::move(context)) {}

bool CLogViewerDlg::OnInitDialog() {
    tree_.Attach(Item(IDC_LOG_TREE));
    tree_.SetUsersOf([this](const std::string& date) { return UsersOf(date); });
    list_.Attach(Item(IDC_LOG_LIST));
    columnsCreated_ = false;
    listed_.clear();

    const LogDialogPos pos = ReadLogDialogPos(context_.iniPath);
    list_.columns = pos.columns;
    stripHeight_ = pos.stripHeight;
    stripShown_ = pos.stripShown;
    searching_ = false;
    beforeSearch_ = {};
    searchNotify_ = Hwnd();
    if (strip_.Create(Hwnd(), IDC_LOG_STRIP)) {
        strip_.onPick = [this](std::uint32_t first) { ShowListedRow(first); };
        strip_.onResize = [this](int height) { OnStripResize(height); };
        ::ShowWindow(strip_.Hwnd(), stripShown_ ? SW_SHOW : SW_HIDE);
        // Just below the search box in the tab order: the strip takes no focus.
        ::SetWindowPos(strip_.Hwnd(), Item(IDC_LOG_FIND), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (HWND find = Item(IDC_LOG_FIND)) {
        const std::string cue = platform::LoadText(IDS_LOG_FIND_CUE);
        std::wstring wide(cue.size() + 1, L'\0');
        const int n = ::MultiByteToWideChar(CP_ACP, 0, cue.data(), static_cast<int>(cue.size()), wide.data(),
                                            static_cast<int>(wide.size()));
        wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        ::SendMessageW(find, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    if (pos.HasRect()) {
        ::MoveWindow(Hwnd(), pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, TRUE);
    }
    // The search box and the strip take their room above the list.
    Layout();
    // The log is read once the window is on the screen.
    loadPending_ = ::SetTimer(Hwnd(), kLoadTimer, 100, nullptr) != 0;
    const LONG_PTR style = ::GetWindowLongPtrA(Hwnd(), GWL_EXSTYLE);
    ::SetWindowLongPtrA(Hwnd(), GWL_EXSTYLE, style | WS_EX_APPWINDOW);
    return true;
}

void CLogViewerDlg::OnTimer(UINT_PTR id) {
    if (id != kLoadTimer) {
        return;
    }
    ::KillTimer(Hwnd(), kLoadTimer);
    if (!loadPending_) {
        return;
    }
    loadPending_ = false;
    Load();
    CreateColumns();
    if (searching_) {
        // Typed before the log was read.
        StartSearch();
    }
}

void CLogViewerDlg::SetProgress(std::size_t done, std::size_t total) {
    HWND bar = Item(IDC_LOG_PROGRESS);
    const ProgressScale scale(total);
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, scale.Range()));
    ::SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(scale.Position(done)), 0);
    ::UpdateWindow(bar);
}

void CLogViewerDlg::Load() {
    if (!images_) {
        images_.reset(GF_CHECK_HANDLE(::ImageList_Create(16, 13, ILC_COLOR24 | ILC_MASK, 2, 0)));
        if (images_) {
            const HINSTANCE instance = ::GetModuleHandleA(nullptr);
            for (const UINT bitmapId : {IDB_USER, IDB_FOLDER}) {
                win32::UniqueBitmap bitmap(GF_CHECK_HANDLE(::LoadBitmapA(instance, MAKEINTRESOURCEA(bitmapId))));
                ::ImageList_AddMasked(images_.get(), bitmap.get(), RGB(0, 0, 0));
            }
            TreeView_SetImageList(tree_.Hwnd(), images_.get(), TVSIL_NORMAL);
        }
    }
    const WaitCursor wait;
    // A search reads the loaded lines, and the list shows rows of them: both let go of them before
    // they are dropped.
    search_.Stop();
    ClearList();
    const LogLoad result =
        log_.Load(context_.exeDir, [this](std::size_t done, std::size_t total) { SetProgress(done, total); });
    if (result != LogLoad::Loaded) {
        // No rows: the tree stays as it is, and lists nothing until the next load.
        return;
    }
    BuildTree();
    ::SendMessageA(Item(IDC_LOG_PROGRESS), PBM_SETPOS, 0, 0);
}

std::vector<std::string> CLogViewerDlg::UsersOf(const std::string& dateText) const {
    std::vector<std::string> names;
    const std::int64_t d = log_.FindDate(dateText);
    if (d < 0) {
        return names;
    }
    const auto& users = log_.Users();
    std::vector<std::uint32_t> order;
    for (const std::uint32_t u : log_.Dates()[static_cast<std::size_t>(d)].users) {
        if (users[u].rows != 0) {
            order.push_back(u);
        }
    }
    // The users come in byte order; a stable sort keeps it among names that differ in case only.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return NameBefore(users[a].user, users[b].user); });
    names.reserve(order.size());
    for (const std::uint32_t u : order) {
        names.emplace_back(users[u].user);
    }
    return names;
}

void CLogViewerDlg::BuildTree() {
    HWND tree = tree_.Hwnd();
    ::SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    tree_.DeleteAllItems();
    const auto& dates = log_.Dates();
    const std::int64_t lastDate = log_.LastDate();
    HTREEITEM expand = nullptr;
    for (const std::uint32_t d : log_.DateOrder()) {
        HTREEITEM dateItem = tree_.InsertDate(dates[d].text);
        if (dateItem != nullptr && static_cast<std::int64_t>(d) == lastDate) {
            expand = dateItem;
        }
    }
    tree_.Expand(expand);
    // The same date or user stays selected across a reload, when it still has lines.
    tree_.SelectQuietly(tree_.Selection());
    ::SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(tree, nullptr, TRUE);
}

void CLogViewerDlg::ClearList() {
    listed_.clear();
    ListView_DeleteAllItems(list_.Hwnd());
    strip_.SetBars({}, {});
}

void CLogViewerDlg::FillList() {
    const WaitCursor wait;
    ClearList();
    listed_ = log_.ListedRows(tree_.Selection());
    ListView_SetItemCountEx(list_.Hwnd(), static_cast<int>(listed_.size()), 0);
    SetStatus(listed_.size());
    ShowHourBars();
}

void CLogViewerDlg::ShowHourBars() {
    if (tree_.Selection().kind == LogSelection::Kind::None) {
        strip_.SetBars({}, {});
        return;
    }
    std::vector<CActivityStrip::Label> labels;
    for (std::size_t hour = 0; hour < 24; hour += 3) {
        labels.push_back({hour, std::to_string(hour), false});
    }
    strip_.SetBars(ActivityBars::Hours(CountByHour(log_, listed_)), StripTipOf(), std::move(labels));
}

CActivityStrip::TipOf CLogViewerDlg::StripTipOf() const {
    // The log outlives the bars: both are dropped together at the next load.
    return [this](const ActivityBars& bars, const StripColumn& column) { return StripTip(bars, column, log_); };
}

void CLogViewerDlg::ShowDateBars(const std::vector<DateBin>& dates) {
    ActivityBars bars = ActivityBars::Dates(dates);
    // The span of the log: its first and last dates.
    std::vector<CActivityStrip::Label> labels;
    const auto dateOf = [&](std::size_t i) {
        const std::uint32_t d = bars.bars()[i].date;
        return d < log_.Dates().size() ? log_.Dates()[d].text : std::string();
    };
    if (!bars.bars().empty()) {
        labels.push_back({0, dateOf(0), false});
        if (bars.bars().size() > 1) {
            labels.push_back({bars.bars().size() - 1, dateOf(bars.bars().size() - 1), true});
        }
    }
    strip_.SetBars(std::move(bars), StripTipOf(), std::move(labels));
}

void CLogViewerDlg::ShowListedRow(std::uint32_t index) {
    if (index >= listed_.size()) {
        return;
    }
    HWND list = list_.Hwnd();
    const int item = static_cast<int>(index);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, item, FALSE);
    ::SetFocus(list);
}

void CLogViewerDlg::OnStripResize(int height) {
    stripHeight_ = ClampStripHeight(height);
    Layout();
}

void CLogViewerDlg::ToggleStrip() {
    stripShown_ = !stripShown_;
    if (strip_.Hwnd() != nullptr) {
        ::ShowWindow(strip_.Hwnd(), stripShown_ ? SW_SHOW : SW_HIDE);
    }
    Layout();
}

void CLogViewerDlg::SetFindTextQuietly(const char* text) {
    quietFind_ = true;
    ::SetWindowTextA(Item(IDC_LOG_FIND), text);
    quietFind_ = false;
}

void CLogViewerDlg::OnFindChanged() {
    if (quietFind_) {
        return;
    }
    char text[1024] = {};
    ::GetWindowTextA(Item(IDC_LOG_FIND), text, sizeof text);
    if (LogQuery(text).Empty()) {
        if (!searching_) {
            return;
        }
        // Back to what the tree had selected before the search.
        search_.Stop();
        searching_ = false;
        ClearList();
        SetItemText(IDC_LOG_STATUS, "");
        tree_.RestoreSelection(beforeSearch_);
        beforeSearch_ = {};
        if (tree_.Selection().kind != LogSelection::Kind::None) {
            FillList();
        }
        return;
    }
    if (!searching_) {
        beforeSearch_ = tree_.Selection();
        tree_.ClearSelectionQuietly();
        searching_ = true;
    }
    StartSearch();
}

void CLogViewerDlg::StartSearch() {
    char text[1024] = {};
    ::GetWindowTextA(Item(IDC_LOG_FIND), text, sizeof text);
    // The earlier result stays listed until this one comes.
    search_.Start(log_, LogQuery(text));
}

void CLogViewerDlg::OnSearchDone() {
    std::optional<LogSearchRunner::Result> result = search_.Take();
    if (!result || !searching_) {
        return;
    }
    ClearList();
    listed_ = std::move(result->rows);
    ListView_SetItemCountEx(list_.Hwnd(), static_cast<int>(listed_.size()), 0);
    SetStatus(listed_.size());
    ShowDateBars(result->dates);
}

void CLogViewerDlg::EndSearch() {
    if (!searching_) {
        return;
    }
    search_.Stop();
    searching_ = false;
    beforeSearch_ = {};
    SetFindTextQuietly("");
}

void CLogViewerDlg::SetStatus(std::size_t listed) {
    SetItemText(IDC_LOG_STATUS, std::to_string(listed) + platform::LoadText(IDS_OBJECTS));
}

void CLogViewerDlg::CreateColumns() {
    if (columnsCreated_) {
        return;
    }
    columnsCreated_ = true;
    list_.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int c = 0; c < kLogColumnCount; ++c) {
        list_.InsertColumn(c, platform::LoadText(kColumnHeaders[c]), list_.columns.CreationWidth(c));
    }
}

void CLogViewerDlg::ToggleColumn(int column) {
    if (column < 0 || column >= kLogColumnCount) {
        return;
    }
    if (const std::optional<int> width = list_.columns.Toggle(column)) {
        list_.SetColumnWidth(column, *width);
    }
}

void CLogViewerDlg::DeleteSelection() {
    const LogSelection selection = tree_.Selection();
    if (selection.kind == LogSelection::Kind::None) {
        return;
    }
    search_.Stop();
    log_.MarkDeleted(selection);
    HTREEITEM current = tree_.CurrentItem();
    if (current == nullptr) {
        return;
    }
    SetStatus(0);
    ClearList();
    // The tree may select another item by itself: that lists its lines like a selection by the user.
    tree_.DeleteWithEmptyParent(current);
}

void CLogViewerDlg::Refresh() {
    const bool first = loadPending_;
    if (first) {
        // Before the first load: the columns come with it.
        ::KillTimer(Hwnd(), kLoadTimer);
        loadPending_ = false;
    }
    search_.Stop();
    const LogApply applied = log_.ApplyDeletions(context_.exeDir, kLogChunkSize);
    if (applied == LogApply::NotOpened || applied == LogApply::Failed) {
        // The marks stay, and so does what the window shows: the next Refresh tries again.
        platform::ShowMessage(platform::LoadText(IDS_LOG_APPLY_HELD), context_.appName, platform::MessageIcon::Warning);
        if (!first) {
            // The loaded lines stay, but the search stopped above may have been the one for the latest
            // text of the box, whose result would then never come: the list would keep an older query's
            // rows. It runs again, for the text the box holds now, over the same lines.
            if (searching_) {
                StartSearch();
            }
            return;
        }
    } else if (applied == LogApply::LogChanged) {
        // The marks no longer fit the file's lines: it is read again, and the user deletes anew.
        platform::ShowMessage(platform::LoadText(IDS_LOG_APPLY_CHANGED), context_.appName,
                              platform::MessageIcon::Warning);
    }
    Load();
    if (first) {
        CreateColumns();
    }
    if (searching_) {
        // The search runs again over the lines just read.
        StartSearch();
        return;
    }
    FillList();
}

void CLogViewerDlg::ExportCsv() {
    char file[MAX_PATH] = {};
    const std::string offered = CsvFileNameFor(tree_.Selection());
    offered.copy(file, sizeof file - 1);
    // The filter is pairs of texts, each ending in a null, and a null after the last pair.
    std::string filter = platform::LoadText(IDS_EXPORT_CSV_FILTER);
    filter += '\0';
    filter += "*.csv";
    filter += '\0';
    const std::string title = platform::LoadText(IDS_EXPORT_CSV_TITLE);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Hwnd();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = "csv";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetSaveFileNameA(&dialog)) {
        return;
    }
    std::vector<std::string> headers;
    for (const UINT header : kColumnHeaders) {
        headers.push_back(platform::LoadText(header));
    }
    bool written = false;
    {
        const WaitCursor wait;
        written = WriteLogCsv(file, headers, log_, listed_,
                              [this](std::size_t done, std::size_t total) { SetProgress(done, total); });
        ::SendMessageA(Item(IDC_LOG_PROGRESS), PBM_SETPOS, 0, 0);
    }
    if (!written) {
        platform::ShowMessage(platform::LoadText(IDS_EXPORT_CSV_FAILED) + "\n" + file, context_.appName,
                              platform::MessageIcon::Error);
    }
}

bool CLogViewerDlg::RunCommand(WORD id) {
    if (id == ID_LOG_REFRESH) {
        Refresh();
        return true;
    }
    if (id == ID_LOG_DELETE) {
        DeleteSelection();
        return true;
    }
    if (id == ID_LOG_EXPORT_CSV) {
        ExportCsv();
        return true;
    }
    if (id == ID_LOG_SHOW_STRIP) {
        ToggleStrip();
        return true;
    }
    if (id >= ID_LOG_COLUMN_FIRST && id <= ID_LOG_COLUMN_LAST) {
        ToggleColumn(id - ID_LOG_COLUMN_FIRST);
        return true;
    }
    return false;
}

bool CLogViewerDlg::OnCommand(WORD id, WORD code, HWND) {
    if (id == ID_SELECT_LISTITEM) {
        // A date or user chosen in the tree ends a search.
        EndSearch();
        FillList();
        return true;
    }
    if (id == IDC_LOG_FIND && code == EN_CHANGE) {
        OnFindChanged();
        return true;
    }
    return false;
}

bool CLogViewerDlg::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom == IDC_LOG_TREE) {
        switch (header.code) {
        case TVN_SELCHANGINGA:
        case TVN_SELCHANGINGW:
            // While a search lists lines, the tree selects an item only for the user (a click or a key):
            // not by itself, as it does for its first item when it gets the focus with none selected
            // (after a Tab, or the Save dialog of Export as CSV).
            result = searching_ && reinterpret_cast<const NMTREEVIEWA&>(header).action == TVC_UNKNOWN ? TRUE : FALSE;
            return true;
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW:
            // The two records differ only in the item texts, which are not read.
            tree_.OnSelChanged(reinterpret_cast<const NMTREEVIEWA&>(header));
            result = 0;
            return true;
        case TVN_ITEMEXPANDINGA:
        case TVN_ITEMEXPANDINGW:
            tree_.OnItemExpanding(reinterpret_cast<const NMTREEVIEWA&>(header));
            result = FALSE; // let it open
            return true;
        case NM_RCLICK:
            ShowTreeMenu();
            result = 1;
            return true;
        default:
            return false;
        }
    }
    if (header.idFrom == IDC_LOG_LIST) {
        switch (header.code) {
        case LVN_GETDISPINFOA:
            GiveLine(log_, listed_, reinterpret_cast<NMLVDISPINFOA&>(header).item);
            result = 0;
            return true;
        case LVN_GETDISPINFOW:
            GiveLine(log_, listed_, reinterpret_cast<NMLVDISPINFOW&>(header).item);
            result = 0;
            return true;
        case NM_RCLICK:
            ShowListMenu();
            result = 1;
            return true;
        default:
            return false;
        }
    }
    return false;
}

HWND CLogViewerDlg::MenuOwner() const {
    HWND owner = ::GetWindow(Hwnd(), GW_OWNER);
    return owner != nullptr ? owner : Hwnd();
}

void CLogViewerDlg::ShowTreeMenu() {
    win32::UniqueMenu menu(GF_CHECK_HANDLE(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POP_LOG2))));
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) {
        return;
    }
    if (tree_.Selection().kind == LogSelection::Kind::None) {
        ::EnableMenuItem(popup, ID_LOG_DELETE, MF_BYCOMMAND | MF_GRAYED);
    }
    POINT at{};
    ::GetCursorPos(&at);
    TrackShortcutMenu(popup, at, TPM_LEFTALIGN | TPM_LEFTBUTTON, MenuOwner(), Hwnd());
}

void CLogViewerDlg::ShowListMenu() {
    win32::UniqueMenu menu(GF_CHECK_HANDLE(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POP_LOG))));
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (popup == nullptr) {
        return;
    }
    // A width the user has just dragged counts.
    list_.TrackColumns();
    for (int c = 0; c < kLogColumnCount; ++c) {
        const bool shown = list_.columns.shown[static_cast<std::size_t>(c)] == 1;
        ::CheckMenuItem(popup, static_cast<UINT>(ID_LOG_COLUMN_FIRST + c),
                        MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    }
    if (listed_.empty()) {
        ::EnableMenuItem(popup, ID_LOG_EXPORT_CSV, MF_BYCOMMAND | MF_GRAYED);
    }
    ::CheckMenuItem(popup, ID_LOG_SHOW_STRIP, MF_BYCOMMAND | (stripShown_ ? MF_CHECKED : MF_UNCHECKED));
    POINT at{};
    ::GetCursorPos(&at);
    TrackShortcutMenu(popup, at, TPM_LEFTALIGN | TPM_LEFTBUTTON, MenuOwner(), Hwnd());
}

bool CLogViewerDlg::PreTranslateMessage(MSG& msg) {
    if ((msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) || !Exists() ||
        (msg.hwnd != Hwnd() && !::IsChild(Hwnd(), msg.hwnd))) {
        return false;
    }
    // F5 in any control of the viewer refreshes; the key is then handled as usual.
    if (msg.wParam == VK_F5) {
        Refresh();
        return false;
    }
    HWND find = Item(IDC_LOG_FIND);
    // Ctrl+F anywhere in the viewer goes to the search box.
    if (msg.message == WM_KEYDOWN && msg.wParam == 'F' && ::GetKeyState(VK_CONTROL) < 0 && find != nullptr) {
        ::SetFocus(find);
        ::SendMessageA(find, EM_SETSEL, 0, -1);
        return true;
    }
    // Esc in the search box empties it; it never reaches the dialog, where it would close the viewer.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && msg.hwnd == find && find != nullptr) {
        ::SetWindowTextA(find, "");
        return true;
    }
    return false;
}

void CLogViewerDlg::Layout() {
    RECT outer{};
    if (!::GetWindowRect(Hwnd(), &outer)) {
        return;
    }
    POINT topLeft{outer.left, outer.top};
    POINT bottomRight{outer.right, outer.bottom};
    ::ScreenToClient(Hwnd(), &topLeft);
    ::ScreenToClient(Hwnd(), &bottomRight);
    const LogViewLayout layout = ComputeLogViewLayout(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y, SystemDpi(),
                                                      stripShown_ && strip_.Hwnd() != nullptr ? stripHeight_ : 0);
    const auto place = [&](int id, const LogViewLayout::Box& box) {
        if (HWND control = Item(id)) {
            ::MoveWindow(control, box.x, box.y, box.width, box.height, TRUE);
        }
    };
    place(IDC_LOG_TREE, layout.tree);
    place(IDC_LOG_LIST, layout.list);
    place(IDC_LOG_STATUS, layout.status);
    place(IDC_LOG_PROGRESS, layout.progress);
    place(IDC_LOG_FIND, layout.search);
    place(IDC_LOG_STRIP, layout.strip);
}

void CLogViewerDlg::OnSize(UINT, int, int) {
    Layout();
}

void CLogViewerDlg::SavePlace() {
    RECT rect{};
    ::GetWindowRect(Hwnd(), &rect);
    list_.TrackColumns();
    LogDialogPos pos;
    pos.top = rect.top;
    pos.bottom = rect.bottom;
    pos.right = rect.right;
    pos.left = rect.left;
    pos.columns = list_.columns;
    pos.stripHeight = stripHeight_;
    pos.stripShown = stripShown_;
    WriteLogDialogPos(context_.iniPath, pos);
}

bool CLogViewerDlg::ApplyOnClose(bool ask) {
    const LogApply applied = log_.ApplyDeletions(context_.exeDir, kLogChunkSize);
    if (!ask || applied == LogApply::Unchanged || applied == LogApply::Replaced) {
        return true;
    }
    // The marks would vanish with the window: the user decides whether to keep it open and try again.
    const std::string question = platform::LoadText(IDS_LOG_APPLY_CLOSE);
    return ::MessageBoxA(Hwnd(), question.c_str(), context_.appName.c_str(), MB_YESNO | MB_ICONWARNING) == IDYES;
}

void CLogViewerDlg::CloseQuietly() {
    quietClose_ = true;
}

void CLogViewerDlg::SaveAtSessionEnd() {
    if (Hwnd() == nullptr) {
        return;
    }
    SavePlace();
    ApplyOnClose(false);
}

void CLogViewerDlg::Close() {
    if (!ApplyOnClose(!quietClose_)) {
        return;
    }
    ::KillTimer(Hwnd(), kLoadTimer);
    loadPending_ = false;
    TreeView_SetImageList(tree_.Hwnd(), nullptr, TVSIL_NORMAL);
    images_.reset();
    const LONG_PTR style = ::GetWindowLongPtrA(Hwnd(), GWL_EXSTYLE);
    ::SetWindowLongPtrA(Hwnd(), GWL_EXSTYLE, style & ~LONG_PTR{WS_EX_APPWINDOW});
    SavePlace();
    search_.Stop();
    searchNotify_ = nullptr;
    ClearList();
    log_.Clear();
    quietClose_ = false;
    Dialog::OnCancel();
}

void CLogViewerDlg::OnClose() {
    Close();
}

void CLogViewerDlg::OnCancel() {
    Close();
}

void CLogViewerDlg::OnOK() {
    // Enter changes nothing: the viewer closes through Close only, which keeps its place and writes
    // the deletions.
}

void CLogViewerDlg::OnDestroy() {
    ::KillTimer(Hwnd(), kLoadTimer);
    loadPending_ = false;
    search_.Stop();
    searchNotify_ = nullptr;
    searching_ = false;
    tree_.Detach();
    list_.Detach();
    images_.reset();
    listed_.clear();
    log_.Clear();
}

bool CLogViewerDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message == kSearchDone) {
        OnSearchDone();
        result = 0;
        return true;
    }
    if (message == WM_HELP) {
        ShowHelpAt("logviewer.html", context_.appName);
        result = TRUE;
        return true;
    }
    return false;
}

} // namespace glimmerfen::ui
