// What the tray tick decides without a window: the first-run question, which picture the tray shows
// and for how many ticks, and the tooltip text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/timer.h"

namespace glimmerfen {
struct AppSettings;
}

namespace glimmerfen::ui {

// The tray icon's notify message (WM_USER + 100); the mouse message comes in its second parameter.
inline constexpr unsigned kTrayNotifyMessage = 1124;
// Tooltip buffer of the notify-icon record, terminator included.
inline constexpr std::size_t kTipCapacity = 64;
inline constexpr const char* kStartTip = "Glimmerfen";
inline constexpr const char* kIdleTip = "Glimmerfen Checker";

// "Glimmerfen Checker - %dhit" with the hit count, cut to what the tooltip buffer holds.
std::string HitTip(int entryCount);

// A tooltip text as the notify-icon record can hold it: at most kTipCapacity - 1 bytes, cut before a
// double-byte character of the ANSI code page that would not fit whole.
std::string FitTip(const std::string& text);

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

// The tooltip while the server's enumerations fail with this code: access denied (5) asks to run the
// program as administrator; any other code is named.
std::string ServerStateTip(std::uint32_t code);

// Puts the server's state over what the animation decided: while the enumerations fail (code not 0)
// the tooltip says so (with the picture the animation last chose); once they succeed again the
// animation's own tooltip comes back at once. While log lines wait for a log file held by another
// program, a second line of the tooltip says how many.
class ServerTipState {
public:
    TrayTickResult Apply(TrayTickResult tick, std::uint32_t code, std::size_t waitingLines = 0);

private:
    int lastIcon_ = 0;
    std::string lastTip_;
    std::uint32_t shown_ = 0;      // the code whose tooltip is up, 0 for none
    std::size_t shownWaiting_ = 0; // the waiting lines the tooltip tells of
};

// The first-run question about the start-up shortcut. True exactly once per InitFlag of 0: the flag is
// set to 1 before the question is asked, so it is never asked twice, not even by ticks that overlap.
bool TakeFirstRunQuestion(AppSettings& settings);

// The answer to it: OK sets ChkStartUp to 1 and asks for the shortcut (true); Cancel changes nothing.
bool AcceptStartupAnswer(AppSettings& settings, bool ok);

} // namespace glimmerfen::ui
