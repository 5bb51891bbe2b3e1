#include "monitor/TimerChain.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/fault.h"
#include "platform/notify.h"

namespace glimmerfen {

namespace {

// A timer's context names its chain by a number that is never used twice, not by its address: the
// timer service takes an expiry off its queue before it calls the handler, so a kill can come too
// late for an expiry that has not reached the handler yet, and by then the chain may be gone. The
// handler looks the number up here and, still under this lock, counts its work as running, which
// WaitUntilIdle waits for. The same lock guards each chain's timer identifier and flags, so arming a
// timer and recording its identifier look like one step to the handler, however soon it expires.
struct LiveChains {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, TimerChain*> chains;
    std::uintptr_t lastToken = 0;
};

// Never destroyed: a late expiry may look here while the process exits.
LiveChains& Live() {
    static LiveChains* live = new LiveChains;
    return *live;
}

// Counts a work as running for its whole run, however it ends.
class RunningScope {
public:
    explicit RunningScope(std::atomic<int>& running) : running_(running) {}
    ~RunningScope() { running_.fetch_sub(1); }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

private:
    std::atomic<int>& running_;
};

} // namespace

TimerChain::TimerChain(std::function<void()> work, const std::atomic<int>& periodMs, unsigned resolutionMs)
    : work_(std::move(work)), periodMs_(periodMs), resolutionMs_(resolutionMs) {}

TimerChain::~TimerChain() {
    Stop();
}

bool TimerChain::Start() {
    LiveChains& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    if (started_ || halted_) {
        return false;
    }
    started_ = true;
    token_ = ++live.lastToken;
    live.chains.emplace(token_, this);
    ArmLocked();
    return timerId_ != 0;
}

void TimerChain::ArmLocked() {
    const int period = periodMs_.load();
    timerId_ = period > 0 ? platform::SetOneShotTimer(static_cast<unsigned>(period), resolutionMs_,
                                                      &TimerChain::OnExpiry, reinterpret_cast<void*>(token_))
                          : 0;
}

void TimerChain::Stop() {
    Halt();
    WaitUntilIdle();
}

void TimerChain::Halt() {
    platform::TimerId pending = 0;
    {
        LiveChains& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        if (halted_) {
            return;
        }
        halted_ = true;
        live.chains.erase(token_);
        pending = std::exchange(timerId_, 0);
    }
    if (pending != 0) {
        platform::KillTimer(pending);
    }
}

void TimerChain::WaitUntilIdle() {
    platform::WaitServingSentMessages([this] {
        if (running_.load() == 0) {
            return true;
        }
        const platform::ThreadKey on = runningOn_.load();
        if (on != 0) {
            platform::DismissMessagesOf(on);
        }
        return false;
    });
}

platform::TimerId TimerChain::TimerId() const {
    std::lock_guard<std::mutex> lock(Live().mutex);
    return timerId_;
}

bool TimerChain::Halted() const {
    std::lock_guard<std::mutex> lock(Live().mutex);
    return halted_;
}

void TimerChain::OnExpiry(platform::TimerId id, void* context) {
    platform::ContainFault("a timer chain", [&] {
        TimerChain* self = nullptr;
        {
            LiveChains& live = Live();
            std::lock_guard<std::mutex> lock(live.mutex);
            const auto found = live.chains.find(reinterpret_cast<std::uintptr_t>(context));
            if (found == live.chains.end()) {
                return;
            }
            self = found->second;
            // An expiry of any other timer than the pending one does nothing and arms nothing.
            if (self->halted_ || id != self->timerId_) {
                return;
            }
            self->timerId_ = 0;
            self->running_.fetch_add(1);
            self->runningOn_ = platform::CurrentThreadKey();
        }
        // Lowered last, also when the work throws: once it is 0 the chain may be gone.
        RunningScope running(self->running_);
        self->Run();
    });
}

void TimerChain::Run() {
    work_();
    std::lock_guard<std::mutex> lock(Live().mutex);
    if (!halted_) {
        ArmLocked();
    }
}

} // namespace glimmerfen
