#include "monitor/MonitorThreads.h"

#include <chrono>
#include <utility>

#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"
#include "platform/fault.h"

namespace glimmerfen {

MonitorThreads::MonitorThreads(AppSettings& settings, AccessMonitor& monitor, unsigned timerResolution)
    : settings_(settings), monitor_(monitor), timerResolution_(timerResolution),
      poll_([this] { Poll(); }, settings.CycleTime1, settings.ThreadLevel1, timerResolution),
      list_([this] { RefreshList(); }, settings.CycleTime2, settings.ThreadLevel2, timerResolution) {}

MonitorThreads::~MonitorThreads() {
    Stop();
}

void MonitorThreads::SetListRefresh(std::function<void()> refresh) {
    listRefresh_ = std::move(refresh);
}

void MonitorThreads::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    poll_.thread = std::thread([this] { Worker(poll_); });
    list_.thread = std::thread([this] { Worker(list_); });
}

void MonitorThreads::Stop() {
    if (!started_ || stopped_) {
        return;
    }
    stopped_ = true;
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopping_ = true;
        poll_.running = 0;
        list_.running = 0;
    }
    wake_.notify_all();
    poll_.chain.Halt();
    list_.chain.Halt();
    // The workers never wait for this thread, so a plain join cannot hang; woken, they end at once.
    for (Monitor* m : {&poll_, &list_}) {
        if (m->thread.joinable()) {
            m->thread.join();
        }
    }
    // A handler that is still running may be a list refresh that sends messages to this thread and
    // waits for the answer, or a poll whose lost-line box is up: both are answered meanwhile.
    poll_.chain.WaitUntilIdle();
    list_.chain.WaitUntilIdle();
    monitor_.ReleaseTable();
}

void MonitorThreads::Worker(Monitor& m) {
    platform::ContainFault("a monitor thread", [&] {
        // The thread begins with its monitor's priority, as if it had been created with it. What it
        // applied is published before its key, so that a watcher on the other thread starts from it.
        const int initial = m.level.load();
        platform::SetCurrentThreadPriority(initial);
        m.applied = initial;
        m.workerKey = platform::CurrentThreadKey();
        {
            std::lock_guard<std::mutex> lock(wakeMutex_);
            if (stopping_) {
                return;
            }
            m.running = 1;
        }
        // A timer that cannot be armed ends this monitor for good, without a report. After Stop has
        // begun nothing is armed.
        if (!m.chain.Start()) {
            return;
        }
        std::unique_lock<std::mutex> lock(wakeMutex_);
        if (watching_) {
            // The other worker watches both priority settings; this one only waits for Stop.
            wake_.wait(lock, [&] { return stopping_; });
            return;
        }
        watching_ = true;
        for (;;) {
            // About every 10 ms, as the priority settings promise; at once when Stop wakes it.
            wake_.wait_for(lock, std::chrono::milliseconds(10), [&] { return stopping_; });
            ApplyPriority(poll_, m);
            ApplyPriority(list_, m);
            if (m.running.load() == 0) {
                return;
            }
        }
    });
}

void MonitorThreads::ApplyPriority(Monitor& target, Monitor& self) {
    const platform::ThreadKey key = target.workerKey.load();
    const int level = target.level.load();
    if (key == 0 || level == target.applied.load()) {
        return;
    }
    if (&target == &self) {
        platform::SetCurrentThreadPriority(level);
    } else {
        platform::SetThreadPriorityOf(key, level); // fails harmlessly for a worker that has ended
    }
    // Remembered even when refused, so that a value that is no priority is not retried.
    target.applied = level;
}

void MonitorThreads::Poll() {
    // The report waits for the user's answer with no lock held; the next poll is armed only after it.
    // A monitor that is being stopped does not raise a box that Stop would only end at once.
    if (monitor_.PollQuietly() && poll_.running.load() == 1) {
        monitor_.ReportLostLines();
    }
}

void MonitorThreads::RefreshList() {
    if (listRefresh_) {
        listRefresh_();
    }
}

} // namespace glimmerfen
