#include "ui/tray/TrayLogic.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

#include "settings/Settings.h"
#include "res/resource.h"

namespace glimmerfen::ui {

std::string HitTip(int entryCount) {
    char tip[kTipCapacity];
    std::snprintf(tip, sizeof tip, "Glimmerfen Checker - %dhit", entryCount);
    return tip;
}

AnimationFrame FrameForNumber(int drawn) {
    // The last digit of the number written in decimal: a minus sign does not change it.
    int digit = drawn % 10;
    if (digit < 0) {
        digit = -digit;
    }
    if (digit <= 3) {
        return {IDI_MAIN, 3};
    }
    if (digit <= 7) {
        return {IDI_ANIM1, 3};
    }
    if (digit == 8) {
        return {IDI_ANIM2, 0};
    }
    return {IDI_ANIM3, 0};
}

TrayTickResult TrayAnimation::Tick(int entryCount, const std::function<int()>& draw) {
    TrayTickResult result;
    if (entryCount > 0) {
        --animCountdown_;
        if (animCountdown_ < 0) {
            const AnimationFrame frame = FrameForNumber(draw());
            animCountdown_ = frame.countdown;
            result.modify = true;
            result.iconId = frame.iconId;
            result.tip = HitTip(entryCount);
        }
        return result;
    }
    result.modify = true;
    result.iconId = IDI_IDLE;
    result.tip = kIdleTip;
    return result;
}

bool TakeFirstRunQuestion(AppSettings& settings) {
    int expected = 0;
    return settings.InitFlag.compare_exchange_strong(expected, 1);
}

bool AcceptStartupAnswer(AppSettings& settings, bool ok) {
    if (!ok) {
        return false;
    }
    settings.ChkStartUp.store(1);
    return true;
}

namespace {

// A timer's context names its chain by a number that is never used twice, not by its address: an
// expiry may reach the handler after Stop has returned and the chain is gone. The handler looks the
// number up here and, while still under this lock, counts its tick as running, which Stop waits for.
// The same lock guards each chain's timer identifier and stop flag, so arming a timer and recording
// its identifier look like one step to the handler, however soon the timer expires.
struct LiveChains {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, TickChain*> chains;
    std::uintptr_t lastToken = 0;
};

// Never destroyed: a late expiry may look here while the process exits.
LiveChains& Live() {
    static LiveChains* live = new LiveChains;
    return *live;
}

} // namespace

TickChain::TickChain(std::function<void()> tick, const std::atomic<int>& periodMs, unsigned resolutionMs)
    : tick_(std::move(tick)), periodMs_(periodMs), resolutionMs_(resolutionMs) {}

TickChain::~TickChain() {
    Stop();
}

bool TickChain::Start() {
    LiveChains& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    if (started_ || stopping_) {
        return false;
    }
    started_ = true;
    token_ = ++live.lastToken;
    live.chains.emplace(token_, this);
    ArmLocked();
    return timerId_ != 0;
}

void TickChain::ArmLocked() {
    const int period = periodMs_.load();
    timerId_ = period > 0 ? platform::SetOneShotTimer(static_cast<unsigned>(period), resolutionMs_,
                                                      &TickChain::OnExpiry, reinterpret_cast<void*>(token_))
                          : 0;
}

void TickChain::Stop() {
    platform::TimerId pending = 0;
    {
        LiveChains& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        live.chains.erase(token_);
        pending = std::exchange(timerId_, 0);
    }
    if (pending != 0) {
        platform::KillTimer(pending);
    }
    platform::WaitServingSentMessages([this] { return ticksRunning_.load() == 0; });
}

platform::TimerId TickChain::TimerId() const {
    std::lock_guard<std::mutex> lock(Live().mutex);
    return timerId_;
}

bool TickChain::Stopped() const {
    std::lock_guard<std::mutex> lock(Live().mutex);
    return stopping_;
}

void TickChain::OnExpiry(platform::TimerId id, void* context) {
    TickChain* self = nullptr;
    {
        LiveChains& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        const auto found = live.chains.find(reinterpret_cast<std::uintptr_t>(context));
        if (found == live.chains.end()) {
            return;
        }
        self = found->second;
        // A call for any other timer than the pending one does nothing and arms nothing.
        if (self->stopping_ || id != self->timerId_) {
            return;
        }
        self->timerId_ = 0;
        self->ticksRunning_.fetch_add(1);
    }
    self->Expire(id);
    // The last touch of the object: once the count is 0, Stop may return and the object may go.
    self->ticksRunning_.fetch_sub(1);
}

void TickChain::Expire(platform::TimerId) {
    tick_();
    std::lock_guard<std::mutex> lock(Live().mutex);
    if (!stopping_) {
        ArmLocked();
    }
}

} // namespace glimmerfen::ui
