// The two monitors that keep the engine going: the "Access Monitor Thread" polls the server every
// CycleTime1 milliseconds, the "List Indication Thread" refreshes the list window every CycleTime2
// milliseconds. Each runs a chain of one-shot timers (TimerChain) on the timer service's one thread,
// the tray tick's too. The refresh runs in its timer's expiry. The poll does not: a server call can
// take as long as a network timeout (a distant computer that does not answer), and the refresh and the
// tray tick on the same timer thread would wait with it. The poll's expiry only wakes the Access
// Monitor Thread, which polls and then arms the next timer itself: polls never overlap, and the
// period counts from the end of each poll however long it took, as it does for the refresh. The List
// Indication Thread keeps both priority settings applied, looking about every 10 ms.
//
// No lock is held around the work. The poll changes the access table and the refresh reads a
// snapshot of it, each under the table's own lock, so neither can see the other half done. A lock
// around the refresh would be held while it sends messages to the list window, and one around the
// poll while it waits for the server or its lost-line box is up.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "monitor/TimerChain.h"
#include "platform/timer.h"

namespace glimmerfen {

struct AppSettings;
class AccessMonitor;

class MonitorThreads {
public:
    // timerResolution: the timer device's smallest period, the resolution of every timer armed here.
    MonitorThreads(AppSettings& settings, AccessMonitor& monitor, unsigned timerResolution);
    // Stops the monitors if they were started and not stopped yet.
    ~MonitorThreads();
    MonitorThreads(const MonitorThreads&) = delete;
    MonitorThreads& operator=(const MonitorThreads&) = delete;

    // The work of the List Indication Thread's timer. Set it before Start; without one the chain runs
    // and does nothing. It may send messages to the user-interface thread and wait for the answer.
    void SetListRefresh(std::function<void()> refresh);

    // Creates both worker threads, with the priorities ThreadLevel1 and ThreadLevel2. Once only.
    void Start();

    // Ends both monitors and releases the access table: run flags 0, pending timers killed, worker
    // threads woken and waited for, then every expiry handler that is still running waited for, then
    // the table released. Meant for the user-interface thread, never for an expiry handler: while it
    // waits it keeps answering the messages that a running list refresh sends to it, and it ends the
    // lost-line box of a running poll as if it had been answered. After Stop no poll and no refresh
    // starts any more. The AccessMonitor must outlive this object.
    //
    // A poll still waiting for the server after kPollGrace is left to finish on its own: Stop then
    // returns false, and this object, the AccessMonitor and what it uses (its log, its settings) must
    // stay alive until the process ends, for the server may answer at any time. The poll finds the
    // table released and ends without touching anything else of the monitor's. Destroying this object
    // then waits for that poll.
    bool Stop();
    static constexpr std::chrono::milliseconds kPollGrace{1500};

    int MonitorRunning() const { return poll_.running.load(); }
    int ListRunning() const { return list_.running.load(); }
    platform::TimerId MonitorTimerId() const { return poll_.chain.TimerId(); }
    platform::TimerId ListTimerId() const { return list_.chain.TimerId(); }
    unsigned TimerResolution() const { return timerResolution_; }
    // The worker threads, once they have begun (0 before).
    platform::ThreadKey MonitorThreadKey() const { return poll_.workerKey.load(); }
    platform::ThreadKey ListThreadKey() const { return list_.workerKey.load(); }

private:
    // One monitor: its priority setting, its chain, its worker thread and run flag.
    struct Monitor {
        Monitor(std::function<void()> work, std::atomic<int>& period, std::atomic<int>& level, unsigned resolution,
                TimerChain::Rearm rearm)
            : level(level), chain(std::move(work), period, resolution, rearm) {}
        std::atomic<int>& level;
        TimerChain chain;
        std::thread thread;
        std::atomic<int> running{0}; // monitorRunning, listRunning
        std::atomic<platform::ThreadKey> workerKey{0};
        std::atomic<int> applied{0}; // the priority last applied to the worker, set before workerKey
    };

    void Worker(Monitor& monitor);
    // The Access Monitor Thread once its chain runs: a poll each time the chain's expiry asks for one.
    void PollLoop(std::unique_lock<std::mutex>& lock);
    // The poll chain's expiry: wakes the Access Monitor Thread unless it is still polling.
    void RequestPoll();
    // On the watching worker (self): gives target's worker its priority setting if it changed.
    void ApplyPriority(Monitor& target, Monitor& self);
    void Poll();
    void RefreshList();

    AppSettings& settings_;
    AccessMonitor& monitor_;
    std::function<void()> listRefresh_;
    const unsigned timerResolution_;

    Monitor poll_;
    Monitor list_;

    // The workers wait on wake_ between their looks at the settings, so that Stop ends them at once.
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::condition_variable pollWake_;
    bool stopping_ = false; // under wakeMutex_; the run flags are cleared under it too
    bool pollDue_ = false;  // under wakeMutex_: an expiry asked for a poll
    bool polling_ = false;  // under wakeMutex_: the Access Monitor Thread is polling
    std::atomic<bool> pollThreadEnded_{false};
    bool started_ = false;
    bool stopped_ = false;
    bool abandoned_ = false; // Stop left a poll running
};

} // namespace glimmerfen
