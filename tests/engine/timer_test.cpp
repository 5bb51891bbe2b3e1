// The timer layer's contract, the same on both platform layers: one-shot timers that fire once, one
// at a time and in due order; kills that keep a callback from starting; thread priorities; and the
// wait that keeps answering sent messages.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/timer.h"
#include "threading.h"
#ifdef _WIN32
#include <map>

#include "platform/win32/timer_testing.h"
#endif

namespace glimmerfen {
namespace {

using namespace std::chrono_literals;
using platform::TimerId;
using test::Eventually;

unsigned Resolution() {
    return platform::TimerResolution().value_or(1);
}

// What the callbacks of one test saw, in order.
struct Expiries {
    std::mutex mutex;
    std::vector<std::pair<TimerId, int>> seen; // identifier, tag
    std::vector<platform::ThreadKey> threads;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::chrono::milliseconds busyFor{0};

    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return seen.size();
    }
};

struct Tagged {
    Expiries* log;
    int tag;
};

void Record(TimerId id, void* context) {
    auto* tagged = static_cast<Tagged*>(context);
    Expiries& log = *tagged->log;
    if (log.inside.fetch_add(1) != 0) {
        ++log.overlaps;
    }
    std::this_thread::sleep_for(log.busyFor);
    log.inside.fetch_sub(1);
    // The last touch: a test may end as soon as it sees this expiry.
    std::lock_guard<std::mutex> lock(log.mutex);
    log.seen.emplace_back(id, tagged->tag);
    log.threads.push_back(platform::CurrentThreadKey());
}

TEST(OneShotTimer, FiresOnceWithItsIdentifierAndContext) {
    Expiries log;
    Tagged tagged{&log, 7};
    const TimerId id = platform::SetOneShotTimer(1, Resolution(), &Record, &tagged);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(Eventually([&] { return log.Count() == 1; }));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(log.Count(), 1u) << "a one-shot timer fired again";
    EXPECT_EQ(log.seen[0], std::make_pair(id, 7));
    EXPECT_NE(log.threads[0], platform::CurrentThreadKey());
    EXPECT_FALSE(platform::KillTimer(id)) << "an expired timer is no longer pending";
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
}

TEST(OneShotTimer, CallbacksRunOneAtATimeInDueOrderOnOneThread) {
    Expiries log;
    log.busyFor = 80ms; // longer than the gaps, so that each next timer falls due while one runs
    std::vector<Tagged> tags;
    for (int tag = 0; tag < 5; ++tag) {
        tags.push_back({&log, tag});
    }
    // Armed latest first; they fall due 50 ms apart.
    std::vector<TimerId> ids;
    for (int tag = 4; tag >= 0; --tag) {
        ids.push_back(platform::SetOneShotTimer(100 + 50 * static_cast<unsigned>(tag), Resolution(), &Record,
                                                &tags[static_cast<std::size_t>(tag)]));
        ASSERT_NE(ids.back(), 0u);
    }
    ASSERT_TRUE(Eventually([&] { return log.Count() == 5; }));
    EXPECT_EQ(log.overlaps.load(), 0);
    for (int tag = 0; tag < 5; ++tag) {
        EXPECT_EQ(log.seen[static_cast<std::size_t>(tag)].second, tag);
        EXPECT_EQ(log.threads[static_cast<std::size_t>(tag)], log.threads[0]);
    }
    for (std::size_t i = 0; i < ids.size(); ++i) {
        for (std::size_t j = i + 1; j < ids.size(); ++j) {
            EXPECT_NE(ids[i], ids[j]);
        }
    }
}

TEST(OneShotTimer, KilledTimerNeverFires) {
    Expiries log;
    Tagged tagged{&log, 1};
    const std::size_t before = platform::PendingTimerCount();
    const TimerId id = platform::SetOneShotTimer(150, Resolution(), &Record, &tagged);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(platform::PendingTimerCount(), before + 1);
    EXPECT_TRUE(platform::KillTimer(id));
    EXPECT_EQ(platform::PendingTimerCount(), before);
    EXPECT_FALSE(platform::KillTimer(id)) << "killed twice";
    EXPECT_FALSE(platform::KillTimer(0));
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(log.Count(), 0u);
}

#ifdef _WIN32
// A timer device that numbers its timers as Windows does, and Wine does not: the smallest number not
// in use, free again as soon as the timer has expired. Built on the real device.
class ReusingTimerDevice {
public:
    ReusingTimerDevice() { platform::SetTimerDeviceForTesting(&Set, &Kill); }
    ~ReusingTimerDevice() { platform::SetTimerDeviceForTesting(nullptr, nullptr); }
    ReusingTimerDevice(const ReusingTimerDevice&) = delete;
    ReusingTimerDevice& operator=(const ReusingTimerDevice&) = delete;

private:
    struct Timer {
        UINT real = 0;
        LPTIMECALLBACK callback = nullptr;
        DWORD_PTR user = 0;
    };
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::map<UINT, Timer>& Timers() {
        static std::map<UINT, Timer> timers;
        return timers;
    }
    static void CALLBACK Expire(UINT, UINT, DWORD_PTR number, DWORD_PTR, DWORD_PTR) {
        Timer timer;
        {
            std::lock_guard<std::mutex> lock(Mutex());
            const auto found = Timers().find(static_cast<UINT>(number));
            if (found == Timers().end()) {
                return;
            }
            timer = found->second;
            Timers().erase(found);
        }
        timer.callback(static_cast<UINT>(number), 0, timer.user, 0, 0);
    }
    static MMRESULT WINAPI Set(UINT delayMs, UINT resolutionMs, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
        UINT number = 1;
        {
            std::lock_guard<std::mutex> lock(Mutex());
            while (Timers().count(number) != 0) {
                ++number;
            }
            Timers()[number] = Timer{0, callback, user};
        }
        const UINT real = timeSetEvent(delayMs, resolutionMs, &Expire, number, flags);
        std::lock_guard<std::mutex> lock(Mutex());
        const auto found = Timers().find(number);
        if (real == 0) {
            if (found != Timers().end()) {
                Timers().erase(found);
            }
            return 0;
        }
        if (found != Timers().end()) {
            found->second.real = real;
        }
        return number;
    }
    static MMRESULT WINAPI Kill(UINT number) {
        std::lock_guard<std::mutex> lock(Mutex());
        const auto found = Timers().find(number);
        if (found == Timers().end()) {
            return MMSYSERR_INVALPARAM;
        }
        timeKillEvent(found->second.real);
        Timers().erase(found);
        return TIMERR_NOERROR;
    }
};
#endif

TEST(OneShotTimer, AKeptIdentifierOfASpentTimerNeverKillsANewerOne) {
    // Regression: timers were found by the system's identifier, which Windows hands out again as soon
    // as a timer has expired; a kill through an identifier kept from a spent timer cancelled whichever
    // new timer had been given the same number, and that chain stopped for good.
#ifdef _WIN32
    ReusingTimerDevice reusing;
#endif
    Expiries log;
    std::vector<Tagged> tags;
    for (int tag = 0; tag < 20; ++tag) {
        tags.push_back({&log, tag});
    }
    std::vector<TimerId> spent;
    std::size_t fired = 0;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        const TimerId old = platform::SetOneShotTimer(1, Resolution(), &Record, &tags[2 * round]);
        ASSERT_NE(old, 0u);
        ASSERT_TRUE(Eventually([&] { return log.Count() == fired + 1; }));
        ++fired;
        spent.push_back(old);
        const TimerId fresh = platform::SetOneShotTimer(200, Resolution(), &Record, &tags[2 * round + 1]);
        ASSERT_NE(fresh, 0u);
        for (const TimerId kept : spent) {
            EXPECT_NE(kept, fresh) << "an identifier was given twice";
            EXPECT_FALSE(platform::KillTimer(kept)) << "a spent timer counted as killed";
        }
        ASSERT_TRUE(Eventually([&] { return log.Count() == fired + 1; })) << "the new timer was killed";
        ++fired;
        spent.push_back(fresh);
    }
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
}

// The callback holds the service until the test lets it go.
struct Held {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    bool finished = false;
};

void Hold(TimerId, void* context) {
    auto* held = static_cast<Held*>(context);
    std::unique_lock<std::mutex> lock(held->mutex);
    held->entered = true;
    held->changed.notify_all();
    held->changed.wait_for(lock, 10s, [&] { return held->released; });
    held->finished = true;
}

TEST(OneShotTimer, KillOfARunningCallbackLetsItFinish) {
    Held held;
    const TimerId id = platform::SetOneShotTimer(1, Resolution(), &Hold, &held);
    ASSERT_NE(id, 0u);
    {
        std::unique_lock<std::mutex> lock(held.mutex);
        ASSERT_TRUE(held.changed.wait_for(lock, 10s, [&] { return held.entered; }));
    }
    EXPECT_FALSE(platform::KillTimer(id)) << "the callback has already started";
    // A timer armed while the service is busy waits for it, and still fires.
    Expiries log;
    Tagged tagged{&log, 2};
    ASSERT_NE(platform::SetOneShotTimer(1, Resolution(), &Record, &tagged), 0u);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(log.Count(), 0u) << "a callback ran beside another";
    {
        std::lock_guard<std::mutex> lock(held.mutex);
        held.released = true;
        held.changed.notify_all();
    }
    ASSERT_TRUE(Eventually([&] { return log.Count() == 1; }));
    std::lock_guard<std::mutex> lock(held.mutex);
    EXPECT_TRUE(held.finished);
}

// A chain of timers, each armed by the previous callback, which also arms and kills a decoy.
struct Chain {
    std::atomic<int> remaining{20};
    std::mutex mutex;
    std::vector<TimerId> fired;
    std::atomic<int> decoysKilled{0};
};

void Decoy(TimerId, void*) {
    ADD_FAILURE() << "a killed decoy fired";
}

void Link(TimerId id, void* context) {
    auto* chain = static_cast<Chain*>(context);
    const TimerId decoy = platform::SetOneShotTimer(1000, Resolution(), &Decoy, nullptr);
    if (decoy != 0 && platform::KillTimer(decoy)) {
        ++chain->decoysKilled;
    }
    if (chain->remaining.fetch_sub(1) > 1) {
        platform::SetOneShotTimer(1, Resolution(), &Link, chain);
    }
    std::lock_guard<std::mutex> lock(chain->mutex);
    chain->fired.push_back(id);
}

TEST(OneShotTimer, CallbackMayArmAndKillTimers) {
    Chain chain;
    ASSERT_NE(platform::SetOneShotTimer(1, Resolution(), &Link, &chain), 0u);
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(chain.mutex);
        return chain.fired.size() == 20;
    }));
    std::this_thread::sleep_for(50ms);
    std::lock_guard<std::mutex> lock(chain.mutex);
    EXPECT_EQ(chain.fired.size(), 20u) << "the chain went on";
    EXPECT_EQ(chain.decoysKilled.load(), 20);
    for (std::size_t i = 1; i < chain.fired.size(); ++i) {
        EXPECT_NE(chain.fired[i], chain.fired[i - 1]);
    }
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
}

TEST(OneShotTimer, RefusesWhatCannotBeArmed) {
    Expiries log;
    Tagged tagged{&log, 0};
    EXPECT_EQ(platform::SetOneShotTimer(0, Resolution(), &Record, &tagged), 0u);
    EXPECT_EQ(platform::SetOneShotTimer(10, Resolution(), nullptr, &tagged), 0u);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
}

TEST(TimerDevice, ReportsItsResolutionAndAcceptsThatPeriod) {
    const std::optional<unsigned> resolution = platform::TimerResolution();
    ASSERT_TRUE(resolution.has_value());
    EXPECT_GE(*resolution, 1u);
    EXPECT_TRUE(platform::BeginTimerPeriod(*resolution));
    platform::EndTimerPeriod(*resolution);
}

// Sets a level on a thread of its own and reads it back from that thread and from this one.
struct PriorityProbe {
    bool accepted = false;
    std::optional<int> seenInside;
    std::optional<int> seenOutside;
};

PriorityProbe ProbeLevels(const std::vector<int>& levels) {
    PriorityProbe probe;
    std::mutex mutex;
    std::condition_variable changed;
    platform::ThreadKey key = 0;
    bool set = false;
    bool read = false;
    std::thread worker([&] {
        bool accepted = true;
        for (int level : levels) {
            accepted = platform::SetCurrentThreadPriority(level);
        }
        std::unique_lock<std::mutex> lock(mutex);
        probe.accepted = accepted;
        probe.seenInside = platform::ThreadPriority(platform::CurrentThreadKey());
        key = platform::CurrentThreadKey();
        set = true;
        changed.notify_all();
        changed.wait(lock, [&] { return read; });
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return set; });
        probe.seenOutside = platform::ThreadPriority(key);
        read = true;
        changed.notify_all();
    }
    worker.join();
    return probe;
}

TEST(ThreadPriority, EachLevelAppliesToTheCallingThreadOnly) {
    const std::optional<int> mine = platform::ThreadPriority(platform::CurrentThreadKey());
    ASSERT_TRUE(mine.has_value());
    for (int level : {15, 2, 1, 0, -1, -2, -15}) {
        SCOPED_TRACE(level);
        const PriorityProbe probe = ProbeLevels({level});
        EXPECT_TRUE(probe.accepted);
        EXPECT_EQ(probe.seenInside, level);
        EXPECT_EQ(probe.seenOutside, level);
    }
    EXPECT_EQ(platform::ThreadPriority(platform::CurrentThreadKey()), mine);
}

TEST(ThreadPriority, ValuesThatAreNoPriorityAreRefused) {
    for (int wrong : {3, -3, 14, -14, 16, 100, 0x10000}) {
        SCOPED_TRACE(wrong);
        const PriorityProbe probe = ProbeLevels({-1, wrong});
        EXPECT_FALSE(probe.accepted);
        EXPECT_EQ(probe.seenInside, -1) << "a refused value changed the thread";
    }
}

TEST(ThreadPriority, AnotherRunningThreadCanBeGivenALevel) {
    std::mutex mutex;
    std::condition_variable changed;
    platform::ThreadKey key = 0;
    bool finish = false;
    std::thread other([&] {
        std::unique_lock<std::mutex> lock(mutex);
        key = platform::CurrentThreadKey();
        platform::SetCurrentThreadPriority(0);
        changed.notify_all();
        changed.wait(lock, [&] { return finish; });
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return key != 0; });
    }
    EXPECT_TRUE(platform::SetThreadPriorityOf(key, -2));
    EXPECT_EQ(platform::ThreadPriority(key), -2);
    EXPECT_FALSE(platform::SetThreadPriorityOf(key, 3)) << "3 is no priority";
    EXPECT_EQ(platform::ThreadPriority(key), -2);
    {
        std::lock_guard<std::mutex> lock(mutex);
        finish = true;
        changed.notify_all();
    }
    other.join();
    EXPECT_FALSE(platform::SetThreadPriorityOf(key, 1)) << "the thread has ended";
}

TEST(SentMessageWait, AnswersSentRequestsUntilDone) {
    test::UiThreadLink ui;
    ASSERT_TRUE(ui.Ready());
    const platform::ThreadKey uiThread = platform::CurrentThreadKey();
    std::atomic<bool> done{false};
    std::atomic<int> answered{0};
    std::atomic<bool> onUiThread{true};
    std::thread sender([&] {
        for (int i = 0; i < 5; ++i) {
            const bool sent = ui.Send(
                [&] {
                    ++answered;
                    onUiThread = onUiThread && platform::CurrentThreadKey() == uiThread;
                },
                5s);
            if (!sent) {
                break;
            }
        }
        done = true;
    });
    platform::WaitServingSentMessages([&] { return done.load(); });
    sender.join();
    EXPECT_EQ(answered.load(), 5);
    EXPECT_TRUE(onUiThread.load());
}

} // namespace
} // namespace glimmerfen
