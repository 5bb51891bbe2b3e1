// A chain of one-shot timers: each expiry runs the work and then arms the next timer with the period
// as it is at that moment, so runs never overlap and the period counts from the end of a run. The
// monitor threads' poll and list refresh and the tray tick each run on one. A chain whose work only
// hands the job to another thread is re-armed by that thread when the job is done (ArmNext), so that
// there too the period counts from the end of the job.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/timer.h"

namespace glimmerfen {

class TimerChain {
public:
    enum class Rearm {
        AfterWork, // the expiry arms the next timer once the work has returned
        ByCaller,  // nothing is armed after the work; ArmNext does it
    };
    // periodMs is read at every arming; a period that is not positive cannot be armed and ends the
    // chain, like any other failed arming, without a report.
    TimerChain(std::function<void()> work, const std::atomic<int>& periodMs, unsigned resolutionMs,
               Rearm rearm = Rearm::AfterWork);
    // Stops the chain.
    ~TimerChain();
    TimerChain(const TimerChain&) = delete;
    TimerChain& operator=(const TimerChain&) = delete;

    // Arms the first timer. False when it could not be armed, or when the chain was started or halted
    // before: then no work will ever run. Even a timer that expires before this returns runs its work.
    bool Start();

    // With Rearm::ByCaller, from any thread: arms the next timer with the period as it is now, unless
    // one is pending or the chain was never started or has been halted. False when nothing was armed.
    bool ArmNext();

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

    // The pending timer, 0 when none (before Start, after Halt, during a run, after a failed arming,
    // and with Rearm::ByCaller from an expiry until ArmNext).
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
    const Rearm rearm_;
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
