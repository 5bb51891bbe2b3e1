// The settings record and its INI file section "Setting".
#pragma once

#include <atomic>
#include <string>

#include "settings/SharedText.h"

namespace glimmerfen {

// One field per key of section "Setting", named like the key. The integers are read by the timer
// threads while the user-interface thread changes them, so each is an atomic word.
struct AppSettings {
    std::atomic<int> InitFlag{0};
    std::atomic<int> LogOut{0};
    std::atomic<int> LogSetDays{0};
    std::atomic<int> LogChkOkPc{0};
    std::atomic<int> LogChkDisMsg{0};
    std::atomic<int> ViewTime{0};
    std::atomic<int> StartDlg{0};
    std::atomic<int> TopDlg{0};
    std::atomic<int> DlgPopFlag{0};
    std::atomic<int> DlgPopCloseFlag{0};
    std::atomic<int> DlgPopTime{0};
    std::atomic<int> DlgPopChkOkPc{0};
    std::atomic<int> DisJuncPcFlag{0};
    std::atomic<int> DisJuncOkPcFlag{0};
    std::atomic<int> DisJuncNgPcFlag{0};
    SharedText DisJuncOkPcStr;
    SharedText DisJuncNgPcStr;
    std::atomic<int> DisJuncFileFlag{0};
    SharedText DisJuncFileStr;
    std::atomic<int> DisJuncTimerFlag{0};
    std::atomic<int> DisJuncTimer{0};
    std::atomic<int> ThreadLevel1{0};
    std::atomic<int> ThreadLevel2{0};
    std::atomic<int> CycleTime1{0};
    std::atomic<int> CycleTime2{0};
    std::atomic<int> CycleTime3{0};
    std::atomic<int> IntermitCheck{0};
    SharedText MsgFrom;
    std::atomic<int> ChkStartUp{0};

    // Section "Network", apart from "Setting" so that section stays as earlier versions wrote it.
    // 1 = what the log records also goes to the system's event log.
    std::atomic<int> EventLog{0};
    // The computer whose shared folders are watched; empty: this computer. Read at start-up only (the
    // program folder is that computer's record); no window edits it, so it is never written back.
    SharedText Computer;

    // Section "Notice": which notices the tray shows, 1 each (watched files always notify).
    std::atomic<int> NoticeRuleCut{1}; // a client disconnected by a rule
    std::atomic<int> NoticeServer{1};  // the server stops or starts answering
    std::atomic<int> NoticeLog{1};     // log lines wait for the log file, and were written
};

inline constexpr const char* kSettingSection = "Setting";
inline constexpr const char* kNetworkSection = "Network";
inline constexpr const char* kNoticeSection = "Notice";
inline constexpr const char* kIniFileName = "Glimmerfen.ini";

// Reads every key in table order with its default, then sections "Network" and "Notice".
void LoadSettings(AppSettings& settings, const std::string& iniPath);

// Writes the keys in the exit order; the four thread keys only while IntermitCheck is 0. CycleTime3
// and IntermitCheck are never written. Then EventLog into section "Network".
void SaveSettings(const AppSettings& settings, const std::string& iniPath);

// The option sheet's Apply: the same keys but MsgFrom, in the sheet's order (the pop-up close choice
// before its hidden check box, ChkStartUp before the four thread keys), under the same IntermitCheck
// rule, and EventLog and section "Notice" after them.
void SaveAppliedSettings(const AppSettings& settings, const std::string& iniPath);

} // namespace glimmerfen
