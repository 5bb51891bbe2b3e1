// What the tray tick decides without a window: the first-run question, which picture the tray shows
// and for how many ticks, and the tooltip text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "monitor/pipe/ServiceView.h"
#include "platform/timer.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

// The tray icon's notify message (WM_USER + 100). The icon speaks version 4 of the shell's protocol: the
// event comes in the low word of the second parameter (the icon's id in the high word), the point the
// event belongs to (the pointer, or the icon for the keyboard) in the first.
inline constexpr unsigned kTrayNotifyMessage = 1124;
// Tooltip buffer of the notify-icon record, terminator included: the full record that version 4 needs
// holds 128 characters, not the 64 of its first version.
inline constexpr std::size_t kTipCapacity = 128;
inline constexpr const char* kStartTip = "Glimmerfen";
inline constexpr const char* kIdleTip = "Glimmerfen Checker";

// "Glimmerfen Checker - %dhit" with the hit count, cut to what the tooltip buffer holds.
std::string HitTip(int entryCount);

// A tooltip text as the notify-icon record can hold it: at most kTipCapacity - 1 bytes, cut before a
// double-byte character of the ANSI code page that would not fit whole.
std::string FitTip(const std::string& text);

// A tooltip text that names the watched computer: for this computer (an empty name) the text as it is;
// else the text followed by " - \\\\" and the name, the text cut (never the name, unless the name alone
// is too long) so that the whole fits the tooltip buffer.
std::string WatchedTip(const std::string& text, const std::string& computer);

// WatchedTip with a second line (empty: none) below it. The second line is kept whole, then the name;
// the text is cut first, each only before a character that would not fit whole.
std::string WatchedTipWithNote(const std::string& text, const std::string& computer, const std::string& note);

// One picture of the animation and the ticks it stays after the one that chose it.
struct AnimationFrame {
    int iconId = 0;
    int countdown = 0;
    bool operator==(const AnimationFrame&) const = default;
};

// The picture for a drawn number, by its last decimal digit: 0-3 the application icon for four
// ticks, 4-7 the second picture for four ticks, 8 the third and 9 the fourth for one tick each.
AnimationFrame FrameForNumber(int drawn);

// What one tick does to the tray icon.
struct TrayTickResult {
    bool modify = false; // change icon and tooltip (NIM_MODIFY)
    int iconId = 0;
    std::string tip;
};

// The animation state of the tray tick. Not thread-safe: one tick at a time.
class TrayAnimation {
public:
    // Ticks that the current picture still stays; -1 before the first picture.
    int Countdown() const { return animCountdown_; }

    // One tick that found entryCount entries in the table. With entries the countdown runs down and
    // a new picture is chosen (calling draw() once for a number from 0 to 32767) when it falls below
    // 0; without entries the idle icon and tooltip are set again and the countdown is left as it is.
    TrayTickResult Tick(int entryCount, const std::function<int()>& draw);

private:
    int animCountdown_ = -1;
};

// The events of the notify message, with the values the system gives them.
namespace tray_event {
inline constexpr unsigned kContextMenu = 0x007B; // the menu key or Shift+F10; after a right click too
inline constexpr unsigned kMouseMove = 0x0200;
inline constexpr unsigned kLeftDown = 0x0201;
inline constexpr unsigned kLeftUp = 0x0202;
inline constexpr unsigned kLeftDoubleClick = 0x0203;
inline constexpr unsigned kRightDown = 0x0204;
inline constexpr unsigned kRightUp = 0x0205;
inline constexpr unsigned kRightDoubleClick = 0x0206;
inline constexpr unsigned kSelect = 0x0400;      // a left click, or a key that selects the icon
inline constexpr unsigned kKeySelect = 0x0401;   // Enter or Space on the icon
inline constexpr unsigned kNoticeClick = 0x0405; // the user clicked the icon's notice
} // namespace tray_event

enum class TrayAction {
    None,
    ShowList,
    MenuAtCursor,  // the tray menu where the mouse pointer is
    MenuAtAnchor,  // the tray menu at the point the notification carries (the icon, for the keyboard)
    NoticeClicked, // the list, with the row the notice is about selected
};

// What each notification of the tray icon does. The mouse works as it always has: a double click shows
// the list and pressing the right button opens the menu at the pointer; nothing else does anything. The
// keyboard reaches the same through the notifications that the shell sends for it: a select (Enter,
// Space) shows the list, the menu key opens the menu at the icon. The notifications that the shell sends
// after a mouse click (a select after a left click, a menu request after a right click) are recognised
// by the click before them and do nothing more, and no second menu opens while one is open.
class TrayNotifyRouter {
public:
    TrayAction OnEvent(unsigned event);
    // The menu that an action opened has gone.
    void MenuClosed() { menuOpen_ = false; }

private:
    bool leftClick_ = false;  // a left click whose select is still to come
    bool rightClick_ = false; // a right click whose menu request is still to come
    bool menuOpen_ = false;
};

// The tooltip while the server's enumerations fail with this code: access denied (5) asks to run the
// program as administrator; any other code is named.
std::string ServerStateTip(std::uint32_t code);

// The tooltip's text for the service's link (0: the link is fine, or there is no service).
unsigned ServiceTipId(std::optional<pipe::ServiceLink> link);

// Puts the server's state over what the animation decided: while the enumerations fail (code not 0)
// the tooltip says so (with the picture the animation last chose); once they succeed again the
// animation's own tooltip comes back at once. While log lines wait for a log file held by another
// program, a second line of the tooltip says how many.
class ServerTipState {
public:
    // computer: the watched computer, named in every tooltip (WatchedTip); empty for this computer.
    explicit ServerTipState(std::string computer = std::string()) : computer_(std::move(computer)) {}

    // serviceTipId: the text of the service's state while this tray is the window of a service that
    // does not run or answer (ServiceTipId), 0 otherwise; it is shown as a failing server's is.
    TrayTickResult Apply(TrayTickResult tick, std::uint32_t code, std::size_t waitingLines = 0,
                         unsigned serviceTipId = 0);

private:
    std::string computer_;
    int lastIcon_ = 0;
    std::string lastTip_;
    std::uint64_t shown_ = 0;      // the code (or 1 << 32 | the service's text) whose tooltip is up, 0: none
    std::size_t shownWaiting_ = 0; // the waiting lines the tooltip tells of
};

// The first-run question about the start-up shortcut. True exactly once per InitFlag of 0: the flag is
// set to 1 before the question is asked, so it is never asked twice, not even by ticks that overlap.
bool TakeFirstRunQuestion(AppSettings& settings);

// The answer to it: OK sets ChkStartUp to 1 and asks for the shortcut (true); Cancel changes nothing.
bool AcceptStartupAnswer(AppSettings& settings, bool ok);

} // namespace glimmerfen::ui
