#include "ui/list/ListViewDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

#include "settings/Settings.h"
#include "monitor/log/AccessLog.h"
#include "monitor/AccessMonitor.h"
#include "monitor/ByHand.h"
#include "monitor/ClientNames.h"
#include "monitor/EventReporter.h"
#include "platform/eventlog.h"
#include "res/event_ids.h"
#include "monitor/MonitorThreads.h"
#include "monitor/NameList.h"
#include "monitor/ServerAccess.h"
#include "monitor/Worker.h"
#include "monitor/pipe/ServiceView.h"
#include "platform/ansitext.h"
#include "platform/clock.h"
#include "platform/netnames.h"
#include "platform/netserver.h"
#include "platform/notify.h"
#include "platform/pipe.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "ui/framework/ItemText.h"
#include "ui/framework/Menus.h"
#include "ui/framework/Help.h"
#include "platform/win32/checks.h"
#include "platform/win32/system_library.h"

namespace glimmerfen::ui {

namespace {

// Starts the file explorer of the Windows folder, by its full path, on the target. Neither a search
// (which would look in this program's folder first) nor the shell's file associations (which merge in
// the user's own registry) choose what runs with this program's rights.
bool StartExplorer(const std::string& target) {
    const std::string program = platform::WindowsFolderFile("explorer.exe");
    std::string commandLine = "explorer.exe " + target;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process{};
    if (program.empty() || !::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                             nullptr, &startup, &process)) {
        return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

// Sent by the refresh to the window's thread with a RefreshData; answered 1 when applied.
constexpr UINT kApplyRefreshMessage = WM_APP + 0x132;
// Posted when lines began to wait for a log file that could not be written: the box is shown on the
// window's thread, so the polls go on meanwhile.
constexpr UINT kLogFailureMessage = WM_APP + 0x133;

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

// How long the end waits for a server call of the row commands before leaving it running.
constexpr auto kServerTaskGrace = std::chrono::milliseconds(500);

// Above this many changes the list stops drawing until all are made.

std::atomic<CListViewDlg*> g_instance{nullptr};

// How long the window waits for a free instance of the service's pipe.
constexpr auto kPipeConnectWait = std::chrono::milliseconds(2000);

} // namespace

CListViewDlg::CListViewDlg(ListViewContext context) : Dialog(IDD_LIST), context_(std::move(context)) {
    if (!context_.servicePipe.empty()) {
        // The service's window: its table comes through the pipe, and the window keeps no log or events.
        view_ = std::make_unique<pipe::ServiceView>(context_.settings,
                                                    [name = context_.servicePipe](platform::PipeConnect& outcome) {
                                                        return platform::ConnectToPipe(name, kPipeConnectWait, outcome);
                                                    });
        return;
    }
    if (!context_.logPath.empty()) {
        log_ = std::make_unique<AccessLog>(context_.logPath, context_.appName, AccessLog::Limits{});
    }
    monitor_ = std::make_unique<AccessMonitor>(context_.settings, context_.server, log_.get());
    // Events name the watched server, this computer by its own name.
    std::string computer = context_.computer;
    if (computer.empty()) {
        char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof name;
        if (::GetComputerNameA(name, &size)) {
            computer.assign(name, size);
        }
    }
    events_ = std::make_unique<EventReporter>(platform::OpenEventSource(), computer);
    monitor_->SetEventReporter(events_.get());
    ApplyEventLog();
}

void CListViewDlg::ApplyEventLog() {
    if (view_) {
        // The option sheet's Apply wrote the INI file: the service reads it now rather than at its next
        // look at the file.
        AskService([](pipe::ServiceView& view) { view.Ask(pipe::SettingsChanged{}); });
        return;
    }
    // The poll and the row commands hold on to the reporter; only its writer comes and goes.
    if (context_.settings.EventLog.load() != 0) {
        events_->Start();
    } else {
        events_->Finish();
    }
}

CListViewDlg::~CListViewDlg() {
    StopEngine();
    if (engineAbandoned_) {
        // A server call left running uses them whenever the server answers; the process is ending.
        (void)view_.release();
        (void)threads_.release();
        (void)monitor_.release();
        (void)log_.release();
        // Its writer ends now; what such a call posts later stays unwritten.
        if (events_) {
            events_->Finish();
        }
        (void)events_.release();
    }
    CListViewDlg* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
}

CListViewDlg* CListViewDlg::Instance() noexcept {
    return g_instance.load();
}

bool CListViewDlg::OnInitDialog() {
    g_instance = this;
    destroying_ = false;
    state_ = ListWindowState{};
    shownRows_.clear();
    shownDetails_ = DetailValues{};
    if (monitor_) {
        monitor_->CreateTable();
    }

    if (!context_.computer.empty()) {
        // Another computer's accesses: the caption says whose.
        char caption[256] = {};
        ::GetWindowTextA(Hwnd(), caption, sizeof caption);
        ::SetWindowTextA(Hwnd(), WatchedCaption(caption, context_.computer).c_str());
    }

    const DialogPos pos = ReadDialogPos(context_.iniPath);
    state_.detailsShown = pos.dlgSize;
    accessList_.Attach(Item(IDC_LIST));
    detailsList_.Attach(Item(IDC_DETAILS));
    for (int i = 0; i < kAccessColumnCount; ++i) {
        accessList_.columns.widths[static_cast<std::size_t>(i)] = pos.columns[static_cast<std::size_t>(i)];
        accessList_.columns.shown[static_cast<std::size_t>(i)] = 1;
    }
    if (pos.HasRect()) {
        ::MoveWindow(Hwnd(), pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, TRUE);
    }

    accessList_.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < kAccessColumnCount; ++i) {
        accessList_.InsertColumn(i, platform::LoadText(kAccessColumnHeaderIds[static_cast<std::size_t>(i)]),
                                 accessList_.columns.CreationWidth(i));
    }
    detailsList_.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    detailsList_.InsertColumn(0, "data1", kDetailsLabelWidth);
    detailsList_.InsertColumn(1, "data2", kDetailsValueWidth);
    for (int row = 0; row < kDetailRowCount; ++row) {
        detailsList_.InsertItem(row, platform::LoadText(kDetailLabelIds[static_cast<std::size_t>(row)]));
    }
    CreateImageList();
    ApplyTopmost();
    // Places the lists for the details mode read above; until now they stood where the template has them.
    Layout();

    if (log_) {
        const HWND window = Hwnd();
        log_->SetReporter([window] { ::PostMessageA(window, kLogFailureMessage, 0, 0); });
    }
    serverTasks_ = std::make_unique<Worker>("a server task");
    refreshTarget_ = Hwnd();
    if (view_) {
        view_->SetRefresh([this] { RefreshList(); });
        view_->Start();
        return true;
    }
    threads_ = std::make_unique<MonitorThreads>(context_.settings, *monitor_, context_.timerResolution);
    threads_->SetListRefresh([this] { RefreshList(); });
    // Ahead of the first poll's events in the writer's queue.
    ReportMonitoring(kEventMonitoringStarted);
    threads_->Start();
    return true;
}

void CListViewDlg::ReportMonitoring(std::uint32_t eventId) {
    if (events_ && context_.settings.EventLog.load() != 0) {
        events_->Post(platform::EventType::Information, eventId, {});
    }
}

void CListViewDlg::CreateImageList() {
    images_.reset(GF_CHECK_HANDLE(::ImageList_Create(16, 13, ILC_COLOR, 2, 2)));
    if (!images_) {
        return;
    }
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    for (const UINT id : kRowBitmaps) {
        win32::UniqueBitmap bitmap(GF_CHECK_HANDLE(::LoadBitmapA(instance, MAKEINTRESOURCEA(id))));
        ::ImageList_AddMasked(images_.get(), bitmap.get(), RGB(0, 0, 0));
    }
    // The window owns the image list and destroys it once; the control must not destroy it again
    // (it would, twice, being both its normal and its small list).
    HWND list = accessList_.Hwnd();
    ::SetWindowLongPtrA(list, GWL_STYLE, ::GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ListView_SetImageList(list, images_.get(), LVSIL_NORMAL);
    ListView_SetImageList(list, images_.get(), LVSIL_SMALL);
}

void CListViewDlg::ReleaseImageList() {
    if (!images_) {
        return;
    }
    if (HWND list = accessList_.Hwnd(); list != nullptr && ::IsWindow(list)) {
        ListView_SetImageList(list, nullptr, LVSIL_NORMAL);
        ListView_SetImageList(list, nullptr, LVSIL_SMALL);
    }
    images_.reset();
}

WatchState CListViewDlg::State() const {
    WatchState state;
    if (view_) {
        view_->Read([&](const pipe::TableMirror& mirror, pipe::ServiceLink link) {
            state.service = link;
            if (link == pipe::ServiceLink::Connected) {
                state.entryCount = mirror.State().entryCount;
                state.serverCode = mirror.State().server.code;
                state.waitingLines = static_cast<std::size_t>(mirror.State().waitingLines);
                state.cuts = mirror.State().cuts;
            }
        });
        return state;
    }
    state.entryCount = monitor_->EntryCount();
    state.serverCode = monitor_->LastServerState().code;
    state.waitingLines = log_ ? log_->WaitingLines() : 0;
    state.cuts = monitor_->Cuts();
    return state;
}

template <typename F>
auto CListViewDlg::ReadEntries(F&& f) const {
    if (view_) {
        return view_->Read([&](const pipe::TableMirror& mirror, pipe::ServiceLink link) {
            // A service that does not answer has no entries to pop the window up for; its last rows stay.
            const int count = link == pipe::ServiceLink::Connected ? mirror.State().entryCount : 0;
            return f(mirror.State().hasTable, count, [&](auto&& visit) { mirror.ForEach(visit); });
        });
    }
    return monitor_->Read([&](const AccessTable* table, std::int32_t entryCount, std::int32_t) {
        return f(table != nullptr, static_cast<int>(entryCount), [&](auto&& visit) {
            if (table != nullptr) {
                table->ForEach(visit);
            }
        });
    });
}

void CListViewDlg::StopEngine() {
    if (view_ && !view_->Stop()) {
        engineAbandoned_ = true;
    }
    const bool running = threads_ && threads_->MonitorRunning() != 0;
    if (threads_ && !threads_->Stop()) {
        engineAbandoned_ = true;
    }
    if (serverTasks_ && !serverTasks_->Stop(kServerTaskGrace)) {
        engineAbandoned_ = true;
    }
    if (running) {
        // After the last poll's events.
        ReportMonitoring(kEventMonitoringEnded);
    }
    // No poll runs any more: what still waits for the log is written now, or kept for the next start.
    if (log_) {
        log_->KeepWaitingLines();
    }
    refreshTarget_ = nullptr;
}

void CListViewDlg::ApplyTopmost() {
    const HWND after = context_.settings.TopDlg.load() == 1 ? HWND_TOPMOST : HWND_NOTOPMOST;
    ::SetWindowPos(Hwnd(), after, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void CListViewDlg::ApplyPriorities() {
    if (threads_) {
        threads_->ApplyPriorities();
    }
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

std::string CListViewDlg::RowText(int row, int column) const {
    // The list holds no texts of its own: it shows these rows.
    if (row < 0 || static_cast<std::size_t>(row) >= shownRows_.size() || column < 0 || column >= kAccessColumnCount) {
        return std::string();
    }
    return shownRows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
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
    const DetailsUpdate update = ReadEntries([&](bool hasTable, int entryCount, auto&& forEach) {
        DetailsFinder finder(hasTable, entryCount, std::move(selected));
        forEach([&](const AccessEntry& entry) { finder.Visit(entry); });
        return finder.Result();
    });
    if (update.kind == DetailsUpdate::Kind::Keep) {
        return;
    }
    DetailValues values = update.kind == DetailsUpdate::Kind::Set ? update.values : DetailValues{};
    // A client known by its address shows its name beside it, once looked up.
    values[0] = (monitor_ ? monitor_->Names() : *viewNames_).Display(values[0]);
    for (int row = 0; row < kDetailRowCount; ++row) {
        const auto r = static_cast<std::size_t>(row);
        if (values[r] != shownDetails_[r]) {
            detailsList_.SetItemText(row, 1, values[r]);
            shownDetails_[r] = values[r];
        }
    }
}

void CListViewDlg::RefreshList() {
    HWND target = refreshTarget_.load();
    if (target == nullptr) {
        return;
    }
    RefreshData data;
    // The watches are decided on what the last poll found; a failed poll (or a service out of reach)
    // found nothing, which closes nothing.
    const bool watching = watches_.Count() > 0;
    bool pollFailed = false;
    if (watching) {
        const WatchState state = State();
        pollFailed = state.serverCode != 0 || (state.service && *state.service != pipe::ServiceLink::Connected);
    }
    const std::int32_t now = platform::NowSeconds();
    // Only the rows are copied under the table's lock; the window is told after it is released.
    ReadEntries([&](bool hasTable, int entryCount, auto&& forEach) {
        data.hasTable = hasTable;
        data.entryCount = entryCount;
        data.rows.reserve(static_cast<std::size_t>(std::max(entryCount, 0)));
        forEach([&](const AccessEntry& entry) { data.rows.push_back(MakeListRow(entry)); });
        if (watching && hasTable) {
            watches_.Check(forEach, pollFailed, now);
            for (ListRow& row : data.rows) {
                row.watched = !row.texts[4].empty() && watches_.Watched(row.texts[4], row.texts[1]);
            }
        }
    });
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
        if (log_) {
            platform::ShowMessage(log_->FailureText(), log_->Caption(), platform::MessageIcon::Warning);
        }
        result = 0;
        return true;
    }
    if (message != kApplyRefreshMessage) {
        return false;
    }
    result = 0;
    if (!destroying_ && lParam != 0) {
        ApplyRefresh(*reinterpret_cast<RefreshData*>(lParam));
        result = 1;
    }
    return true;
}

void CListViewDlg::ApplyRefresh(RefreshData& data) {
    FillRows(data);
    UpdatePopup(data.entryCount);
    ShowDetails();
}

void CListViewDlg::FillRows(RefreshData& data) {
    // Without entries the rows of the last accesses stay on display until a new one arrives.
    if (!data.hasTable || data.rows.empty() || accessList_.Hwnd() == nullptr) {
        return;
    }
    const std::vector<RowChange> changes = DiffRows(shownRows_, data.rows);
    shownRows_ = std::move(data.rows);
    if (changes.empty()) {
        return;
    }
    // The list is virtual: it asks for the texts of the rows it draws (LVN_GETDISPINFO), so a refresh
    // costs the rows on screen, not the rows in the table, however many thousands change.
    HWND list = accessList_.Hwnd();
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
    const int mark = accessList_.SelectionMark();
    const int count = static_cast<int>(shownRows_.size());
    ListView_SetItemCountEx(list, count, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    ListView_SetSelectionMark(list, mark < 0 ? -1 : std::min(mark, count - 1));
    ::InvalidateRect(list, nullptr, FALSE);
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

void CListViewDlg::DisconnectSelected() {
    const int mark = SelectionMark();
    if (mark == -1) {
        return;
    }
    // An open-file row has no client: every session of the user who holds the file is closed.
    const std::string client = RowText(mark, 0);
    const std::string user = RowText(mark, 1);
    if (view_) {
        // The service makes the server call and writes the line and the event.
        AskService([client, user](pipe::ServiceView& view) {
            view.Ask(pipe::Disconnect{{client, user, std::string(), 0}, true});
        });
        return;
    }
    RunServerTask([client, user](const ByHandContext& t) { DisconnectByHand(t, client, user); });
}

void CListViewDlg::AskService(std::function<void(pipe::ServiceView&)> ask) {
    if (!serverTasks_) {
        return;
    }
    // The view outlives the task thread: a task left running at the end keeps the engine, the view
    // with it, alive (engineAbandoned_).
    serverTasks_->Post([ask = std::move(ask), view = view_.get()] { ask(*view); });
}

void CListViewDlg::RunServerTask(std::function<void(const ByHandContext&)> task) {
    if (!serverTasks_) {
        return;
    }
    // The server may be a distant computer that answers only after a network timeout: the window goes
    // on meanwhile. The task gets what outlives this window (the server, the settings, the log and the
    // events, which are kept when a task is left running at the end) and nothing of the window itself.
    serverTasks_->Post([task = std::move(task), &server = context_.server, &settings = context_.settings,
                        log = log_.get(), events = events_.get()] {
        task({server, settings, log, events});
    });
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
    if (!StartExplorer("\\\\" + client)) {
        const std::string text = platform::LoadText(IDS_EXPLORER_FAILED);
        ::MessageBoxA(Hwnd(), text.c_str(), context_.appName.c_str(), MB_OK | MB_ICONWARNING);
    }
}

void CListViewDlg::CloseSelectedFile() {
    const int mark = SelectionMark();
    const std::string path = RowText(mark, 4);
    // The menu greys the command for a session row, which has no file.
    if (mark == -1 || path.empty()) {
        return;
    }
    const std::string client = RowText(mark, 0);
    const std::string user = RowText(mark, 1);
    if (view_) {
        // The service finds the file by the row's user and path in its own table.
        AskService([client, user, path](pipe::ServiceView& view) {
            view.Ask(pipe::CloseFile{{client, user, path, 0}});
        });
        return;
    }
    const std::optional<std::uint32_t> fileId =
        monitor_->Read([&](const AccessTable* table, std::int32_t, std::int32_t) -> std::optional<std::uint32_t> {
            if (table == nullptr) {
                return std::nullopt;
            }
            const std::optional<std::int32_t> key = table->FindByUserPath(user, path);
            const AccessEntry* entry = key ? table->FindEntry(*key) : nullptr;
            return entry != nullptr ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(entry->fileId))
                                    : std::nullopt;
        });
    if (!fileId) {
        return; // the entry went with the last poll: the file is closed already
    }
    // The server is asked with the table free.
    RunServerTask(
        [client, user, path, id = *fileId](const ByHandContext& t) { CloseFileByHand(t, client, user, path, id); });
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
    const std::optional<std::int32_t> fileId =
        ReadEntries([&](bool, int, auto&& forEach) -> std::optional<std::int32_t> {
            std::optional<std::int32_t> found;
            forEach([&](const AccessEntry& entry) {
                if (!found && entry.staleSeconds == 0.0f && entry.pathName == path && entry.userName == user) {
                    found = entry.fileId;
                }
            });
            return found;
        });
    if (!fileId) {
        return; // no poll finds it open any more
    }
    watches_.Toggle({path, user, *fileId, platform::NowSeconds()});
    // The row's mark changes at once, not at the next refresh.
    for (ListRow& row : shownRows_) {
        row.watched = !row.texts[4].empty() && watches_.Watched(row.texts[4], row.texts[1]);
    }
    ::InvalidateRect(accessList_.Hwnd(), nullptr, FALSE);
}

bool CListViewDlg::SelectClient(const std::string& client, const std::string& user) {
    HWND list = accessList_.Hwnd();
    if (list == nullptr || client.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < shownRows_.size(); ++i) {
        const ListRow& row = shownRows_[i];
        if (row.texts[0] == client && row.texts[1] == user) {
            const int index = static_cast<int>(i);
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_SetItemState(list, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_SetSelectionMark(list, index);
            ListView_EnsureVisible(list, index, FALSE);
            ShowDetails();
            return true;
        }
    }
    return false;
}

bool CListViewDlg::RunListCommand(WORD id) {
    switch (id) {
    case ID_NOTIFY_WHEN_CLOSED:
        WatchSelectedFile();
        return true;
    case ID_CLOSE_FILE:
        CloseSelectedFile();
        return true;
    case ID_CHANGE_DETAILS:
        ToggleDetails();
        return true;
    case ID_DISCONNECT:
        DisconnectSelected();
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
    switch (header.code) {
    case LVN_GETDISPINFOA:
        GiveRow(shownRows_, reinterpret_cast<NMLVDISPINFOA&>(header).item);
        result = 0;
        return true;
    case LVN_GETDISPINFOW:
        GiveRow(shownRows_, reinterpret_cast<NMLVDISPINFOW&>(header).item);
        result = 0;
        return true;
    case NM_CUSTOMDRAW: {
        // Watched files stand out from the other rows.
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
            result = CDRF_NOTIFYITEMDRAW;
        } else if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const std::size_t row = draw.nmcd.dwItemSpec;
            if (row < shownRows_.size() && shownRows_[row].watched) {
                draw.clrText = RGB(0, 0, 160);
                draw.clrTextBk = RGB(255, 244, 200);
                result = CDRF_NEWFONT;
            } else {
                result = CDRF_DODEFAULT;
            }
        } else {
            result = CDRF_DODEFAULT;
        }
        return true;
    }
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
    const bool rowSelected =
        mark != -1 && (ListView_GetItemState(accessList_.Hwnd(), mark, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    win32::UniqueMenu menu(GF_CHECK_HANDLE(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_POP_LIST))));
    if (!menu) {
        return;
    }
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    if (popup == nullptr) {
        return;
    }
    ::CheckMenuItem(popup, ID_CHANGE_DETAILS, MF_BYCOMMAND | (state_.DetailsChecked() ? MF_CHECKED : MF_UNCHECKED));
    const UINT grey = MF_BYCOMMAND | MF_GRAYED;
    if (!rowSelected) {
        for (const UINT id :
             {ID_DISCONNECT, ID_ADD_ACCEPTABLE, ID_ADD_DENIED, ID_SEND_MESSAGE, ID_OPEN_SHARED_FOLDER}) {
            ::EnableMenuItem(popup, id, grey);
        }
    }
    // A session row (or no row at the mark) has no file to close.
    if (!rowSelected || RowText(mark, 4).empty()) {
        ::EnableMenuItem(popup, ID_CLOSE_FILE, grey);
        ::EnableMenuItem(popup, ID_NOTIFY_WHEN_CLOSED, grey);
    } else if (watches_.Watched(RowText(mark, 4), RowText(mark, 1))) {
        // Chosen again, the command ends the watch.
        ::CheckMenuItem(popup, ID_NOTIFY_WHEN_CLOSED, MF_BYCOMMAND | MF_CHECKED);
    }
    // An open-file row (or no row at the mark) names no computer.
    if (RowText(mark, 0).empty()) {
        for (const UINT id : {ID_ADD_ACCEPTABLE, ID_ADD_DENIED, ID_SEND_MESSAGE, ID_OPEN_SHARED_FOLDER}) {
            ::EnableMenuItem(popup, id, grey);
        }
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
    StopEngine();
    ReleaseImageList();
    accessList_.Detach();
    detailsList_.Detach();
    CListViewDlg* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
}

} // namespace glimmerfen::ui
