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

// The first-run question about the start-up shortcut. True exactly once per InitFlag of 0: the flag is
// set to 1 before the question is asked, so it is never asked twice, not even by ticks that overlap.
bool TakeFirstRunQuestion(AppSettings& settings);

// The answer to it: OK sets ChkStartUp to 1 and asks for the shortcut (true); Cancel changes nothing.
bool AcceptStartupAnswer(AppSettings& settings, bool ok);

// The tray tick's timer: a chain of one-shot timers, each armed with the current period once the tick
// before it has returned, so ticks never overlap and the period counts from the end of a tick. Stop
// makes sure that no tick runs or is armed any more once it returns, even when it comes while a tick is
// running (it waits for that tick) or while an expiry is on its way to the handler.
class TickChain {
public:
    // periodMs is read at every arming; a period that is not positive cannot be armed and ends the chain.
    TickChain(std::function<void()> tick, const std::atomic<int>& periodMs, unsigned resolutionMs);
    ~TickChain();
    TickChain(const TickChain&) = delete;
    TickChain& operator=(const TickChain&) = delete;

    // Arms the first tick. False when it could not be armed: no tick will ever run. Once only.
    bool Start();

    // Ends the chain: the pending timer is killed and a running tick is waited for. Meant for the
    // user-interface thread, never for the tick itself; while it waits it answers the messages that
    // other threads send to this thread, so a tick that sends one cannot hold it up for ever.
    void Stop();

    // The pending timer, 0 when none (before Start, after Stop, or after a failed arming).
    platform::TimerId TimerId() const;
    bool Stopped() const;

private:
    static void OnExpiry(platform::TimerId id, void* context);
    void Expire(platform::TimerId id);
    // Under the registry's lock.
    void ArmLocked();

    std::function<void()> tick_;
    const std::atomic<int>& periodMs_;
    const unsigned resolutionMs_;
    std::uintptr_t token_ = 0;
    // Guarded by the registry's lock (see TrayLogic.cpp).
    platform::TimerId timerId_ = 0;
    bool started_ = false;
    bool stopping_ = false;
    std::atomic<int> ticksRunning_{0};
};

} // namespace glimmerfen::ui
