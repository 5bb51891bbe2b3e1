#include "monitor/MonitorThreads.h"

#include <chrono>
#include <utility>

#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"
#include "platform/fault.h"
#include "platform/notify.h"

namespace glimmerfen {

MonitorThreads::MonitorThreads(AppSettings& settings, AccessMonitor& monitor, unsigned timerResolution)
    : settings_(settings), monitor_(monitor), timerResolution_(timerResolution),
      poll_([this] { RequestPoll(); }, settings.CycleTime1, settings.ThreadLevel1, timerResolution,
            TimerChain::Rearm::ByCaller),
      list_([this] { RefreshList(); }, settings.CycleTime2, settings.ThreadLevel2, timerResolution,
            TimerChain::Rearm::AfterWork) {}

MonitorThreads::~MonitorThreads() {
    if (!Stop() && poll_.thread.joinable()) {
        // The poll that Stop left running uses this object until it ends.
        poll_.thread.join();
    }
}

void MonitorThreads::SetListRefresh(std::function<void()> refresh) {
    listRefresh_ = std::move(refresh);
}

void MonitorThreads::Start() {
    if (started_) {
        return;
    }
    started_ = true;
    poll_.thread = std::thread([this] {
        Worker(poll_);
        pollThreadEnded_ = true;
    });
    list_.thread = std::thread([this] { Worker(list_); });
}

bool MonitorThreads::Stop() {
    if (!started_ || stopped_) {
        return !abandoned_;
    }
    stopped_ = true;
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        stopping_ = true;
        poll_.running = 0;
        list_.running = 0;
    }
    wake_.notify_all();
    pollWake_.notify_all();
    poll_.chain.Halt();
    list_.chain.Halt();
    // The List Indication Thread never waits for this thread, so a plain join cannot hang; woken, it
    // ends at once.
    if (list_.thread.joinable()) {
        list_.thread.join();
    }
    // The Access Monitor Thread may be inside a server call that waits for a network timeout: it gets
    // a while, and its lost-line box is answered meanwhile.
    if (platform::WaitForThreadEnd(pollThreadEnded_, poll_.workerKey, std::chrono::steady_clock::now() + kPollGrace)) {
        poll_.thread.join();
    } else {
        abandoned_ = true;
    }
    // A handler that is still running may be a list refresh that sends messages to this thread and
    // waits for the answer: it is answered meanwhile.
    poll_.chain.WaitUntilIdle();
    list_.chain.WaitUntilIdle();
    // Under the table's lock: a poll left running finds no table when the server answers.
    monitor_.ReleaseTable();
    return !abandoned_;
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
        const bool armed = m.chain.Start();
        std::unique_lock<std::mutex> lock(wakeMutex_);
        if (&m == &poll_) {
            if (armed) {
                PollLoop(lock);
            }
            return;
        }
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

void MonitorThreads::PollLoop(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        pollWake_.wait(lock, [&] { return stopping_ || pollDue_; });
        if (stopping_) {
            return;
        }
        pollDue_ = false;
        polling_ = true;
        lock.unlock();
        Poll();
        lock.lock();
        polling_ = false;
        // The next period starts now. Armed once polling_ is clear, so that even a 1 ms expiry finds
        // this thread ready; without the lock, which the expiry takes. After Halt nothing is armed.
        lock.unlock();
        poll_.chain.ArmNext();
        lock.lock();
    }
}

void MonitorThreads::RequestPoll() {
    {
        // No timer is armed while a poll runs, so polling_ is clear here unless the monitor stops.
        std::lock_guard<std::mutex> lock(wakeMutex_);
        if (polling_ || stopping_) {
            return;
        }
        pollDue_ = true;
    }
    pollWake_.notify_one();
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
