#include "monitor/MonitorThreads.h"

#include <chrono>
#include <utility>

#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"
#include "platform/fault.h"
#include "platform/notify.h"

namespace glimmerfen {

MonitorThreads::MonitorThreads(AppSettings& settings, AccessMonitor& monitor, unsigned timerResolution)
    : settings_(settings), monitor_(monitor), poll_(settings.ThreadLevel1), list_(settings.ThreadLevel2),
      listChain_([this] { RefreshList(); }, settings.CycleTime2, timerResolution) {}

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
    listChain_.Halt();
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
    listChain_.WaitUntilIdle();
    // Under the table's lock: a poll left running finds no table when the server answers.
    monitor_.ReleaseTable();
    return !abandoned_;
}

void MonitorThreads::Worker(Monitor& m) {
    platform::ContainFault("a monitor thread", [&] {
        // The thread begins with its monitor's priority, as if it had been created with it.
        m.applied = m.level.load();
        platform::SetCurrentThreadPriority(m.applied);
        m.workerKey = platform::CurrentThreadKey();
        std::unique_lock<std::mutex> lock(wakeMutex_);
        if (stopping_) {
            return;
        }
        if (&m == &poll_) {
            PollLoop(lock);
            return;
        }
        m.running = 1;
        // A timer that cannot be armed ends the refresh for good, without a report; this thread then
        // only keeps its priority until Stop. After Stop has begun nothing is armed.
        lock.unlock();
        listChain_.Start();
        lock.lock();
        for (;;) {
            TakePriority(m, lock);
            wake_.wait(lock, [&] { return stopping_ || m.priorities != prioritiesChanged_; });
            if (stopping_) {
                return;
            }
        }
    });
}

void MonitorThreads::ApplyPriorities() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        ++prioritiesChanged_;
    }
    wake_.notify_all();
    pollWake_.notify_all();
}

void MonitorThreads::TakePriority(Monitor& self, std::unique_lock<std::mutex>& lock) {
    self.priorities = prioritiesChanged_;
    const int level = self.level.load();
    if (level == self.applied) {
        return;
    }
    // Remembered even when refused, so that a value that is no priority is not retried.
    self.applied = level;
    lock.unlock();
    platform::SetCurrentThreadPriority(level);
    lock.lock();
}

void MonitorThreads::PollLoop(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        // The period as it is now: a change reaches the next wait, not the one under way.
        const int period = settings_.CycleTime1.load();
        if (period <= 0) {
            return;
        }
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(period);
        // Running from the first period on, as a monitor whose first timer was armed.
        poll_.running = 1;
        for (;;) {
            TakePriority(poll_, lock);
            if (!pollWake_.wait_until(lock, due, [&] { return stopping_ || poll_.priorities != prioritiesChanged_; })) {
                break; // due
            }
            if (stopping_) {
                return;
            }
        }
        lock.unlock();
        Poll();
        lock.lock();
        if (stopping_) {
            return;
        }
    }
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
