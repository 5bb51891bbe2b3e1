#include "ui/tray/TrayDlg.h"

#include <windowsx.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include <string>
#include <utility>

#include "settings/Settings.h"
#include "settings/StartupShortcut.h"
#include "monitor/AccessMonitor.h"
#include "platform/ansitext.h"
#include "platform/netnames.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "resource.h"
#include "platform/win32/checks.h"
#include "platform/win32/handles.h"
#include "platform/win32/tray_shell.h"
#include "ui/framework/Menus.h"
#include "ui/framework/Help.h"

namespace glimmerfen::ui {

namespace {

// Posted by the tray tick: ask the first-run question on this window's thread.
constexpr UINT kAskStartupMessage = WM_APP + 1;
// Posted by the tray tick the first time the server's enumerations fail with a code; wParam the code.
constexpr UINT kServerStateMessage = WM_APP + 2;
// Posted at the end of the window's start: run the context's afterStart.
constexpr UINT kAfterStartMessage = WM_APP + 3;

static_assert(tray_event::kContextMenu == WM_CONTEXTMENU && tray_event::kMouseMove == WM_MOUSEMOVE &&
              tray_event::kLeftDoubleClick == WM_LBUTTONDBLCLK && tray_event::kRightDown == WM_RBUTTONDOWN &&
              tray_event::kRightDoubleClick == WM_RBUTTONDBLCLK && tray_event::kSelect == NIN_SELECT &&
              tray_event::kKeySelect == NIN_KEYSELECT && tray_event::kNoticeClick == NIN_BALLOONUSERCLICK);

// The tooltip keeps to kTipCapacity bytes, terminator included: all of the full record's buffer; a
// longer text is cut before the first character that does not fit whole.
template <std::size_t N>
void CopyTip(char (&tip)[N], const std::string& text) {
    static_assert(N == kTipCapacity, "the tooltip fills the whole buffer of the full notify-icon record");
    const std::string fitted = FitTip(text);
    std::memset(tip, 0, N);
    std::memcpy(tip, fitted.data(), fitted.size());
}

// The notices' texts from the string table.
NoticeTemplates LoadNoticeTemplates() {
    NoticeTemplates t;
    t.cutOne = platform::LoadText(IDS_NOTICE_CUT_ONE);
    t.cutMany = platform::LoadText(IDS_NOTICE_CUT_MANY);
    t.serverDenied = platform::LoadText(IDS_NOTICE_SERVER_DENIED);
    t.serverError = platform::LoadText(IDS_NOTICE_SERVER_ERROR);
    t.serverBack = platform::LoadText(IDS_NOTICE_SERVER_BACK);
    t.logWaiting = platform::LoadText(IDS_NOTICE_LOG_WAITING);
    t.logWritten = platform::LoadText(IDS_NOTICE_LOG_WRITTEN);
    t.fileClosed = platform::LoadText(IDS_NOTICE_FILE_CLOSED);
    t.filesClosed = platform::LoadText(IDS_NOTICE_FILES_CLOSED);
    return t;
}

// A text into a fixed buffer of the notify-icon record, cut before a double-byte character that would
// not fit whole.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    const std::string fitted = TruncateAnsi(text, N - 1);
    std::memset(field, 0, N);
    std::memcpy(field, fitted.data(), fitted.size());
}

void ChangeExStyle(HWND hwnd, LONG_PTR add, LONG_PTR remove) {
    const LONG_PTR style = ::GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
    ::SetWindowLongPtrA(hwnd, GWL_EXSTYLE, (style | add) & ~remove);
}

} // namespace

CTrayDlg::CTrayDlg(TrayContext context)
    : Dialog(IDD_MAIN), context_(std::move(context)), listView_(context_.list),
      logViewer_(LogViewContext{context_.paths.exeDir, context_.paths.iniPath, context_.paths.appName}),
      propSheet_(OptionContext{context_.settings, context_.paths,
                               [this] {
                                   if (listView_.Exists()) {
                                       listView_.ApplyTopmost();
                                   }
                               },
                               [this] { context_.list.watch.SettingsApplied(); }}),
      sendMsgDlg_(context_.paths.appName), serverTip_(context_.list.computer), notices_(LoadNoticeTemplates()),
      mainIcon_(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))),
      taskbarCreated_(::RegisterWindowMessageA("TaskbarCreated")) {}

CTrayDlg::~CTrayDlg() {
    // Normally the close sequence has run; this covers a run that ended any other way.
    if (trayTick_) {
        trayTick_->Stop();
    }
    if (!watchStopped_) {
        listView_.StopWatch();
        watchStopped_ = true;
    }
}

HICON CTrayDlg::TrayIcon(int iconId) const {
    // Shared icons: loaded once by the system, never destroyed, safe to ask for from any thread.
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                           LR_SHARED));
}

bool CTrayDlg::OnInitDialog() {
    KeepHiddenOnModalStart();

    HMENU systemMenu = ::GetSystemMenu(Hwnd(), FALSE);
    const std::string aboutText = platform::LoadText(IDS_ABOUTBOX);
    if (systemMenu != nullptr && !aboutText.empty()) {
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
    }

    ::SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mainIcon_));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mainIcon_));

    // Run as administrator, the window would not hear a restarted shell announce its new taskbar: the
    // shell runs with lower rights, and the system drops its messages unless they are let through.
    if (taskbarCreated_ != 0) {
        platform::AllowMessageFromShell(Hwnd(), taskbarCreated_);
    }
    {
        std::lock_guard<std::mutex> lock(iconMutex_);
        // The whole record: the version below is read only from a record of the full size.
        trayIcon_.cbSize = sizeof trayIcon_;
        trayIcon_.hWnd = Hwnd();
        trayIcon_.uID = 0;
        // With version 4 the shell shows the tooltip only when asked to.
        trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
        trayIcon_.uCallbackMessage = kTrayNotifyMessage;
        trayIcon_.hIcon = TrayIcon(IDI_IDLE);
        CopyTip(trayIcon_.szTip, WatchedTip(kStartTip, context_.list.computer));
        trayIcon_.uVersion = NOTIFYICON_VERSION_4;
    }
    AddIcon();

    // Creating the list window starts the engine.
    listView_.CreateModeless(Hwnd());
    if (context_.settings.StartDlg.load() != 0) {
        ::ShowWindow(listView_.Hwnd(), SW_HIDE);
        listView_.SetOpenedByUser(0);
        ChangeExStyle(listView_.Hwnd(), 0, WS_EX_APPWINDOW);
    } else {
        ChangeExStyle(listView_.Hwnd(), WS_EX_APPWINDOW, 0);
        ::ShowWindow(listView_.Hwnd(), SW_SHOW);
        listView_.SetOpenedByUser(1);
    }

    // Out of sight and without a taskbar button: only the tool-window style remains.
    ::SetWindowPos(Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_HIDEWINDOW);
    ChangeExStyle(Hwnd(), 0, WS_EX_APPWINDOW);

    trayTick_ =
        std::make_unique<TimerChain>([this] { TrayTick(); }, context_.settings.CycleTime3, context_.timerResolution);
    trayTick_->Start();
    if (context_.afterStart) {
        ::PostMessageA(Hwnd(), kAfterStartMessage, 0, 0);
    }
    return false;
}

void CTrayDlg::TrayTick() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (context_.settings.InitFlag.load() == 0 && !startupQuestionPosted_.exchange(true)) {
        // Asked on the window's thread: a box shown here would hold up the list refresh and the
        // poll's timer, which run on this same timer thread, for as long as it stays unanswered. InitFlag is set
        // there, when the question is really asked, so a close before that keeps it for the next run.
        ::PostMessageA(Hwnd(), kAskStartupMessage, 0, 0);
    }
    const WatchState watch = context_.list.watch.State();
    if (watch.serverCode != 0 && reportedCodes_.insert(watch.serverCode).second) {
        // Told once per code and run, on the window's thread: a box here would hold up the timers.
        ::PostMessageA(Hwnd(), kServerStateMessage, watch.serverCode, 0);
    }
    const TrayTickResult result = serverTip_.Apply(animation_.Tick(watch.entryCount, [] { return std::rand(); }),
                                                   watch.serverCode, watch.waitingLines, ServiceTipId(watch.service));
    if (result.modify) {
        SetIcon(result.iconId, result.tip);
    }
    ShowDueNotices(watch);
}

void CTrayDlg::ShowDueNotices(const WatchState& watch) {
    const AppSettings& s = context_.settings;
    // A service out of reach tells nothing of its server or its log: its state is not known.
    if (!watch.service || *watch.service == pipe::ServiceLink::Connected) {
        notices_.Observe({watch.serverCode, watch.waitingLines, watch.cuts},
                         {s.NoticeRuleCut.load() != 0, s.NoticeServer.load() != 0, s.NoticeLog.load() != 0, true});
    }
    notices_.AddClosed(listView_.TakeClosedFiles());
    const auto now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    for (const Notice& notice : notices_.Due(now.count())) {
        ShowNotice(notice);
    }
}

void CTrayDlg::ShowNotice(const Notice& notice) {
    NOTIFYICONDATAA record;
    {
        std::lock_guard<std::mutex> lock(iconMutex_);
        record = trayIcon_;
        noticeCut_ = notice.cut;
    }
    // Only this call carries the notice: the icon's own record stays without it, or every later change
    // of the picture would show it again.
    record.uFlags |= NIF_INFO;
    CopyField(record.szInfoTitle, context_.paths.appName);
    CopyField(record.szInfo, notice.text);
    const bool problem = notice.kind == NoticeKind::Server || notice.kind == NoticeKind::Log;
    record.dwInfoFlags = (problem ? NIIF_WARNING : NIIF_INFO) | NIIF_RESPECT_QUIET_TIME;
    platform::NotifyIcon(NIM_MODIFY, record);
}

void CTrayDlg::OnNoticeClicked() {
    std::optional<RuleCut> cut;
    {
        std::lock_guard<std::mutex> lock(iconMutex_);
        cut = noticeCut_;
    }
    ShowList();
    if (cut && listView_.Exists()) {
        listView_.SelectClient(cut->client, cut->user);
    }
}

void CTrayDlg::SetIcon(int iconId, const std::string& tip) {
    {
        std::lock_guard<std::mutex> lock(iconMutex_);
        trayIcon_.hIcon = TrayIcon(iconId);
        CopyTip(trayIcon_.szTip, tip);
    }
    NotifyIcon(NIM_MODIFY);
}

bool CTrayDlg::NotifyIcon(DWORD action) {
    NOTIFYICONDATAA record;
    {
        std::lock_guard<std::mutex> lock(iconMutex_);
        record = trayIcon_;
    }
    // Not under the lock: the shell may take its time, and the record is a copy.
    return platform::NotifyIcon(action, record);
}

void CTrayDlg::AddIcon() {
    // An icon that is still there (the taskbar announced without having lost it) is kept, and still
    // removed at the end.
    iconAdded_ = NotifyIcon(NIM_ADD) || NotifyIcon(NIM_MODIFY);
    if (iconAdded_) {
        // Lost with the icon, so set at every add. A shell that refuses it keeps version 0, whose mouse
        // messages the notification handling reads just the same.
        NotifyIcon(NIM_SETVERSION);
    }
}

void CTrayDlg::AskStartupQuestion() {
    if (closing_ || !TakeFirstRunQuestion(context_.settings)) {
        return;
    }
    const std::string question = platform::LoadText(IDS_ASK_STARTUP);
    askingStartup_ = true;
    const int answer =
        ::MessageBoxA(nullptr, question.c_str(), context_.paths.appName.c_str(), MB_OKCANCEL | MB_ICONWARNING);
    askingStartup_ = false;
    if (closing_) {
        // The program was closed while the box was up (the tray menu works meanwhile): the box was
        // dismissed, not answered, so the question comes again at the next start.
        context_.settings.InitFlag.store(0);
        return;
    }
    if (AcceptStartupAnswer(context_.settings, answer == IDOK)) {
        UpdateStartupShortcut(context_.settings, context_.paths.exePath, context_.paths.appName);
    }
}

void CTrayDlg::DismissStartupQuestion() {
    if (!askingStartup_) {
        return;
    }
    // The box is a top-level dialog of this thread, without owner, captioned with the program's name,
    // and not this window.
    struct Search {
        const std::string* caption;
        HWND self;
        HWND box = nullptr;
    } search{&context_.paths.appName, Hwnd()};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            char className[16] = {};
            char caption[256] = {};
            ::GetClassNameA(hwnd, className, sizeof className);
            ::GetWindowTextA(hwnd, caption, sizeof caption);
            if (hwnd == s.self || std::strcmp(className, "#32770") != 0 || ::GetWindow(hwnd, GW_OWNER) != nullptr ||
                *s.caption != caption) {
                return TRUE;
            }
            s.box = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.box != nullptr) {
        ::PostMessageA(search.box, WM_COMMAND, IDCANCEL, 0);
    }
}

void CTrayDlg::ShowList() {
    listView_.ShowByUser();
}

void CTrayDlg::OnTrayNotify(WPARAM anchor, LPARAM event) {
    switch (trayInput_.OnEvent(LOWORD(event))) {
    case TrayAction::ShowList:
        ShowList();
        break;
    case TrayAction::MenuAtCursor: {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        TrackTrayMenu(cursor, false);
        break;
    }
    case TrayAction::MenuAtAnchor:
        TrackTrayMenu(POINT{GET_X_LPARAM(anchor), GET_Y_LPARAM(anchor)}, true);
        break;
    case TrayAction::NoticeClicked:
        OnNoticeClicked();
        break;
    case TrayAction::None:
        break;
    }
}

void CTrayDlg::TrackTrayMenu(POINT at, bool fromKeyboard) {
    win32::UniqueMenu menu(GF_CHECK_HANDLE(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY))));
    if (menu) {
        // The notifications that come while it is open are handled meanwhile, in its loop.
        TrackShortcutMenu(::GetSubMenu(menu.get(), 0), at, TPM_RIGHTBUTTON, Hwnd(), Hwnd());
    }
    trayInput_.MenuClosed();
    MSG command;
    if (fromKeyboard && iconAdded_ && !::PeekMessageA(&command, Hwnd(), WM_COMMAND, WM_COMMAND, PM_NOREMOVE)) {
        // Dismissed: the keyboard's focus goes back to the icon, where the user left it.
        NotifyIcon(NIM_SETFOCUS);
    }
}

void CTrayDlg::TellServerState(std::uint32_t code) {
    if (closing_) {
        return;
    }
    const std::string& computer = context_.list.computer;
    std::string text;
    if (computer.empty()) {
        text = platform::LoadText(code == 5 ? IDS_SERVER_ACCESS_DENIED : IDS_SERVER_ERROR);
    } else {
        // The table's text is used as text, never as a format: the name takes the place of its "%s".
        text = platform::FillTemplate(
            platform::LoadText(code == 5 ? IDS_REMOTE_ACCESS_DENIED : IDS_REMOTE_SERVER_ERROR), {"\\\\" + computer});
    }
    if (code != 5) {
        text += "(Error:" + std::to_string(code) + ")";
    }
    platform::ShowMessage(text, context_.paths.appName, platform::MessageIcon::Warning);
}

void CTrayDlg::ShowAboutFromSystemMenu() {
    CAboutDlg box;
    systemMenuAbout_ = &box;
    box.RunModal(Hwnd());
    systemMenuAbout_ = nullptr;
}

bool CTrayDlg::OnCommand(WORD id, WORD, HWND) {
    switch (id) {
    case ID_SHOW_LIST:
        ShowList();
        return true;
    case ID_VERSION_INFO:
        if (!aboutBox_.Exists()) {
            aboutBox_.RunModal(Hwnd());
        }
        return true;
    case ID_OPTION:
        RunOptionSheet();
        return true;
    case ID_SEND_MESSAGE:
        SendMessageToSelection();
        return true;
    case ID_SHOW_HELP:
        ShowHelp(context_.paths.exeDir, context_.paths.appName);
        return true;
    case ID_CLOSE_APP:
        CloseApplication();
        return true;
    case ID_LOG_OPEN:
        if (!logViewer_.Exists()) {
            logViewer_.RunModal(Hwnd());
        }
        return true;
    case ID_CHANGE_DETAILS:
    case ID_DISCONNECT:
    case ID_ADD_ACCEPTABLE:
    case ID_ADD_DENIED:
    case ID_OPEN_SHARED_FOLDER:
    case ID_CLOSE_FILE:
    case ID_NOTIFY_WHEN_CLOSED:
        // From the list window's context menu, which is tracked with this window as its owner.
        if (listView_.Exists()) {
            listView_.RunListCommand(id);
        }
        return true;
    default:
        // The log viewer's menus, tracked with this window as their owner.
        if (id == ID_LOG_REFRESH || id == ID_LOG_DELETE || id == ID_LOG_EXPORT_CSV || id == ID_LOG_SHOW_STRIP ||
            (id >= ID_LOG_COLUMN_FIRST && id <= ID_LOG_COLUMN_LAST)) {
            if (logViewer_.Exists()) {
                logViewer_.RunCommand(id);
            }
            return true;
        }
        return false;
    }
}

void CTrayDlg::RunOptionSheet() {
    if (!propSheet_.Exists() && !closing_) {
        propSheet_.RunModal(Hwnd());
    }
}

void CTrayDlg::SendMessageToSelection() {
    if (sendMsgDlg_.Exists() || closing_) {
        return;
    }
    const int mark = listView_.Exists() ? listView_.SelectionMark() : -1;
    const std::string recipient = mark >= 0 ? listView_.RowText(mark, 0) : std::string();
    std::string sender = context_.settings.MsgFrom.Get();
    if (sender.empty()) {
        // Each name in a buffer of its own, larger than the longest the system gives; the sender is
        // composed from both without a fixed-size buffer, so a long computer name comes out whole.
        char user[261] = {};
        DWORD userSize = sizeof user;
        if (!::GetUserNameA(user, &userSize)) {
            user[0] = '\0';
        }
        sender = OfferedSender(user, platform::ThisComputerName());
    }
    sendMsgDlg_.recipient = recipient;
    sendMsgDlg_.sender = sender;
    sendMsgDlg_.RunModal(Hwnd());
    context_.settings.MsgFrom.Set(sendMsgDlg_.sender);
}

void CTrayDlg::CloseApplication() {
    if (closing_) {
        return;
    }
    closing_ = true;
    // 1. No tick runs or is armed from here on.
    if (trayTick_) {
        trayTick_->Stop();
    }
    // 2. The member windows that may be open: each ends its own modal run.
    // The sheet closes as Cancel does: nothing of it is applied.
    if (propSheet_.Exists()) {
        ::PostMessageA(propSheet_.Hwnd(), WM_CLOSE, 0, 0);
    }
    // The viewer writes its deletions as at any close, but asks nothing when they fail.
    logViewer_.CloseQuietly();
    for (Dialog* member : {static_cast<Dialog*>(&aboutBox_), static_cast<Dialog*>(systemMenuAbout_),
                           static_cast<Dialog*>(&sendMsgDlg_), static_cast<Dialog*>(&logViewer_)}) {
        if (member != nullptr && member->Exists()) {
            // A system dialog that the member has open (the viewer's Save dialog) runs a loop of its own,
            // in which the member's close cannot end its run: it is cancelled first.
            CancelDialogsOwnedBy(member->Hwnd());
            ::PostMessageA(member->Hwnd(), WM_CLOSE, 0, 0);
        }
    }
    // 3. The engine: threads ended, timers killed, table released.
    listView_.StopWatch();
    watchStopped_ = true;
    // 4. The list window saves its layout when it closes.
    if (listView_.Exists()) {
        ::PostMessageA(listView_.Hwnd(), WM_CLOSE, 0, 0);
    }
    // 5. The icon goes at once, and so does a help window. The first-run question's box, if the
    // command came while it was up, would hold the modal run open: it goes too.
    ReleaseListAndIcon();
    CloseAllHelp();
    DismissStartupQuestion();
    platform::DismissMessagesOf(platform::CurrentThreadKey());
    // A menu still tracked on this thread (the command came from elsewhere) would hold the modal run
    // open; it goes too.
    ::EndMenu();
    // 6. This window's close ends the modal run once the messages above have been handled.
    ::PostMessageA(Hwnd(), WM_CLOSE, 0, 0);
}

void CTrayDlg::ReleaseListAndIcon() {
    listView_.ReleaseImageList();
    if (iconAdded_) {
        NotifyIcon(NIM_DELETE);
        iconAdded_ = false;
    }
}

void CTrayDlg::EndSession() {
    // The system ends the process once this message is answered: the messages that the close sequence
    // posts would never be handled and the exit routine would never run, so the list window's layout
    // and the settings (the first-run answer above all) are saved here.
    closing_ = true;
    if (trayTick_) {
        trayTick_->Stop();
    }
    if (!watchStopped_) {
        listView_.StopWatch();
        watchStopped_ = true;
    }
    if (listView_.Exists()) {
        listView_.HideAndSave();
    }
    // The viewer's deletions are written as at its close.
    if (logViewer_.Exists()) {
        logViewer_.SaveAtSessionEnd();
    }
    ReleaseListAndIcon();
    CloseAllHelp();
    if (context_.saveAtSessionEnd) {
        context_.saveAtSessionEnd();
    }
}

void CTrayDlg::OnClose() {
    // Only the close sequence ends the program: a close request from elsewhere (the system menu,
    // another program) would leave the engine and the tray tick running without a window.
    if (closing_) {
        EndModal(IDCANCEL);
    }
}

void CTrayDlg::OnOK() {
    // Enter does not end the program.
}

void CTrayDlg::OnCancel() {
    // Neither does Escape.
}

void CTrayDlg::OnDestroy() {
    if (trayTick_) {
        trayTick_->Stop();
    }
    if (!watchStopped_) {
        listView_.StopWatch();
        watchStopped_ = true;
    }
    ReleaseListAndIcon();
}

bool CTrayDlg::Paint() {
    if (!::IsIconic(Hwnd())) {
        return false;
    }
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(Hwnd(), &paint);
    ::SendMessageA(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    ::GetClientRect(Hwnd(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, mainIcon_);
    ::EndPaint(Hwnd(), &paint);
    return true;
}

bool CTrayDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == kTrayNotifyMessage) {
        OnTrayNotify(wParam, lParam);
        return false; // and on to the default processing
    }
    if (message == kAskStartupMessage) {
        AskStartupQuestion();
        result = 0;
        return true;
    }
    if (message == kServerStateMessage) {
        TellServerState(static_cast<std::uint32_t>(wParam));
        result = 0;
        return true;
    }
    if (message == kAfterStartMessage) {
        if (!closing_ && context_.afterStart) {
            // Taken out first: a box in it runs its own loop, and the work is done once.
            const std::function<void()> afterStart = std::move(context_.afterStart);
            context_.afterStart = nullptr;
            afterStart();
        }
        result = 0;
        return true;
    }
    if (taskbarCreated_ != 0 && message == taskbarCreated_) {
        // A restarted shell has forgotten the icon: add it again, or the program could no longer be
        // reached.
        if (!closing_) {
            AddIcon();
        }
        result = 0;
        return true;
    }
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            ShowAboutFromSystemMenu();
            result = 0;
            return true;
        }
        return false;
    case WM_PAINT:
        if (Paint()) {
            result = 0;
            return true;
        }
        return false;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(mainIcon_);
        return true;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            EndSession();
        }
        result = 0;
        return true;
    default:
        return false;
    }
}

} // namespace glimmerfen::ui
