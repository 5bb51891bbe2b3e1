#include "ui/list/ListViewDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

#include "monitor/NameList.h"
#include "platform/clock.h"
#include "platform/explorer.h"
#include "platform/netnames.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/win32/checks.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "ui/framework/ItemText.h"
#include "ui/framework/Menus.h"
#include "ui/framework/Help.h"

namespace glimmerfen::ui {

namespace {

// Sent by the refresh to the window's thread with a RefreshData; answered 1 when applied.
constexpr UINT kApplyRefreshMessage = WM_APP + 0x132;
// Posted when lines began to wait for a log file that could not be written: the box is shown on the
// window's thread, so the polls go on meanwhile.
constexpr UINT kLogFailureMessage = WM_APP + 0x133;

} // namespace

CListViewDlg::CListViewDlg(ListViewContext context) : Dialog(IDD_LIST), context_(std::move(context)) {}

CListViewDlg::~CListViewDlg() {
    StopWatch();
}

bool CListViewDlg::OnInitDialog() {
    destroying_ = false;
    state_ = ListWindowState{};

    if (!context_.computer.empty()) {
        // Another computer's accesses: the caption says whose.
        char caption[256] = {};
        ::GetWindowTextA(Hwnd(), caption, sizeof caption);
        ::SetWindowTextA(Hwnd(), WatchedCaption(caption, context_.computer).c_str());
    }

    const DialogPos pos = ReadDialogPos(context_.iniPath);
    state_.detailsShown = pos.dlgSize;
    if (pos.HasRect()) {
        ::MoveWindow(Hwnd(), pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, TRUE);
    }
    accessList_.Create(Item(IDC_LIST), pos.columns);
    detailsList_.Create(Item(IDC_DETAILS));
    ApplyTopmost();
    // Places the lists for the details mode read above; until now they stood where the template has them.
    Layout();

    refreshTarget_ = Hwnd();
    if (!watchStarted_) {
        watchStarted_ = true;
        const HWND window = Hwnd();
        context_.watch.Start(
            {[this] { RefreshList(); }, [window] { ::PostMessageA(window, kLogFailureMessage, 0, 0); }});
    }
    return true;
}

void CListViewDlg::ReleaseImageList() {
    accessList_.ReleaseImageList();
}

void CListViewDlg::StopWatch() {
    // Once the watch was started here: a refresh still sending to this window is answered meanwhile.
    if (watchStarted_) {
        context_.watch.Stop();
    }
    refreshTarget_ = nullptr;
}

void CListViewDlg::ApplyTopmost() {
    const HWND after = context_.settings.TopDlg.load() == 1 ? HWND_TOPMOST : HWND_NOTOPMOST;
    ::SetWindowPos(Hwnd(), after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void CListViewDlg::SetAppWindowStyle(bool on) {
    const LONG_PTR style = ::GetWindowLongPtrA(Hwnd(), GWL_EXSTYLE);
    ::SetWindowLongPtrA(Hwnd(), GWL_EXSTYLE, on ? (style | WS_EX_APPWINDOW) : (style & ~LONG_PTR{WS_EX_APPWINDOW}));
}

void CListViewDlg::ShowByUser() {
    SetAppWindowStyle(true);
    ::ShowWindow(Hwnd(), SW_SHOW);
    state_.openedByUser = 1;
}

void CListViewDlg::HideAndSave() {
    RECT rect{};
    ::GetWindowRect(Hwnd(), &rect);
    // A width the user has just dragged counts even if the list has not been erased since.
    accessList_.TrackColumns();
    DialogPos pos;
    pos.top = rect.top;
    pos.bottom = rect.bottom;
    pos.right = rect.right;
    pos.left = rect.left;
    pos.dlgSize = state_.detailsShown;
    for (int i = 0; i < kAccessColumnCount; ++i) {
        pos.columns[static_cast<std::size_t>(i)] = accessList_.columns.widths[static_cast<std::size_t>(i)];
    }
    WriteDialogPos(context_.iniPath, pos);
    state_.OnHideAndSave();
    ::ShowWindow(Hwnd(), SW_HIDE);
    SetAppWindowStyle(false);
}

void CListViewDlg::ToggleDetails() {
    state_.ToggleDetails();
    ::PostMessageA(Hwnd(), WM_SIZE, 0, 0);
    ShowDetails();
}

void CListViewDlg::Layout() {
    RECT rect{};
    ::GetWindowRect(Hwnd(), &rect);
    ::MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    const ListLayout layout =
        ComputeLayout(rect.left, rect.top, rect.right, rect.bottom, state_.detailsShown, SystemDpi());
    if (HWND list = Item(IDC_LIST); list != nullptr) {
        const Box& b = layout.accessList;
        ::MoveWindow(list, b.x, b.y, b.width, b.height, TRUE);
    }
    HWND details = Item(IDC_DETAILS);
    if (details == nullptr) {
        return;
    }
    if (!layout.detailsVisible) {
        ::ShowWindow(details, SW_HIDE);
        return;
    }
    const Box& b = layout.detailsList;
    ::MoveWindow(details, b.x, b.y, b.width, b.height, TRUE);
    ::SendMessageA(details, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(layout.detailsValueWidth, 0));
    ::ShowWindow(details, SW_SHOW);
}

int CListViewDlg::SelectionMark() const {
    return accessList_.Hwnd() != nullptr ? accessList_.SelectionMark() : -1;
}

std::optional<MarkedRow> CListViewDlg::RowAtMark() const {
    const int mark = SelectionMark();
    if (mark == -1) {
        return std::nullopt;
    }
    return MarkedRow{RowText(mark, 0), RowText(mark, 1), RowText(mark, 4)};
}

std::string CListViewDlg::RowText(int row, int column) const {
    return accessList_.RowText(row, column);
}

void CListViewDlg::ShowDetails() {
    if (accessList_.Hwnd() == nullptr || detailsList_.Hwnd() == nullptr) {
        return;
    }
    SelectedRow selected;
    selected.selectionMark = SelectionMark();
    if (selected.selectionMark != -1) {
        selected.clientName = RowText(selected.selectionMark, 0);
        selected.userName = RowText(selected.selectionMark, 1);
        selected.pathName = RowText(selected.selectionMark, 4);
    }
    const DetailsUpdate update = ReadDetails(context_.watch, std::move(selected));
    if (update.kind != DetailsUpdate::Kind::Keep) {
        detailsList_.Show(update.kind == DetailsUpdate::Kind::Set ? update.values : DetailValues{});
    }
}

void CListViewDlg::RefreshList() {
    HWND target = refreshTarget_.load();
    if (target == nullptr) {
        return;
    }
    RefreshRows data = ReadRefresh(context_.watch, watches_, platform::NowSeconds());
    // The refresh waits while the window's thread applies it. The poll runs on a thread of its own and
    // may change the table meanwhile: the details, read from the table by the selected row's names, can
    // then be a poll newer than the rows, until the next refresh.
    ::SendMessageA(target, kApplyRefreshMessage, 0, reinterpret_cast<LPARAM>(&data));
}

bool CListViewDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
    if (message == WM_CONTEXTMENU) {
        // The mouse's menu comes with NM_RCLICK, which also keeps the list from sending this message
        // for a click; what comes here is the keyboard's (Shift+F10, the menu key), which carries -1 in
        // place of a position. A point's coordinates cannot tell it: (-1, -1) lies on a monitor left of
        // and above the primary one.
        if (static_cast<DWORD>(lParam) == 0xFFFFFFFF) {
            POINT at{5, 5};
            ::ClientToScreen(Hwnd(), &at);
            ShowContextMenu(at);
        }
        result = 0;
        return true;
    }
    if (message == WM_HELP) {
        ShowHelpAt("list.html", context_.appName);
        result = TRUE;
        return true;
    }
    if (message == kLogFailureMessage) {
        context_.watch.ShowLogFailure();
        result = 0;
        return true;
    }
    if (message != kApplyRefreshMessage) {
        return false;
    }
    result = 0;
    if (!destroying_ && lParam != 0) {
        ApplyRefresh(*reinterpret_cast<RefreshRows*>(lParam));
        result = 1;
    }
    return true;
}

void CListViewDlg::ApplyRefresh(RefreshRows& data) {
    if (data.hasTable) {
        accessList_.Show(std::move(data.rows));
    }
    UpdatePopup(data.entryCount);
    ShowDetails();
}

void CListViewDlg::UpdatePopup(int entryCount) {
    const PopupActions actions = state_.UpdatePopup(entryCount, PopupSettingsFrom(context_.settings));
    if (actions.popUp) {
        SetAppWindowStyle(true);
        ::SetWindowPos(Hwnd(), actions.popUpTopmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        ::ShowWindow(Hwnd(), SW_SHOW);
    }
    if (actions.hideAndSave) {
        HideAndSave();
    }
    if (actions.show) {
        ::ShowWindow(Hwnd(), SW_SHOW);
    }
}

void CListViewDlg::AddToPcList(bool acceptable) {
    const int mark = SelectionMark();
    if (mark == -1) {
        return;
    }
    const unsigned questionId = acceptable ? IDS_ASK_TARGET_ACCEPTABLE : IDS_ASK_TARGET_DENIED;
    glimmerfen::AddToPcList(context_.settings, acceptable ? PcList::Acceptable : PcList::Denied, RowText(mark, 0), [&] {
        const std::string question = platform::LoadText(questionId);
        return ::MessageBoxA(Hwnd(), question.c_str(), "Glimmerfen Checker", MB_OKCANCEL) == IDOK;
    });
}

void CListViewDlg::OpenSharedFolder() {
    const int mark = SelectionMark();
    // The menu greys the command for an open-file row: "\\\\" alone names no computer.
    if (mark == -1 || RowText(mark, 0).empty()) {
        return;
    }
    const std::string client = RowText(mark, 0);
    // The name comes from the network: one holding "\\", "..", a blank or a comma would make the path
    // (or Explorer's own arguments) name something other than that computer's shares.
    if (!platform::IsWellFormedComputerName(client)) {
        const std::string text = platform::LoadText(IDS_BAD_COMPUTER_NAME);
        ::MessageBoxA(Hwnd(), text.c_str(), context_.appName.c_str(), MB_OK | MB_ICONWARNING);
        return;
    }
    if (!platform::StartExplorer("\\\\" + client)) {
        const std::string text = platform::LoadText(IDS_EXPLORER_FAILED);
        ::MessageBoxA(Hwnd(), text.c_str(), context_.appName.c_str(), MB_OK | MB_ICONWARNING);
    }
}

void CListViewDlg::WatchSelectedFile() {
    const int mark = SelectionMark();
    const std::string path = RowText(mark, 4);
    // The menu greys the command for a session row, which has no file.
    if (mark == -1 || path.empty()) {
        return;
    }
    const std::string user = RowText(mark, 1);
    // The opening the row shows now: the same user opening the file again later is another one.
    const std::optional<std::int32_t> fileId = FindOpening(context_.watch, path, user);
    if (!fileId) {
        return; // no poll finds it open any more
    }
    watches_.Toggle({path, user, *fileId, platform::NowSeconds()});
    // The row's mark changes at once, not at the next refresh.
    accessList_.MarkWatched(
        [this](const ListRow& row) { return !row.texts[4].empty() && watches_.Watched(row.texts[4], row.texts[1]); });
}

bool CListViewDlg::SelectClient(const std::string& client, const std::string& user) {
    if (!accessList_.SelectClient(client, user)) {
        return false;
    }
    ShowDetails();
    return true;
}

bool CListViewDlg::RunListCommand(WORD id) {
    if (const std::optional<RowRequest> request = RowRequestFor(id, RowAtMark())) {
        if (request->kind == RowRequest::Kind::Disconnect) {
            context_.watch.Disconnect(request->client, request->user);
        } else {
            context_.watch.CloseFile(request->client, request->user, request->path);
        }
        return true;
    }
    switch (id) {
    case ID_NOTIFY_WHEN_CLOSED:
        WatchSelectedFile();
        return true;
    case ID_CLOSE_FILE:
    case ID_DISCONNECT:
        return true; // no row, or no file to close
    case ID_CHANGE_DETAILS:
        ToggleDetails();
        return true;
    case ID_ADD_ACCEPTABLE:
        AddToPcList(true);
        return true;
    case ID_ADD_DENIED:
        AddToPcList(false);
        return true;
    case ID_OPEN_SHARED_FOLDER:
        OpenSharedFolder();
        return true;
    default:
        return false;
    }
}

bool CListViewDlg::OnCommand(WORD id, WORD, HWND) {
    switch (id) {
    case IDOK:
        // Enter: the window stays.
        return true;
    case IDCANCEL:
        HideAndSave();
        return true;
    default:
        return RunListCommand(id);
    }
}

bool CListViewDlg::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_LIST) {
        return false;
    }
    if (accessList_.OnNotify(header, result)) {
        return true;
    }
    switch (header.code) {
    case NM_CLICK:
        ShowDetails();
        result = 0;
        return true;
    case NM_DBLCLK:
        ToggleDetails();
        result = 0;
        return true;
    case NM_RCLICK: {
        POINT at{};
        ::GetCursorPos(&at);
        ShowContextMenu(at);
        // Handled: the list sends no WM_CONTEXTMENU of its own for the click.
        result = 1;
        return true;
    }
    default:
        return false;
    }
}

void CListViewDlg::ShowContextMenu(POINT at) {
    const int mark = SelectionMark();
    win32::UniqueMenu menu(GF_CHECK_HANDLE(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POP_LIST))));
    if (!menu) {
        return;
    }
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    if (popup == nullptr) {
        return;
    }
    std::optional<MarkedRow> row;
    if (mark != -1 && (ListView_GetItemState(accessList_.Hwnd(), mark, LVIS_SELECTED) & LVIS_SELECTED) != 0) {
        row = RowAtMark();
    }
    const RowMenuState menuState =
        RowMenuFor(row, row && watches_.Watched(row->path, row->user), state_.DetailsChecked());
    ::CheckMenuItem(popup, ID_CHANGE_DETAILS, MF_BYCOMMAND | (menuState.detailsChecked ? MF_CHECKED : MF_UNCHECKED));
    if (menuState.watchChecked) {
        ::CheckMenuItem(popup, ID_NOTIFY_WHEN_CLOSED, MF_BYCOMMAND | MF_CHECKED);
    }
    for (const unsigned id : menuState.greyed) {
        ::EnableMenuItem(popup, id, MF_BYCOMMAND | MF_GRAYED);
    }
    // The chosen command goes to the main window, which owns this one.
    HWND owner = ::GetWindow(Hwnd(), GW_OWNER);
    TrackShortcutMenu(popup, at, TPM_LEFTALIGN | TPM_LEFTBUTTON, owner != nullptr ? owner : Hwnd(), Hwnd());
}

void CListViewDlg::OnSize(UINT, int, int) {
    Layout();
}

void CListViewDlg::OnClose() {
    HideAndSave();
}

void CListViewDlg::OnDestroy() {
    // A refresh that is sending to this window is answered (and ignored) while the engine stops.
    destroying_ = true;
    StopWatch();
    ReleaseImageList();
    accessList_.Detach();
    detailsList_.Detach();
}

} // namespace glimmerfen::ui
