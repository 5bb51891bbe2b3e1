// The hidden main window (dialog 102): owns the tray icon, runs the tray tick, receives the commands of
// every menu of the program and holds the program's other windows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "monitor/TimerChain.h"
#include "settings/Paths.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/dialogs/SendMsgDlg.h"
#include "ui/framework/Dialog.h"
#include "ui/list/ListViewDlg.h"
#include "ui/logview/LogViewerDlg.h"
#include "ui/options/PropSheet.h"
#include "ui/tray/NoticeLogic.h"
#include "ui/tray/TrayLogic.h"

namespace glimmerfen::ui {

// What the main window uses: the settings (the tray tick's period, the first-run answer), where the
// program's files lie, the resolution of the timers, the list window's own context (with the watch it
// shows) and what to run when the session ends.
struct TrayContext {
    AppSettings& settings;
    ProgramPaths paths;
    unsigned timerResolution = 1;
    ListViewContext list;
    // The exit routine's saving, run at once at the end of the session: the system ends the process
    // as soon as the main window has answered, so the exit routine never runs then.
    std::function<void()> saveAtSessionEnd;
    // Run once on the window's thread after the engine has started (posted from the window's start, so
    // the list window is up first), unless the program is closing by then; may be empty.
    std::function<void()> afterStart = nullptr;
};

class CTrayDlg : public Dialog {
public:
    explicit CTrayDlg(TrayContext context);
    ~CTrayDlg() override;

    // Shows the access list window with a taskbar button, as opened by the user.
    void ShowList();

    // "Close Application": stops the tick, closes the open member windows, stops the engine, closes
    // the list window, removes the tray icon and closes this window, which ends its modal run. The
    // program ends only through here.
    void CloseApplication();

    // The registered message that the shell broadcasts when the taskbar has been (re)created.
    UINT TaskbarCreatedMessage() const { return taskbarCreated_; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnClose() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void TrayTick();
    void OnTrayNotify(WPARAM anchor, LPARAM event);
    void TrackTrayMenu(POINT at, bool fromKeyboard);
    // Adds the icon (once more, after the taskbar was created anew) and sets its version.
    void AddIcon();
    void AskStartupQuestion();
    // Dismisses the first-run question's box, so that its loop returns and the modal run can end.
    void DismissStartupQuestion();
    void ShowAboutFromSystemMenu();
    // The message for a server's enumerations failing with this code, shown once per code and run.
    void TellServerState(std::uint32_t code);
    // "Option settting": the sheet, when it is not open.
    void RunOptionSheet();
    // "Send message to this PC": the dialog for the row at the list's selection mark, when it is not
    // open; MsgFrom takes the sender back however the dialog ended.
    void SendMessageToSelection();
    bool Paint();
    // Shell_NotifyIconA with a copy of the icon record taken under its lock.
    bool NotifyIcon(DWORD action);
    void SetIcon(int iconId, const std::string& tip);
    // The notices the tick gathered that are due now, each shown as the icon's notice.
    void ShowDueNotices(const WatchState& watch);
    void ShowNotice(const Notice& notice);
    // A click on the last notice: the list, with the row of the client a rule cut selected.
    void OnNoticeClicked();
    void ReleaseListAndIcon();
    // WM_ENDSESSION: the close sequence and the saving of the settings, done at once.
    void EndSession();
    HICON TrayIcon(int iconId) const;

    TrayContext context_;
    NOTIFYICONDATAA trayIcon_{}; // under iconMutex_ once the tick runs
    std::mutex iconMutex_;
    CListViewDlg listView_;
    CAboutDlg aboutBox_;
    CLogViewerDlg logViewer_;
    CPropSheet propSheet_;
    CSendMsgDlg sendMsgDlg_;
    // The version box of the system menu, a box of its own while it is open.
    CAboutDlg* systemMenuAbout_ = nullptr;
    TrayNotifyRouter trayInput_;
    TrayAnimation animation_; // its countdown is animCountdown
    // The tray tick's own (one tick at a time): the server's state over the tooltip, and the failure
    // codes already told.
    ServerTipState serverTip_;
    std::set<std::uint32_t> reportedCodes_;
    NoticeBoard notices_; // the tray tick's own
    // The client and user of the last notice when it told of one rule cut; under iconMutex_.
    std::optional<RuleCut> noticeCut_;
    std::unique_ptr<TimerChain> trayTick_;
    HICON mainIcon_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool iconAdded_ = false;
    bool closing_ = false;
    // True while the first-run question's box is up (its own modal loop runs on this thread).
    bool askingStartup_ = false;
    bool watchStopped_ = false;
    // Set by the tick that posts the first-run question, so that later ticks do not post it again
    // while it waits on the window's thread.
    std::atomic<bool> startupQuestionPosted_{false};
};

} // namespace glimmerfen::ui
