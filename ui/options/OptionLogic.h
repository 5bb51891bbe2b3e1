// What the option pages decide without a window: how a typed number is corrected, which controls of
// "Disconnect Setting" are enabled, what each page shows for the settings, and what Apply stores and
// writes.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

// A number box's text read as a number: its leading decimal integer (after blanks, with a sign),
// 0 when there is none. Digits beyond the range of int saturate instead of overflowing.
int ReadNumber(std::string_view text);

// The number boxes of the pages, each with its own correction.
enum class NumberBox {
    PopupSeconds,    // "View Settings" 1015: 1 to 100, outside replaced by "1" or "100"
    DisconnectAfter, // "Disconnect Setting" 1021: clamped to 0..1000, written back in plain decimal
    LogDays,         // "Log Settings" 1023: below 0 becomes 0, no upper bound
    Interval,        // "Advanced" 1035 and 1038: 1 to 10000, outside replaced by "1" or "10000"
};

// The text that replaces `text` in the box, or nothing when it stands as typed.
std::optional<std::string> CorrectNumber(NumberBox box, std::string_view text);

// "Disconnect Setting": the state of the computer rule's controls after any click (and at creation),
// from the rule's check box (1016) and the "Acceptable PC" option (1028).
struct PcRuleEnabling {
    bool options = false;        // 1028 and 1029
    bool acceptableList = false; // 1019
    bool deniedList = false;     // 1024
    bool operator==(const PcRuleEnabling&) const = default;
};
PcRuleEnabling PcRuleEnablingFor(bool ruleTicked, bool acceptableTicked);

// The seven thread priorities of the "Advanced" page's lists, in list order.
struct PriorityEntry {
    const char* text;
    int value;
};
inline constexpr PriorityEntry kPriorities[] = {
    {"CRITICAL", 15},     {"HIGHEST", 2}, {"ABOVE_NORMAL", 1}, {"NORMAL", 0},
    {"BELOW_NORMAL", -1}, {"LOWEST", -2}, {"IDLE", -15},
};
inline constexpr int kNormalPriorityIndex = 3;
// The list index of a priority value, -1 when it is none of the seven.
int PriorityIndex(int value);

// What each page shows, one field per control; check boxes and options are 1 ticked, 0 not.
struct ViewPageValues {
    int startDlg = 0;      // 1010
    int topDlg = 0;        // 1012
    int dlgPopFlag = 0;    // 1011
    int closeChoice = -1;  // 0, 1 or 2 for 1032, 1033, 1034; -1 none ticked
    int dlgPopTime = 0;    // 1015
    int dlgPopChkOkPc = 0; // 1045, hidden
    int chkStartUp = 0;    // 1013
    // 1015 is enabled only for "Closes pop-up one after".
    bool PopupSecondsEnabled() const { return closeChoice == 1; }
};

struct DisconnectPageValues {
    int pcFlag = 0;             // 1016
    int acceptable = 0;         // 1028
    int denied = 0;             // 1029
    std::string acceptableList; // 1019
    std::string deniedList;     // 1024
    int fileFlag = 0;           // 1017
    std::string extensions;     // 1020
    int timerFlag = 0;          // 1018
    int timer = 0;              // 1021
};

struct LogPageValues {
    int logOut = 0;       // 1007; 1023, 1045 and 1044 are enabled exactly when it is ticked
    int logSetDays = 0;   // 1023
    int logChkDisMsg = 0; // 1045
    int logChkOkPc = 0;   // 1044, hidden
    int eventLog = 0;     // 1050, a destination of its own: not tied to 1007
};

struct AdvancedPageValues {
    int listPriority = -1;    // 1037, an index of kPriorities or -1
    int listInterval = 0;     // 1038
    int monitorPriority = -1; // 1034
    int monitorInterval = 0;  // 1035
    int momentary = 0;        // 1041, released at every opening
};

// The notices page: one box per kind of notice, 1 ticked.
struct NoticePageValues {
    int ruleCut = 1;
    int server = 1;
    int log = 1;
};

// What a page shows when its window is created.
ViewPageValues ViewPageFrom(const AppSettings& settings);
DisconnectPageValues DisconnectPageFrom(const AppSettings& settings);
LogPageValues LogPageFrom(const AppSettings& settings);
AdvancedPageValues AdvancedPageFrom(const AppSettings& settings);
NoticePageValues NoticePageFrom(const AppSettings& settings);
// "INITIAL": NORMAL in both lists, 20 and 1000 ms; "Momentary Set" as it stands.
AdvancedPageValues AdvancedInitial(const AdvancedPageValues& shown);

// The pages Apply reads: only those whose window exists.
struct OptionPages {
    std::optional<ViewPageValues> view;
    std::optional<DisconnectPageValues> disconnect;
    std::optional<LogPageValues> log;
    std::optional<AdvancedPageValues> advanced;
    std::optional<NoticePageValues> notices;
};

// The side effects that cannot wait for the next use of a setting.
struct ApplyEffects {
    std::function<void()> updateStartupShortcut; // ChkStartUp already holds its new value
    std::function<void()> applyTopmost;
    std::function<void()> applyPriorities; // ThreadLevel1 and ThreadLevel2 already hold their new values
    std::function<void()> eventLogTicked;  // EventLog went from 0 to 1, the INI file already written
};

// Apply: stores the pages' values into the settings in page order (running the start-up shortcut's
// update when the box changed and the list window's topmost state after "View Settings"), sets
// IntermitCheck from "Momentary Set" (0 without the "Advanced" page), then writes section "Setting"
// and the event log's key of section "Network".
// The three list texts are published whole, so a poll reading them sees the old or the new text.
void ApplyOptionPages(AppSettings& settings, const OptionPages& pages, const ApplyEffects& effects,
                      const std::string& iniPath);

} // namespace glimmerfen::ui
