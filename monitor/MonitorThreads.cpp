#include "monitor/MonitorThreads.h"

#include <unordered_map>
#include <utility>

#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"

namespace glimmerfen {

namespace {

// A timer's context names its chain by a number that is never used twice, not by its address. The
// timer service takes an expiry off its queue before it calls the handler, so a kill can come too late
// for an expiry that has not reached the handler yet; and by the time it does, Stop may have returned
// and the monitors may be gone. The handler looks the number up here: a chain that Stop has struck
// off is not found, and one that is found counts its handler as running before the lookup's lock is
// released, which Stop waits for.
struct LiveChains {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, void*> chains; // token -> MonitorThreads::Chain
    std::uintptr_t lastToken = 0;
};

// Never destroyed: a late expiry may look here while the process exits.
LiveChains& Live() {
    static LiveChains* live = new LiveChains;
    return *live;
}

} // namespace

MonitorThreads::MonitorThreads(AppSettings& settings, AccessMonitor& monitor, unsigned timerResolution)
    : settings_(settings), monitor_(monitor), timerResolution(timerResolution), monitorChain_{this,
                                                                                              monitorThread,
                                                                                              monitorRunning,
                                                                                              monitorTimerId,
                                                                                              settings.CycleTime1,
                                                                                              settings.ThreadLevel1,
                                                                                              &MonitorThreads::Poll},
      listChain_{this,
                 listThread,
                 listRunning,
                 listTimerId,
                 settings.CycleTime2,
                 settings.ThreadLevel2,
                 &MonitorThreads::RefreshList} {}

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
    {
        LiveChains& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        for (Chain* chain : {&monitorChain_, &listChain_}) {
            chain->token = ++live.lastToken;
            live.chains.emplace(chain->token, chain);
        }
    }
    monitorThread = std::thread([this] { Worker(monitorChain_); });
    listThread = std::thread([this] { Worker(listChain_); });
}

void MonitorThreads::Stop() {
    if (!started_ || stopped_) {
        return;
    }
    stopped_ = true;
    {
        std::lock_guard<std::mutex> lock(armMutex_);
        stopping_ = true;
        monitorRunning = 0;
        listRunning = 0;
        for (Chain* chain : {&monitorChain_, &listChain_}) {
            const platform::TimerId pending = chain->timerId.exchange(0);
            if (pending != 0) {
                platform::KillTimer(pending);
            }
        }
    }
    // The workers never wait for this thread, so a plain join cannot hang; each ends within about 10 ms.
    for (std::thread* worker : {&monitorThread, &listThread}) {
        if (worker->joinable()) {
            worker->join();
        }
    }
    {
        LiveChains& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        live.chains.erase(monitorChain_.token);
        live.chains.erase(listChain_.token);
    }
    // A handler that is still running may be a list refresh that sends messages to this thread and
    // waits for the answer: keep answering them, or both threads would wait for each other forever.
    platform::WaitServingSentMessages([this] { return handlersRunning_.load() == 0; });
    monitor_.ReleaseTable();
}

void MonitorThreads::Worker(Chain& chain) {
    chain.workerKey = platform::CurrentThreadKey();
    // The thread begins with its monitor's priority, as if it had been created with it.
    int applied = chain.level.load();
    platform::SetCurrentThreadPriority(applied);
    {
        std::lock_guard<std::mutex> lock(armMutex_);
        if (stopping_) {
            return;
        }
        chain.running = 1;
        // A timer that cannot be armed ends this monitor for good, without a report.
        if (!Arm(chain)) {
            return;
        }
    }
    for (;;) {
        platform::SleepMilliseconds(10);
        const int level = chain.level.load();
        if (level != applied) {
            // Remembered even when refused, so that a value that is no priority is not retried forever.
            platform::SetCurrentThreadPriority(level);
            applied = level;
        }
        if (chain.running.load() == 0) {
            return;
        }
    }
}

bool MonitorThreads::Arm(Chain& chain) {
    // A period that is not positive cannot be armed (as 0 or as a huge unsigned delay), which ends the
    // chain like any other failed arming.
    const platform::TimerId id =
        platform::SetOneShotTimer(static_cast<unsigned>(chain.period.load()), timerResolution,
                                  &MonitorThreads::OnExpiry, reinterpret_cast<void*>(chain.token));
    chain.timerId = id;
    return id != 0;
}

void MonitorThreads::OnExpiry(platform::TimerId id, void* context) {
    Chain* chain = nullptr;
    MonitorThreads* self = nullptr;
    {
        LiveChains& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        const auto found = live.chains.find(reinterpret_cast<std::uintptr_t>(context));
        if (found == live.chains.end()) {
            return;
        }
        chain = static_cast<Chain*>(found->second);
        self = chain->owner;
        self->handlersRunning_.fetch_add(1);
    }
    self->Expire(*chain, id);
    // The last touch of the object: once the count is 0, Stop may return and the object may go.
    self->handlersRunning_.fetch_sub(1);
}

void MonitorThreads::Expire(Chain& chain, platform::TimerId id) {
    {
        std::lock_guard<std::mutex> lock(armMutex_);
        if (id != chain.timerId.load()) {
            return;
        }
    }
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        (this->*chain.work)();
    }
    std::lock_guard<std::mutex> lock(armMutex_);
    if (chain.running.load() == 1) {
        Arm(chain);
    }
}

void MonitorThreads::Poll() {
    monitor_.Poll();
}

void MonitorThreads::RefreshList() {
    if (listRefresh_) {
        listRefresh_();
    }
}

} // namespace glimmerfen
