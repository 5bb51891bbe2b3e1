// The two monitors that keep the engine going: the "Access Monitor Thread" polls the server every
// CycleTime1 milliseconds, the "List Indication Thread" refreshes the list window every CycleTime2
// milliseconds. Each is a worker thread that arms the first one-shot timer of its chain and then only
// applies its priority setting and watches its run flag; each expiry does the work and arms the next
// timer, so runs never overlap and the period counts from the end of a run.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

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
    // threads waited for, then every expiry handler that is still running waited for, then the table
    // released. Meant for the user-interface thread, never for an expiry handler: while it waits it
    // keeps answering the messages that a running list refresh sends to it. After Stop no poll and no
    // refresh starts any more. The AccessMonitor must outlive this object.
    void Stop();

    int MonitorRunning() const { return monitorRunning.load(); }
    int ListRunning() const { return listRunning.load(); }
    platform::TimerId MonitorTimerId() const { return monitorTimerId.load(); }
    platform::TimerId ListTimerId() const { return listTimerId.load(); }
    unsigned TimerResolution() const { return timerResolution; }
    // The worker threads, once they have begun (0 before).
    platform::ThreadKey MonitorThreadKey() const { return monitorChain_.workerKey.load(); }
    platform::ThreadKey ListThreadKey() const { return listChain_.workerKey.load(); }

private:
    // What differs between the two monitors.
    struct Chain {
        MonitorThreads* owner;
        std::thread& thread;
        std::atomic<int>& running;
        std::atomic<platform::TimerId>& timerId;
        std::atomic<int>& period;
        std::atomic<int>& level;
        void (MonitorThreads::*work)();
        std::uintptr_t token = 0; // the timers' context; see OnExpiry
        std::atomic<platform::ThreadKey> workerKey{0};
    };

    static void OnExpiry(platform::TimerId id, void* context);
    void Worker(Chain& chain);
    void Expire(Chain& chain, platform::TimerId id);
    // Arms the chain's next timer and records its identifier. Under armMutex_.
    bool Arm(Chain& chain);
    void Poll();
    void RefreshList();

    AppSettings& settings_;
    AccessMonitor& monitor_;
    std::function<void()> listRefresh_;
    const unsigned timerResolution;

    std::thread monitorThread;
    std::atomic<int> monitorRunning{0};
    std::atomic<platform::TimerId> monitorTimerId{0};
    std::thread listThread;
    std::atomic<int> listRunning{0};
    std::atomic<platform::TimerId> listTimerId{0};

    Chain monitorChain_;
    Chain listChain_;

    // Arming a timer and recording its identifier happen under this lock, and an expiry compares its
    // identifier under it too, so even a timer that expires at once finds its identifier recorded.
    // Stop clears the run flags and kills the timers under it, so no chain is re-armed behind it.
    std::mutex armMutex_;
    bool stopping_ = false; // under armMutex_: workers that begin after Stop arm nothing
    // Taken by both expiry handlers around their work: a poll and a list refresh never overlap.
    std::mutex workMutex_;
    // Expiry handlers between their entry and their last step.
    std::atomic<int> handlersRunning_{0};
    bool started_ = false;
    bool stopped_ = false;
};

} // namespace glimmerfen
