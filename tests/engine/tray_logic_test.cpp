// The tray tick's decisions: pictures, how long each stays, tooltips, and the first-run question.
#include "ui/tray/TrayLogic.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <memory>
#include <mutex>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "engine/threading.h"
#include "res/resource.h"

namespace glimmerfen::ui {
namespace {

struct FrameCase {
    int drawn;
    AnimationFrame frame;
};

TEST(TrayFrame, LastDecimalDigitPicksPictureAndCountdown) {
    const FrameCase cases[] = {
        {0, {IDI_MAIN, 3}},    {1, {IDI_MAIN, 3}},      {2, {IDI_MAIN, 3}},    {13, {IDI_MAIN, 3}},
        {4, {IDI_ANIM1, 3}},   {25, {IDI_ANIM1, 3}},    {106, {IDI_ANIM1, 3}}, {32767, {IDI_ANIM1, 3}},
        {8, {IDI_ANIM2, 0}},   {32758, {IDI_ANIM2, 0}}, {9, {IDI_ANIM3, 0}},   {12349, {IDI_ANIM3, 0}},
        {-18, {IDI_ANIM2, 0}}, {-5, {IDI_ANIM1, 3}},
    };
    for (const FrameCase& c : cases) {
        EXPECT_EQ(FrameForNumber(c.drawn), c.frame) << "drawn " << c.drawn;
    }
}

TEST(TrayTip, HitCountFillsThePattern) {
    EXPECT_EQ(HitTip(3), "Glimmerfen Checker - 3hit");
    EXPECT_EQ(HitTip(1), "Glimmerfen Checker - 1hit");
    EXPECT_EQ(HitTip(INT_MAX), "Glimmerfen Checker - 2147483647hit");
    EXPECT_LT(HitTip(INT_MIN).size(), kTipCapacity);
}

// Hands out the numbers of a script and counts how many were taken.
class Draws {
public:
    explicit Draws(std::deque<int> numbers) : numbers_(std::move(numbers)) {}
    std::function<int()> Source() {
        return [this] {
            ++taken;
            if (numbers_.empty()) {
                ADD_FAILURE() << "a number was drawn beyond the script";
                return 0;
            }
            const int n = numbers_.front();
            numbers_.pop_front();
            return n;
        };
    }
    int taken = 0;

private:
    std::deque<int> numbers_;
};

TEST(TrayAnimation, EmptyTableShowsIdleIconOnEveryTickWithoutDrawing) {
    TrayAnimation animation;
    Draws draws({});
    for (int tick = 0; tick < 3; ++tick) {
        const TrayTickResult r = animation.Tick(0, draws.Source());
        EXPECT_TRUE(r.modify);
        EXPECT_EQ(r.iconId, IDI_IDLE);
        EXPECT_EQ(r.tip, "Glimmerfen Checker");
    }
    EXPECT_EQ(draws.taken, 0);
    EXPECT_EQ(animation.Countdown(), -1);
}

TEST(TrayAnimation, FirstTickWithEntriesChoosesAPictureAtOnce) {
    TrayAnimation animation;
    Draws draws({1234});
    const TrayTickResult r = animation.Tick(3, draws.Source());
    EXPECT_TRUE(r.modify);
    EXPECT_EQ(r.iconId, IDI_ANIM1);
    EXPECT_EQ(r.tip, "Glimmerfen Checker - 3hit");
    EXPECT_EQ(draws.taken, 1);
}

// The picture chosen on each tick (0 = unchanged) for a run of ticks with entries.
std::vector<int> PicturesOverTicks(TrayAnimation& animation, Draws& draws, int ticks, int entryCount = 2) {
    std::vector<int> shown;
    for (int i = 0; i < ticks; ++i) {
        const TrayTickResult r = animation.Tick(entryCount, draws.Source());
        shown.push_back(r.modify ? r.iconId : 0);
    }
    return shown;
}

TEST(TrayAnimation, NumberEndingIn8StaysOneTickAndIn5StaysFour) {
    TrayAnimation animation;
    Draws draws({18, 5, 9, 40});
    const std::vector<int> shown = PicturesOverTicks(animation, draws, 7);
    // 18 -> 140 for one tick; 5 -> 139 for four ticks; 9 -> 141 for one tick; 40 -> 128.
    const std::vector<int> expected = {IDI_ANIM2, IDI_ANIM1, 0, 0, 0, IDI_ANIM3, IDI_MAIN};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(draws.taken, 4);
}

TEST(TrayAnimation, TooltipCountChangesOnlyWithThePicture) {
    TrayAnimation animation;
    Draws draws({0, 0});
    EXPECT_EQ(animation.Tick(1, draws.Source()).tip, "Glimmerfen Checker - 1hit");
    for (int n = 2; n <= 4; ++n) {
        EXPECT_FALSE(animation.Tick(n, draws.Source()).modify) << "count " << n;
    }
    const TrayTickResult r = animation.Tick(5, draws.Source());
    EXPECT_TRUE(r.modify);
    EXPECT_EQ(r.tip, "Glimmerfen Checker - 5hit");
}

TEST(TrayAnimation, EmptyTableDoesNotResetTheCountdown) {
    TrayAnimation animation;
    Draws draws({3, 7});
    EXPECT_EQ(animation.Tick(1, draws.Source()).iconId, IDI_MAIN); // countdown 3
    EXPECT_FALSE(animation.Tick(1, draws.Source()).modify);        // 2
    EXPECT_EQ(animation.Tick(0, draws.Source()).iconId, IDI_IDLE);
    EXPECT_EQ(animation.Tick(0, draws.Source()).iconId, IDI_IDLE);
    EXPECT_EQ(animation.Countdown(), 2);
    // The table fills again: the remaining countdown runs out before a picture comes.
    EXPECT_FALSE(animation.Tick(2, draws.Source()).modify); // 1
    EXPECT_FALSE(animation.Tick(2, draws.Source()).modify); // 0
    const TrayTickResult r = animation.Tick(2, draws.Source());
    EXPECT_EQ(r.iconId, IDI_ANIM1);
    EXPECT_EQ(r.tip, "Glimmerfen Checker - 2hit");
    EXPECT_EQ(draws.taken, 2);
}

TEST(FirstRunQuestion, AskedOnceAndTheAnswerDecidesTheShortcut) {
    AppSettings settings;
    EXPECT_TRUE(TakeFirstRunQuestion(settings));
    EXPECT_EQ(settings.InitFlag.load(), 1);
    EXPECT_FALSE(TakeFirstRunQuestion(settings));

    EXPECT_FALSE(AcceptStartupAnswer(settings, false));
    EXPECT_EQ(settings.ChkStartUp.load(), 0);
    EXPECT_TRUE(AcceptStartupAnswer(settings, true));
    EXPECT_EQ(settings.ChkStartUp.load(), 1);

    AppSettings asked;
    asked.InitFlag = 1;
    EXPECT_FALSE(TakeFirstRunQuestion(asked));
}

TEST(FirstRunQuestion, ConcurrentTicksAskOnlyOnce) {
    AppSettings settings;
    std::atomic<int> asked{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            if (TakeFirstRunQuestion(settings)) {
                ++asked;
            }
        });
    }
    go = true;
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(asked.load(), 1);
}

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using test::Eventually;

// When each tick began and ended, and whether two ever ran at once.
struct TickLog {
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> ticks;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};

    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return ticks.size();
    }
    void Run(milliseconds work) {
        if (running.fetch_add(1) != 0) {
            overlapped = true;
        }
        const Clock::time_point begin = Clock::now();
        std::this_thread::sleep_for(work);
        const Clock::time_point end = Clock::now();
        running.fetch_sub(1);
        std::lock_guard<std::mutex> lock(mutex);
        ticks.emplace_back(begin, end);
    }
};

TEST(TrayTickChain, TicksNeverOverlapAndThePeriodCountsFromTheEndOfATick) {
    TickLog log;
    std::atomic<int> period{20};
    TickChain chain([&] { log.Run(milliseconds(30)); }, period, 1);
    ASSERT_TRUE(chain.Start());
    ASSERT_TRUE(Eventually([&] { return log.Count() >= 4; }));
    chain.Stop();
    EXPECT_FALSE(log.overlapped.load());
    std::lock_guard<std::mutex> lock(log.mutex);
    for (std::size_t i = 1; i < log.ticks.size(); ++i) {
        // A period counted from the start of the previous tick would start the next one at once.
        const auto gap = std::chrono::duration_cast<milliseconds>(log.ticks[i].first - log.ticks[i - 1].second);
        EXPECT_GE(gap.count(), 10) << "tick " << i;
    }
}

TEST(TrayTickChain, StopDuringATickWaitsForItAndNothingRunsAfterwards) {
    std::atomic<int> ticks{0};
    std::atomic<bool> inTick{false};
    std::atomic<bool> release{false};
    std::atomic<int> period{1};
    TickChain chain(
        [&] {
            ++ticks;
            inTick = true;
            while (!release.load()) {
                std::this_thread::sleep_for(milliseconds(1));
            }
            inTick = false;
        },
        period, 1);
    ASSERT_TRUE(chain.Start());
    ASSERT_TRUE(Eventually([&] { return inTick.load(); }));

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        chain.Stop();
        stopped = true;
    });
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_FALSE(stopped.load()) << "Stop returned while the tick was still running";
    release = true;
    stopper.join();
    EXPECT_FALSE(inTick.load());
    const int after = ticks.load();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(ticks.load(), after);
    EXPECT_EQ(chain.TimerId(), 0u);
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
}

TEST(TrayTickChain, StopServesWhatARunningTickSendsToTheUserInterfaceThread) {
    // The tick sends work to the stopping thread and waits for it, like a tick that sends a window
    // message: Stop must answer it, or both threads wait for each other for ever.
    test::UiThreadLink ui;
    ASSERT_TRUE(ui.Ready());
    std::atomic<bool> inTick{false};
    std::atomic<bool> served{false};
    std::atomic<int> period{1};
    TickChain chain(
        [&] {
            inTick = true;
            served = ui.Send([] {}, std::chrono::seconds(10));
        },
        period, 1);
    ASSERT_TRUE(chain.Start());
    ASSERT_TRUE(Eventually([&] { return inTick.load(); }));
    chain.Stop();
    EXPECT_TRUE(served.load());
}

TEST(TrayTickChain, PeriodIsReadAtEveryArmingAndANonPositiveOneEndsTheChain) {
    std::atomic<int> period{5};
    std::atomic<int> ticks{0};
    TickChain chain(
        [&] {
            if (++ticks == 3) {
                period = 0;
            }
        },
        period, 1);
    ASSERT_TRUE(chain.Start());
    ASSERT_TRUE(Eventually([&] { return ticks.load() >= 3; }));
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(ticks.load(), 3);
    EXPECT_EQ(chain.TimerId(), 0u);
    chain.Stop();

    std::atomic<int> negative{-1};
    TickChain never([&] { ++ticks; }, negative, 1);
    EXPECT_FALSE(never.Start());
    EXPECT_EQ(never.TimerId(), 0u);
}

TEST(TrayTickChain, ChainsStartedAndDestroyedAtOnceLeaveNothingBehind) {
    // Each chain is destroyed right after Stop, while expiries of 1 ms may be on their way to the
    // handler: none may reach a chain that is gone (the sanitizers watch), and none may tick.
    std::atomic<int> period{1};
    auto ticks = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < 200; ++i) {
        auto chain = std::make_unique<TickChain>([ticks] { ++*ticks; }, period, 1);
        chain->Start();
        if (i % 2 == 0) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        chain->Stop();
        const int after = ticks->load();
        chain.reset();
        EXPECT_EQ(ticks->load(), after);
    }
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
}

#ifndef _WIN32
TEST(TrayTickChain, FirstExpiryBeforeTheIdentifierIsRecordedStillTicks) {
    // Regression: a 1 ms timer may expire before SetOneShotTimer has returned its identifier; an expiry
    // compared with an identifier not yet recorded would be dropped and the chain would end silently.
    platform::SetArmWaitsForExpiryForTesting(true);
    std::atomic<int> period{1};
    std::atomic<int> ticks{0};
    {
        TickChain chain([&] { ++ticks; }, period, 1);
        ASSERT_TRUE(chain.Start());
        EXPECT_TRUE(Eventually([&] { return ticks.load() >= 2; }, std::chrono::seconds(10)));
        chain.Stop();
    }
    platform::SetArmWaitsForExpiryForTesting(false);
}
#endif

} // namespace
} // namespace glimmerfen::ui
