// Events beside the log: what a run of polls reports, in order, and the writer's bound.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "FakeServer.h"
#include "codepage_fixture.h"
#include "monitor/AccessMonitor.h"
#include "monitor/EventReporter.h"
#include "monitor/log/AccessLog.h"
#include "platform/strings.h"
#include "res/event_ids.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "temp_dir.h"

namespace glimmerfen {
namespace {

// Records each event as one text: "I|W|E", the id, then its strings, all separated by '|'. While held,
// Report waits, as a slow event log would.
class RecordingSink final : public platform::EventSink {
public:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::string> events;
        bool held = false;
        int waiting = 0;                    // reports begun and held
        std::chrono::milliseconds delay{0}; // what each report costs besides
    };
    explicit RecordingSink(State& state) : state_(state) {}
    bool Report(platform::EventType type, std::uint32_t id, const std::vector<std::string>& strings) override {
        std::string text = std::string(1, "IWE"[static_cast<int>(type)]) + std::to_string(id);
        for (const std::string& s : strings) {
            text += "|" + s;
        }
        std::unique_lock<std::mutex> lock(state_.mutex);
        ++state_.waiting;
        state_.changed.notify_all();
        state_.changed.wait(lock, [&] { return !state_.held; });
        if (state_.delay.count() != 0) {
            lock.unlock();
            std::this_thread::sleep_for(state_.delay);
            lock.lock();
        }
        state_.events.push_back(text);
        state_.changed.notify_all();
        return true;
    }

private:
    State& state_;
};

class EventPollTest : public test::CodePage1252Test {
protected:
    EventPollTest() {
        settings.LogOut = 0; // the event log is a destination of its own
        settings.EventLog = 1;
        settings.CycleTime1 = 20;
        settings.ViewTime = 30;
        settings.DisJuncPcFlag = 1;
        settings.DisJuncNgPcFlag = 1;
        settings.DisJuncNgPcStr.Set("PC3");
        monitor.SetEventReporter(&events);
        monitor.CreateTable();
    }
    std::vector<std::string> WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(sink.mutex);
        sink.changed.wait_for(lock, std::chrono::seconds(10), [&] { return sink.events.size() >= count; });
        return sink.events;
    }
    // The connection's start of the user's entry, as its events give it.
    std::string StartOf(const std::string& user) const {
        for (const AccessEntry& e : monitor.Snapshot().entries) {
            if (e.userName == user) {
                return IsoUtcText(e.startTime);
            }
        }
        return "?";
    }

    test::TempDir dir;
    RecordingSink::State sink;
    AppSettings settings;
    testing::FakeServer server;
    EventReporter events{std::make_unique<RecordingSink>(sink), "FS01"};
    AccessLog log{dir.File("log.txt"), "GlimmerfenChecker", AccessLog::Limits{}};
    AccessMonitor monitor{settings, server, &log};
};

TEST_F(EventPollTest, AccessesRulesAndServerStatesInTheOrderOfTheirLines) {
    server.AddSession("PC1", "alice", 90);
    // One event per new entry, as one line: alice's session shows as her open file, which names no client.
    server.AddFile("alice", "C:\\share\\budget.xls", 7, 1, 2);
    server.AddSession("PC3", "bob", 30);
    monitor.Poll();
    server.failSessionRound = 1; // the server denies access, then answers again
    monitor.Poll();
    server.failSessionRound = 0;
    monitor.Poll();
    server.failCode = 53;
    server.failSessionRound = 1;
    monitor.Poll();
    monitor.Poll(); // the same state again: no event

    const std::string rule = platform::LoadText(IDS_DISCONNECT_DENIED);
    const std::vector<std::string> expected = {
        "I200|||alice|C:\\share\\budget.xls|FILE READ|2||" + StartOf("alice") + "|FS01",
        "I200|PC3||bob|||||" + StartOf("bob") + "|FS01",
        "W300|PC3||bob||||" + rule + "|" + StartOf("bob") + "|FS01",
        "E400|||||||5||FS01",
        "I402|||||||||FS01",
        "E401|||||||53||FS01",
    };
    EXPECT_EQ(WaitFor(expected.size()), expected);
    EXPECT_FALSE(std::filesystem::exists(dir.File("log.txt"))) << "LogOut 0 writes no log";
}

TEST_F(EventPollTest, NothingWhileEventsAreOffAndNothingTheLogWouldNotRecord) {
    settings.EventLog = 0;
    server.AddSession("PC1", "alice");
    monitor.Poll();
    settings.EventLog = 1;
    settings.LogChkDisMsg = 1; // disconnections are not recorded: neither line nor event
    server.AddSession("PC3", "bob");
    monitor.Poll();
    EXPECT_EQ(WaitFor(1), (std::vector<std::string>{"I200|PC3||bob|||||" + StartOf("bob") + "|FS01"}));
}

TEST(EventReporter, PastTheBoundNewEventsAreDroppedAndCountedWhereTheyWouldHaveBeen) {
    RecordingSink::State sink;
    sink.held = true;
    {
        EventReporter events(std::make_unique<RecordingSink>(sink), "FS01", 4);
        int n = 0;
        auto post = [&](int count) {
            EventBatch batch;
            for (int i = 0; i < count; ++i) {
                const std::string text = std::to_string(n++);
                EventFields fields;
                fields.message = text;
                batch.Add(platform::EventType::Information, kEventAccess, fields);
            }
            events.Post(batch);
        };
        post(1); // 0, taken by the writer, which waits in its report
        {
            std::unique_lock<std::mutex> lock(sink.mutex);
            sink.changed.wait(lock, [&] { return sink.waiting == 1; });
        }
        post(5); // 1 2 3 4 fit, 5 is dropped
        post(2); // 6 7 are dropped behind it: the queue is full
        {
            std::lock_guard<std::mutex> lock(sink.mutex);
            sink.held = false;
        }
        sink.changed.notify_all();
    } // the reporter's end writes everything queued
    std::vector<std::string> seen;
    for (const std::string& event : sink.events) {
        seen.push_back(event.substr(0, event.find('|')) + " " + event.substr(event.find("|||||||") + 7, 1));
    }
    const std::vector<std::string> expected = {"I200 0", "I200 1", "I200 2", "I200 3", "I200 4", "W900 3"};
    EXPECT_EQ(seen, expected) << ::testing::PrintToString(sink.events);
}

TEST(EventReporter, TheEndGivesUpInsideALargeBatchAndCountsWhatIsLeft) {
    // A slow event log with one large batch being written when the program closes: the end must not
    // wait for the whole batch (here 5 s and more), only for its two seconds.
    constexpr int kEvents = 1000;
    RecordingSink::State sink;
    sink.held = true;
    sink.delay = std::chrono::milliseconds(5);
    EventReporter events(std::make_unique<RecordingSink>(sink), "FS01");
    EventBatch batch;
    for (int i = 0; i < kEvents; ++i) {
        batch.Add(platform::EventType::Information, kEventAccess, EventFields{});
    }
    events.Post(batch);
    EventBatch later; // queued behind the batch: dropped with its rest
    later.Add(platform::EventType::Information, kEventAccess, EventFields{});
    events.Post(later);
    {
        std::unique_lock<std::mutex> lock(sink.mutex);
        sink.changed.wait(lock, [&] { return sink.waiting == 1; });
        sink.held = false;
    }
    sink.changed.notify_all();
    events.Finish();

    std::lock_guard<std::mutex> lock(sink.mutex);
    ASSERT_GE(sink.events.size(), 2u);
    const std::size_t written = sink.events.size() - 1;
    EXPECT_LT(written, static_cast<std::size_t>(kEvents)) << "the whole batch was written before the end";
    for (std::size_t i = 0; i < written; ++i) {
        ASSERT_EQ(sink.events[i].substr(0, 5), "I200|") << i;
    }
    EXPECT_EQ(sink.events.back(), "W900|||||||" + std::to_string(kEvents + 1 - written) + "||FS01");
}

TEST(EventReporter, EventsTurnedOffAndOnAgainReachANewWriter) {
    RecordingSink::State sink;
    EventReporter events(std::make_unique<RecordingSink>(sink), "FS01");
    auto post = [&events](const char* text) {
        EventFields fields;
        fields.message = text;
        events.Post(platform::EventType::Information, kEventAccess, fields);
    };
    post("on");
    EXPECT_TRUE(events.Finish()) << "events off: what waits is written and the writer ends";
    post("off");
    events.Start();
    post("on again");
    events.Finish();
    std::vector<std::string> messages;
    for (const std::string& event : sink.events) {
        messages.push_back(event.substr(event.find("|||||||") + 7, event.find("||FS01") - event.find("|||||||") - 7));
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"on", "on again"}));
}

TEST(EventReporter, IsoUtcText) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "1970-01-01T00:00:00Z"},          {951782400, "2000-02-29T00:00:00Z"},
        {-1, "1969-12-31T23:59:59Z"},         {2147483647, "2038-01-19T03:14:07Z"},
        {1796601600, "2026-12-07T00:00:00Z"}, {1796647496, "2026-12-07T12:44:56Z"},
    };
    for (const auto& [instant, text] : cases) {
        EXPECT_EQ(IsoUtcText(instant), text) << instant;
    }
}

} // namespace
} // namespace glimmerfen
