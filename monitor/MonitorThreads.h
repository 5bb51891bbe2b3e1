// The two monitors that keep the engine going: the "Access Monitor Thread" polls the server every
// CycleTime1 milliseconds, the "List Indication Thread" refreshes the list window every CycleTime2
// milliseconds. The refresh runs in the expiry of a chain of one-shot timers (TimerChain) on the timer
// service's one thread, the tray tick's too. The poll does not: a server call can take as long as a
// network timeout (a distant computer that does not answer), and the refresh and the tray tick on the
// same timer thread would wait with it. The Access Monitor Thread times its polls itself: it sleeps
// until one period after the end of the last poll, polls, and sleeps again, so polls never overlap,
// the period counts from the end of each poll however long it took (as it does for the refresh), and
// a poll costs one wake-up of one thread. Each worker gives itself its priority setting when
// ApplyPriorities wakes it; the List Indication Thread sleeps without a limit otherwise.
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

    // ThreadLevel1 or ThreadLevel2 changed: each worker thread takes its setting at once (a value that
    // is no priority leaves the thread as it was). Any thread may call it, also before Start.
    void ApplyPriorities();

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

    // Whether the Access Monitor Thread runs (1) or has ended or not begun (0).
    int MonitorRunning() const { return poll_.running.load(); }

private:
    // Looks at the run flags, the worker threads and the pending timer from the tests.
    friend struct MonitorThreadsTestPeer;

    // One monitor: its priority setting, its worker thread and run flag.
    struct Monitor {
        explicit Monitor(std::atomic<int>& level) : level(level) {}
        std::atomic<int>& level;
        std::thread thread;
        std::atomic<int> running{0}; // monitorRunning, listRunning
        std::atomic<platform::ThreadKey> workerKey{0};
        int applied = 0;         // the priority last given to the worker; its own
        unsigned priorities = 0; // under wakeMutex_: the prioritiesChanged_ it last looked at
    };

    void Worker(Monitor& monitor);
    // The Access Monitor Thread's polls, one period after another, until Stop or a period that is not
    // positive (which ends this monitor, as a timer that cannot be armed would).
    void PollLoop(std::unique_lock<std::mutex>& lock);
    // On a worker: gives its own thread its priority setting if it changed. Under wakeMutex_, whose
    // holder the lock is; it is let go for the system call.
    void TakePriority(Monitor& self, std::unique_lock<std::mutex>& lock);
    void Poll();
    void RefreshList();

    AppSettings& settings_;
    AccessMonitor& monitor_;
    std::function<void()> listRefresh_;

    Monitor poll_;
    Monitor list_;
    TimerChain listChain_;

    // The List Indication Thread waits on wake_, the Access Monitor Thread on pollWake_ (until its next
    // poll is due): for a priority change or Stop.
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::condition_variable pollWake_;
    unsigned prioritiesChanged_ = 0; // under wakeMutex_: counts the calls of ApplyPriorities
    bool stopping_ = false;          // under wakeMutex_; the run flags are cleared under it too
    std::atomic<bool> pollThreadEnded_{false};
    bool started_ = false;
    bool stopped_ = false;
    bool abandoned_ = false; // Stop left a poll running
};

} // namespace glimmerfen
