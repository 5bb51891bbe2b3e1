// A chain of one-shot timers: each expiry runs the work and then arms the next timer with the period
// as it is at that moment, so runs never overlap and the period counts from the end of a run. The
// list refresh and the tray tick each run on one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/timer.h"

namespace glimmerfen {

class TimerChain {
public:
    // periodMs is read at every arming; a period that is not positive cannot be armed and ends the
    // chain, like any other failed arming, without a report.
    TimerChain(std::function<void()> work, const std::atomic<int>& periodMs, unsigned resolutionMs);
    // Stops the chain.
    ~TimerChain();
    TimerChain(const TimerChain&) = delete;
    TimerChain& operator=(const TimerChain&) = delete;

    // Arms the first timer. False when it could not be armed, or when the chain was started or halted
    // before: then no work will ever run. Even a timer that expires before this returns runs its work.
    bool Start();

    // Halt, then WaitUntilIdle.
    void Stop();
    // No timer is armed any more from here on: the pending one is killed, and a running work is not
    // followed by another. Returns at once.
    void Halt();
    // Waits until no work of this chain is running; once it returns, none will run again after Halt.
    // Meant for the user-interface thread, never for the work itself: meanwhile it answers the
    // messages that other threads send to this thread, so a work that sends one cannot hold it up, and
    // it ends a message box that the running work shows (it could be hidden behind other windows and
    // the close would seem to hang).
    void WaitUntilIdle();

    // The pending timer, 0 when none (before Start, after Halt, during a run, after a failed arming).
    platform::TimerId TimerId() const;
    bool Halted() const;

private:
    static void OnExpiry(platform::TimerId id, void* context);
    void Run();
    // Under the register's lock (TimerChain.cpp).
    void ArmLocked();

    std::function<void()> work_;
    const std::atomic<int>& periodMs_;
    const unsigned resolutionMs_;
    // Guarded by the register's lock.
    std::uintptr_t token_ = 0;
    platform::TimerId timerId_ = 0;
    bool started_ = false;
    bool halted_ = false;
    // Works between their entry and their last touch of this object, and the thread they run on.
    std::atomic<int> running_{0};
    std::atomic<platform::ThreadKey> runningOn_{0};
};

} // namespace glimmerfen
