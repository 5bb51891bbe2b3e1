// The chains of one-shot timers and their users: the monitor threads (polls and list refreshes) and
// the tray tick, which runs on a TimerChain of its own; and what Stop guarantees. Periods of 1 ms make
// the races of the real program happen thousands of times a test. No assertion is about speed: waits
// have limits of seconds and only order and eventual effects are checked.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "monitor/log/AccessLog.h"
#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"
#include "monitor/MonitorThreads.h"
#include "monitor/TimerChain.h"
#include "platform/fault.h"
#include "platform/netserver.h"
#include "platform/notify.h"
#include "platform/timer.h"
#include "temp_dir.h"
#include "threading.h"
#ifndef _WIN32
#include "platform/posix/testing.h"
#endif

namespace glimmerfen {

// What the tests look at inside MonitorThreads: the run flag of the list's monitor, the worker threads
// once they have begun (0 before), and the list refresh's pending timer (0 when none).
struct MonitorThreadsTestPeer {
    static int ListRunning(const MonitorThreads& t) { return t.list_.running.load(); }
    static platform::TimerId ListTimerId(const MonitorThreads& t) { return t.listChain_.TimerId(); }
    static platform::ThreadKey MonitorThreadKey(const MonitorThreads& t) { return t.poll_.workerKey.load(); }
    static platform::ThreadKey ListThreadKey(const MonitorThreads& t) { return t.list_.workerKey.load(); }
};

namespace {

using Peer = MonitorThreadsTestPeer;

using namespace std::chrono_literals;
using test::Eventually;

// Notes who is working on the engine: a poll from the start of its enumeration to the end of its
// table work, a list refresh for its whole run. Two at once is an overlap.
struct WorkProbe {
    std::atomic<int> busy{0};
    std::atomic<int> overlaps{0};

    void Enter() {
        if (busy.exchange(1) != 0) {
            ++overlaps;
        }
    }
    void Leave() { busy = 0; }
};

// One session whose connected time grows by one with every poll, so every poll changes the table. A
// poll can be held at the start of its enumeration until the test lets it go.
class ProbeServer final : public platform::ServerPlatform {
public:
    explicit ProbeServer(WorkProbe& probe) : probe_(probe) {}

    std::atomic<int> enumerations{0};

    // When each poll began its enumeration.
    std::vector<std::chrono::steady_clock::time_point> Starts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return starts_;
    }

    void HoldPolls() {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = true;
    }
    bool PollHeld() {
        std::lock_guard<std::mutex> lock(mutex_);
        return held_;
    }
    void ReleasePolls() {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = false;
        changed_.notify_all();
    }

    std::uint32_t SessionRound(std::uint32_t& resume, RecordList<SessionRecord>& out) override {
        if (resume == 0) {
            probe_.Enter();
            const int poll = ++enumerations;
            std::unique_lock<std::mutex> lock(mutex_);
            starts_.push_back(std::chrono::steady_clock::now());
            if (hold_) {
                held_ = true;
                changed_.wait_for(lock, 20s, [&] { return !hold_; });
                held_ = false;
            }
            SessionRecord s;
            s.clientName = "PC1";
            s.userName = "alice";
            s.connectedSeconds = static_cast<std::uint32_t>(poll);
            out.push_back(s);
        }
        return platform::kNetSuccess;
    }
    std::uint32_t OpenFileRound(const std::string&, std::uint64_t&, RecordList<OpenFileRecord>&) override {
        return platform::kNetSuccess;
    }
    std::uint32_t DeleteSession(const std::optional<std::string>&, const std::string&) override {
        return platform::kNetSuccess;
    }

private:
    WorkProbe& probe_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    bool held_ = false;
    std::vector<std::chrono::steady_clock::time_point> starts_;
};

// Counts the polls that reached the end of their table work, which only a poll with a table does.
class ProbeMonitor final : public AccessMonitor {
public:
    ProbeMonitor(AppSettings& settings, ProbeServer& server, WorkProbe& probe, AccessLog* log = nullptr)
        : AccessMonitor(settings, server, log), probe_(probe) {}

    std::atomic<int> completed{0};
    std::atomic<int> reports{0};
    std::atomic<platform::ThreadKey> reportedOn{0};

    // When each poll's table work ended (shortly before the poll itself).
    std::vector<std::chrono::steady_clock::time_point> Ends() {
        std::lock_guard<std::mutex> lock(endsMutex_);
        return ends_;
    }

    void ReportLostLines() override {
        reportedOn = platform::CurrentThreadKey();
        ++reports;
        AccessMonitor::ReportLostLines();
    }

protected:
    void ApplyDisconnectRules() override {
        {
            std::lock_guard<std::mutex> lock(endsMutex_);
            ends_.push_back(std::chrono::steady_clock::now());
        }
        ++completed;
        probe_.Leave();
    }

private:
    WorkProbe& probe_;
    std::mutex endsMutex_;
    std::vector<std::chrono::steady_clock::time_point> ends_;
};

unsigned Resolution() {
    return platform::TimerResolution().value_or(1);
}

class MonitorThreadsTest : public ::testing::Test {
protected:
    MonitorThreadsTest() {
        settings.CycleTime1 = 1;
        settings.CycleTime2 = 1;
        settings.ViewTime = 30;
        monitor.CreateTable();
    }

    // A list refresh that reads the table like the list window does, and counts itself. It may run
    // while a poll waits for the server: the probe notes only polls.
    std::function<void()> CountingRefresh() {
        return [this] {
            ++refreshes;
            (void)monitor.Snapshot();
        };
    }

    AppSettings settings;
    WorkProbe probe;
    ProbeServer server{probe};
    ProbeMonitor monitor{settings, server, probe};
    std::atomic<int> refreshes{0};
};

using Clock = std::chrono::steady_clock;

// When each run of a chain began and ended, and whether two ever ran at once.
struct RunLog {
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> runs;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};

    std::size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return runs.size();
    }
    void Run(std::chrono::milliseconds work) {
        if (running.fetch_add(1) != 0) {
            overlapped = true;
        }
        const Clock::time_point begin = Clock::now();
        std::this_thread::sleep_for(work);
        const Clock::time_point end = Clock::now();
        running.fetch_sub(1);
        std::lock_guard<std::mutex> lock(mutex);
        runs.emplace_back(begin, end);
    }
};

TEST(TimerChain, RunsNeverOverlapAndThePeriodCountsFromTheEndOfARun) {
    // A tick longer than its period, as the tray tick's can be.
    RunLog log;
    std::atomic<int> period{20};
    TimerChain chain([&] { log.Run(30ms); }, period, 1);
    ASSERT_TRUE(chain.Start());
    ASSERT_TRUE(Eventually([&] { return log.Count() >= 4; }));
    chain.Stop();
    EXPECT_FALSE(log.overlapped.load());
    std::lock_guard<std::mutex> lock(log.mutex);
    for (std::size_t i = 1; i < log.runs.size(); ++i) {
        // A period counted from the start of the previous run would start the next one at once.
        const auto gap =
            std::chrono::duration_cast<std::chrono::milliseconds>(log.runs[i].first - log.runs[i - 1].second);
        EXPECT_GE(gap.count(), 10) << "run " << i;
    }
}

TEST(TimerChain, APeriodThatIsNotPositiveArmsNothing) {
    for (const int value : {0, -1, -20}) {
        SCOPED_TRACE(value);
        std::atomic<int> period{value};
        std::atomic<int> runs{0};
        TimerChain chain([&] { ++runs; }, period, 1);
        EXPECT_FALSE(chain.Start());
        EXPECT_EQ(chain.TimerId(), 0u);
        chain.Stop();
        EXPECT_EQ(runs.load(), 0);
    }
}

TEST_F(MonitorThreadsTest, PollsNeverOverlapEachOtherNorChangeTheTableUnderAReadersPass) {
    MonitorThreads threads(settings, monitor, Resolution());
    threads.SetListRefresh(CountingRefresh());

    // A reader on another thread, like the list window's handlers: the table must not change during
    // its pass.
    std::atomic<bool> reading{true};
    std::atomic<int> passes{0};
    std::atomic<int> changedUnderReader{0};
    std::thread reader([&] {
        while (reading) {
            monitor.Read([&](const AccessTable* table, std::int32_t, std::int32_t) {
                if (table == nullptr) {
                    return;
                }
                const std::vector<AccessEntry> before = table->Copy();
                std::this_thread::sleep_for(200us);
                if (table->Copy() != before) {
                    ++changedUnderReader;
                }
                ++passes;
            });
            std::this_thread::sleep_for(100us);
        }
    });

    threads.Start();
    const bool enough = Eventually([&] { return monitor.completed >= 300 && refreshes >= 300 && passes >= 100; }, 60s);
    threads.Stop();
    reading = false;
    reader.join();

    ASSERT_TRUE(enough) << monitor.completed << " polls, " << refreshes << " refreshes, " << passes << " passes";
    EXPECT_EQ(probe.overlaps.load(), 0);
    EXPECT_EQ(changedUnderReader.load(), 0);
    EXPECT_EQ(monitor.completed.load(), server.enumerations.load()) << "a poll lost its table half-way";
    EXPECT_FALSE(monitor.Snapshot().hasTable);
}

TEST_F(MonitorThreadsTest, StopWaitsForTheRunningPollAndReleasesTheTableOnlyAfterIt) {
    MonitorThreads threads(settings, monitor, Resolution());
    threads.SetListRefresh(CountingRefresh());
    server.HoldPolls();
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return server.PollHeld(); }));

    std::atomic<bool> stopped{false};
    std::thread ui([&] {
        threads.Stop();
        stopped = true;
    });
    const bool stopBegan = Eventually([&] { return threads.MonitorRunning() == 0 && Peer::ListRunning(threads) == 0; });
    std::this_thread::sleep_for(200ms);
    const bool returnedEarly = stopped.load();
    const bool tableWhilePolling = monitor.Snapshot().hasTable;
    server.ReleasePolls();
    ui.join();

    EXPECT_TRUE(stopBegan);
    EXPECT_FALSE(returnedEarly) << "Stop returned while a poll was running";
    EXPECT_TRUE(tableWhilePolling) << "the table was released under a running poll";
    EXPECT_EQ(monitor.completed.load(), server.enumerations.load()) << "the held poll did not finish its work";
    EXPECT_FALSE(monitor.Snapshot().hasTable);
}

TEST_F(MonitorThreadsTest, APollThatWaitsForTheServerHoldsUpNeitherTheRefreshNorStop) {
    // A distant computer that does not answer: the call takes a network timeout.
    std::optional<MonitorThreads> threads(std::in_place, settings, monitor, Resolution());
    threads->SetListRefresh(CountingRefresh());
    server.HoldPolls();
    threads->Start();
    ASSERT_TRUE(Eventually([&] { return server.PollHeld(); }));
    const int refreshed = refreshes.load();
    EXPECT_TRUE(Eventually([&] { return refreshes >= refreshed + 20; })) << "the refresh waited for the server";
    EXPECT_FALSE(threads->Stop()) << "Stop reported the held poll as ended";
    EXPECT_TRUE(server.PollHeld());
    EXPECT_FALSE(monitor.Snapshot().hasTable);
    server.ReleasePolls();
    threads.reset(); // waits for the poll that Stop left: it ends without a table to merge into
    EXPECT_EQ(monitor.completed.load(), 0);
    EXPECT_EQ(server.enumerations.load(), 1) << "an expiry started a second poll";
}

TEST_F(MonitorThreadsTest, APollLongerThanThePeriodIsFollowedByAWholePeriod) {
    // A server that answers after three periods: no timer of the poll runs meanwhile, and the next
    // poll starts a whole period after the end of the slow one, not at the next tick of a clock that
    // kept running during it.
    settings.CycleTime1 = 100;
    MonitorThreads threads(settings, monitor, Resolution());
    server.HoldPolls();
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return server.PollHeld(); }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(server.enumerations.load(), 1) << "a poll started while the slow one ran";
    server.ReleasePolls();
    ASSERT_TRUE(Eventually([&] { return server.enumerations >= 2; }));
    threads.Stop();

    const auto starts = server.Starts();
    const auto ends = monitor.Ends();
    ASSERT_GE(starts.size(), 2u);
    ASSERT_GE(ends.size(), 1u);
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(starts[1] - ends[0]);
    EXPECT_GE(gap.count(), 90) << "the next poll followed the slow one too soon";
}

TEST_F(MonitorThreadsTest, NothingRunsAfterStopEvenATimerThatWasDue) {
    MonitorThreads threads(settings, monitor, Resolution());
    std::mutex mutex;
    std::condition_variable changed;
    bool hold = false;
    bool held = false;
    threads.SetListRefresh([&] {
        ++refreshes;
        std::unique_lock<std::mutex> lock(mutex);
        if (hold) {
            held = true;
            changed.notify_all();
            changed.wait_for(lock, 20s, [&] { return !hold; });
        }
    });
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return monitor.completed >= 5 && refreshes >= 5; }));
    {
        // A refresh now keeps the timer service busy, and the next refresh's timer falls due behind it;
        // the polls go on, on a thread of their own.
        std::unique_lock<std::mutex> lock(mutex);
        hold = true;
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return held; }));
    }
    std::this_thread::sleep_for(20ms);
    const int refreshed = refreshes.load();

    std::thread ui([&] { threads.Stop(); });
    const bool killed = Eventually([&] {
        return threads.MonitorRunning() == 0 && Peer::ListRunning(threads) == 0 && Peer::ListTimerId(threads) == 0;
    });
    {
        std::lock_guard<std::mutex> lock(mutex);
        hold = false;
        changed.notify_all();
    }
    ui.join();
    const int polls = monitor.completed.load();
    std::this_thread::sleep_for(100ms);

    EXPECT_TRUE(killed);
    EXPECT_EQ(monitor.completed.load(), polls) << "a poll ran after Stop";
    EXPECT_EQ(server.enumerations.load(), polls);
    EXPECT_EQ(refreshes.load(), refreshed) << "a refresh ran after Stop";
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
    EXPECT_FALSE(monitor.Snapshot().hasTable);
}

// With the portable layer, arming a timer returns only after its callback has started: the worst case
// of a 1 ms timer that expires before the worker has recorded its identifier, every time.
class ArmWaitsForExpiry {
public:
    ArmWaitsForExpiry() {
#ifndef _WIN32
        platform::SetArmWaitsForExpiryForTesting(true);
#endif
    }
    ~ArmWaitsForExpiry() {
#ifndef _WIN32
        platform::SetArmWaitsForExpiryForTesting(false);
#endif
    }
};

TEST_F(MonitorThreadsTest, TheFirstExpiryOfAOneMillisecondPeriodIsNeverLost) {
    ArmWaitsForExpiry worstCase;
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        monitor.CreateTable();
        const int polls = monitor.completed.load();
        const int refreshed = refreshes.load();
        MonitorThreads threads(settings, monitor, Resolution());
        threads.SetListRefresh(CountingRefresh());
        threads.Start();
        const bool bothRan =
            Eventually([&] { return monitor.completed > polls && refreshes > refreshed; }, std::chrono::seconds(5));
        threads.Stop();
        ASSERT_TRUE(bothRan) << "a monitor's chain ended at its first expiry";
    }
}

TEST_F(MonitorThreadsTest, AChangedPeriodAppliesFromTheNextTimerArmed) {
    // Shorter to longer: the refresh that changes it is the last for a minute; the polls go on.
    MonitorThreads threads(settings, monitor, Resolution());
    threads.SetListRefresh([this] {
        if (++refreshes == 5) {
            settings.CycleTime2 = 60000;
        }
    });
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return refreshes >= 5; }));
    const int polls = monitor.completed.load();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(refreshes.load(), 5);
    EXPECT_GT(monitor.completed.load(), polls);
    threads.Stop();
}

TEST_F(MonitorThreadsTest, AShorterPeriodWaitsForTheTimerAlreadyArmed) {
    settings.CycleTime1 = 60000;
    MonitorThreads threads(settings, monitor, Resolution());
    threads.SetListRefresh(CountingRefresh());
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return threads.MonitorRunning() == 1 && refreshes >= 1; }));
    settings.CycleTime1 = 1;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(server.enumerations.load(), 0) << "the pending minute-long timer was cut short";
    threads.Stop();
}

TEST_F(MonitorThreadsTest, PriorityChangesReachTheWorkerThreads) {
    settings.ThreadLevel1 = 1;
    settings.ThreadLevel2 = -1;
    MonitorThreads threads(settings, monitor, Resolution());
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return Peer::MonitorThreadKey(threads) != 0 && Peer::ListThreadKey(threads) != 0; }));
    const platform::ThreadKey monitorThread = Peer::MonitorThreadKey(threads);
    const platform::ThreadKey listThread = Peer::ListThreadKey(threads);
    auto levels = [&] {
        return std::make_pair(platform::ThreadPriority(monitorThread), platform::ThreadPriority(listThread));
    };
    using Levels = std::pair<std::optional<int>, std::optional<int>>;

    EXPECT_TRUE(Eventually([&] { return levels() == Levels{1, -1}; })) << "created without their priorities";

    settings.ThreadLevel1 = -15;
    settings.ThreadLevel2 = 2;
    threads.ApplyPriorities();
    EXPECT_TRUE(Eventually([&] { return levels() == Levels{-15, 2}; })) << "a changed priority was not applied";

    // A value that is no priority leaves the thread as it was; the next real one applies again.
    settings.ThreadLevel1 = 7;
    threads.ApplyPriorities();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(platform::ThreadPriority(monitorThread), -15);
    settings.ThreadLevel1 = 0;
    threads.ApplyPriorities();
    EXPECT_TRUE(Eventually([&] { return platform::ThreadPriority(monitorThread) == 0; }));
    threads.Stop();
}

TEST_F(MonitorThreadsTest, StopOnTheUserInterfaceThreadAnswersARefreshThatSendsToIt) {
    test::UiThreadLink ui; // this thread plays the user-interface thread
    ASSERT_TRUE(ui.Ready());
    std::atomic<bool> sending{false};
    std::atomic<int> answered{0};
    std::atomic<int> unanswered{0};
    MonitorThreads threads(settings, monitor, Resolution());
    // Like the list window's refresh, which changes its controls through messages to this thread.
    threads.SetListRefresh([&] {
        sending = true;
        for (int i = 0; i < 3; ++i) {
            if (!ui.Send([&] { ++answered; }, 5s)) {
                ++unanswered;
                return;
            }
        }
    });
    threads.Start();
    // Busy without answering: the refresh is now waiting for this thread.
    ASSERT_TRUE(Eventually([&] { return sending.load(); }));
    std::this_thread::sleep_for(20ms);
    threads.Stop();

    EXPECT_EQ(unanswered.load(), 0) << "Stop did not answer the refresh: the two threads waited for each other";
    EXPECT_EQ(answered.load(), 3);
    EXPECT_FALSE(monitor.Snapshot().hasTable);
}

TEST_F(MonitorThreadsTest, AMonitorWhoseTimerCannotBeArmedEndsAloneAndStopStillWorks) {
    settings.CycleTime1 = 0; // no timer can be armed with it
    MonitorThreads threads(settings, monitor, Resolution());
    threads.SetListRefresh(CountingRefresh());
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return refreshes >= 20; }));
    EXPECT_EQ(server.enumerations.load(), 0);
    threads.Stop();
    EXPECT_FALSE(monitor.Snapshot().hasTable);
}

TEST_F(MonitorThreadsTest, FiveHundredStartsAndStopsLeaveNothingBehind) {
    const auto cycle = [&](bool waitForWork) {
        monitor.CreateTable();
        const int polls = monitor.completed.load();
        const int refreshed = refreshes.load();
        MonitorThreads threads(settings, monitor, Resolution());
        threads.SetListRefresh(CountingRefresh());
        threads.Start();
        // The refresh's timer is what starts the timer service's thread; the poll times itself.
        const bool worked =
            !waitForWork || Eventually([&] { return monitor.completed > polls && refreshes > refreshed; });
        threads.Stop();
        return worked;
    };
    ASSERT_TRUE(cycle(true)); // the timer service's own thread exists from here on
    const std::size_t threadsBefore = test::ThreadCount();
    ASSERT_GT(threadsBefore, 0u);
    for (int round = 0; round < 500; ++round) {
        // Half the rounds stop at once, before the workers may even have begun.
        ASSERT_TRUE(cycle(round % 2 == 0)) << "round " << round;
        ASSERT_FALSE(monitor.Snapshot().hasTable) << "round " << round;
    }
    EXPECT_EQ(platform::PendingTimerCount(), 0u);
    EXPECT_EQ(monitor.completed.load(), server.enumerations.load());
    EXPECT_EQ(probe.overlaps.load(), 0);
    EXPECT_TRUE(Eventually([&] { return test::ThreadCount() <= threadsBefore; }))
        << test::ThreadCount() << " threads, " << threadsBefore << " before";
}

// While set, a fault at a boundary is counted instead of ending the process.
class CountedFaults {
public:
    CountedFaults() {
        previous_ = platform::SetFaultHandlerForTesting([this](const std::string& where, const std::string& what) {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.emplace_back(where, what);
        });
    }
    ~CountedFaults() { platform::SetFaultHandlerForTesting(previous_); }
    std::vector<std::pair<std::string, std::string>> Seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    platform::FaultHandler previous_;
    std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> seen_;
};

#ifndef _WIN32
// Natively the box's text goes to the standard error stream, where the death test can read it; under
// Wine a real box would wait for an answer.
TEST(FaultDeathTest, AnExceptionAtABoundaryIsToldAndEndsTheProcessWithTheFaultCode) {
    EXPECT_EXIT(platform::ContainFault("a timer chain", [] { throw std::runtime_error("table gone"); }),
                ::testing::ExitedWithCode(platform::kFaultExitCode), "a timer chain: table gone");
}

// A service's fault is told where a service's messages go, and only then to the service manager, as a
// stop with the fault's code (before, the service reported a plain failure and nobody learnt why).
TEST(FaultDeathTest, TheFaultIsToldBeforeTheLastWordsAndTheProcessEnds) {
    EXPECT_EXIT(
        {
            platform::SetMessageSink([](const std::string& text, const std::string&, platform::MessageIcon) {
                std::fprintf(stderr, "event: %s\n", text.c_str());
            });
            platform::SetFaultExit([] { std::fprintf(stderr, "stopped with %d\n", platform::kFaultExitCode); });
            platform::ContainFault("the service", [] { throw std::runtime_error("no table"); });
        },
        ::testing::ExitedWithCode(platform::kFaultExitCode), "event: .*the service: no table.*stopped with 3");
}
#endif

TEST_F(MonitorThreadsTest, AWorkThatThrowsIsReportedAndLeavesStopNothingToWaitFor) {
    // Regression: an exception that left the expiry handler skipped the lowering of its running count;
    // the system swallowed it, and Stop waited for that handler for ever.
    CountedFaults faults;
    std::atomic<int> thrown{0};
    MonitorThreads threads(settings, monitor, Resolution());
    threads.SetListRefresh([&] {
        ++thrown;
        throw std::runtime_error("refresh failed");
    });
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return !faults.Seen().empty() && monitor.completed >= 3; }));
    // The chain whose work threw is not armed again; the poll goes on.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(thrown.load(), 1);
    EXPECT_EQ(Peer::ListTimerId(threads), 0u);

    std::atomic<bool> stopped{false};
    std::thread ui([&] {
        threads.Stop();
        stopped = true;
    });
    if (!Eventually([&] { return stopped.load(); })) {
        // Stop spins for ever: nothing can end it, and the test cannot go on without it.
        std::fprintf(stderr, "Stop still waits for the handler that threw\n");
        std::abort();
    }
    ui.join();
    const auto seen = faults.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].second, "refresh failed");
    EXPECT_FALSE(monitor.Snapshot().hasTable);
}

// On the portable layer a shown message waits, like a box that nobody answers, until it is dismissed.
class UnansweredBoxes {
public:
    UnansweredBoxes() {
#ifndef _WIN32
        platform::SetMessagesWaitForAnswerForTesting(true);
#endif
    }
    ~UnansweredBoxes() {
#ifndef _WIN32
        platform::SetMessagesWaitForAnswerForTesting(false);
#endif
    }
};

TEST_F(MonitorThreadsTest, StopEndsTheLostLineBoxOfARunningPollInsteadOfWaitingForIt) {
    // Regression: at "Close Application" Stop waited for the poll that showed the box about a log that
    // could not be written; hidden behind other windows, the box made the program seem to hang.
    test::TempDir dir;
    const std::string logPath = dir.File("log.txt");
    std::filesystem::create_directory(logPath); // no line can be written to it
    settings.LogOut = 1;
    AccessLog log(logPath, "GlimmerfenChecker", AccessLog::Limits{});
    ProbeMonitor logging(settings, server, probe, &log);
    logging.CreateTable();
    UnansweredBoxes unanswered;
    MonitorThreads threads(settings, logging, Resolution());
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return logging.reports.load() == 1; }));
    // The box holds the chain: no next poll while it is up, and no second report.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(logging.completed.load(), 1);

    std::atomic<bool> stopped{false};
    std::thread ui([&] {
        threads.Stop();
        stopped = true;
    });
    const bool ended = Eventually([&] { return stopped.load(); });
    if (!ended) {
        platform::DismissMessagesOf(logging.reportedOn.load()); // answer it, so that the test can end
    }
    ui.join();
    EXPECT_TRUE(ended) << "Stop waited for the box to be answered";
    EXPECT_EQ(logging.reports.load(), 1);
    EXPECT_FALSE(logging.Snapshot().hasTable);
}

// "Close Application" begins while a poll waits for the server; the poll then ends with lines the log
// could not take. The program is closing: no "log save failed" box may come up now.
TEST_F(MonitorThreadsTest, APollThatEndsAfterStopBeganRaisesNoBox) {
    test::TempDir dir;
    const std::string logPath = dir.File("log.txt");
    std::filesystem::create_directory(logPath); // no line can be written to it
    settings.LogOut = 1;
    AccessLog log(logPath, "GlimmerfenChecker", AccessLog::Limits{});
    ProbeMonitor logging(settings, server, probe, &log);
    logging.CreateTable();
    MonitorThreads threads(settings, logging, Resolution());
    server.HoldPolls();
    threads.Start();
    ASSERT_TRUE(Eventually([&] { return server.PollHeld(); }));
    std::thread ui([&] { threads.Stop(); });
    const bool stopBegan = Eventually([&] { return threads.MonitorRunning() == 0; });
    server.ReleasePolls();
    ui.join();
    ASSERT_TRUE(stopBegan);
    EXPECT_EQ(logging.completed.load(), 1) << "the held poll did not reach the log";
    EXPECT_EQ(log.WaitingLines(), 1u);
    EXPECT_EQ(logging.reports.load(), 0) << "the box came up during the close";
}

} // namespace
} // namespace glimmerfen
