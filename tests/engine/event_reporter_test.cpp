// Events beside the log: what a run of polls reports, in order, and the writer's bound.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
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

using testing::FakeServer;

struct Reported {
    platform::EventType type;
    std::uint32_t id;
    std::vector<std::string> strings;
};

// Records what is reported; while held, Report waits, as a slow event log would.
class RecordingSink final : public platform::EventSink {
public:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<Reported> events;
        bool held = false;
    };
    explicit RecordingSink(State& state) : state_(state) {}
    bool Report(platform::EventType type, std::uint32_t id, const std::vector<std::string>& strings) override {
        std::unique_lock<std::mutex> lock(state_.mutex);
        state_.changed.wait(lock, [&] { return !state_.held; });
        state_.events.push_back({type, id, strings});
        state_.changed.notify_all();
        return true;
    }

private:
    State& state_;
};

std::vector<Reported> WaitFor(RecordingSink::State& state, std::size_t count) {
    std::unique_lock<std::mutex> lock(state.mutex);
    state.changed.wait_for(lock, std::chrono::seconds(10), [&] { return state.events.size() >= count; });
    return state.events;
}

class EventPollTest : public test::CodePage1252Test {
protected:
    EventPollTest()
        : events(std::make_unique<RecordingSink>(sink), "FS01"), log(dir.File("log.txt"), "GlimmerfenChecker"),
          monitor(settings, server, &log) {
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

    test::TempDir dir;
    RecordingSink::State sink;
    AppSettings settings;
    FakeServer server;
    EventReporter events;
    AccessLog log;
    AccessMonitor monitor;
};

TEST_F(EventPollTest, AccessesRulesAndServerStatesInTheOrderOfTheirLines) {
    server.AddSession("PC1", "alice", 90);
    // One event per new entry, as one line: alice's session shows as her open file.
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

    const std::vector<Reported> got = WaitFor(sink, 6);
    ASSERT_EQ(got.size(), 6u);
    const std::string rule = platform::LoadText(IDS_DISCONNECT_DENIED);
    struct Expected {
        platform::EventType type;
        std::uint32_t id;
        std::vector<std::string> strings; // the connection's start (%8) is checked apart
    };
    const Expected expected[] = {
        {platform::EventType::Information,
         kEventAccess,
         {"", "", "alice", "C:\\share\\budget.xls", "FILE READ", "2", "", "", "FS01"}}, // a file names no client
        {platform::EventType::Information, kEventAccess, {"PC3", "", "bob", "", "", "", "", "", "FS01"}},
        {platform::EventType::Warning, kEventDisconnectedByRule, {"PC3", "", "bob", "", "", "", rule, "", "FS01"}},
        {platform::EventType::Error, kEventServerAccessDenied, {"", "", "", "", "", "", "5", "", "FS01"}},
        {platform::EventType::Information, kEventServerAnswers, {"", "", "", "", "", "", "", "", "FS01"}},
        {platform::EventType::Error, kEventServerError, {"", "", "", "", "", "", "53", "", "FS01"}},
    };
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].id, expected[i].id) << i;
        EXPECT_EQ(got[i].type, expected[i].type) << i;
        ASSERT_EQ(got[i].strings.size(), 9u) << i;
        std::vector<std::string> strings = got[i].strings;
        const std::string start = strings[7];
        strings[7].clear();
        EXPECT_EQ(strings, expected[i].strings) << i;
        if (i < 3) {
            // The connection's start as the table has it, in UTC.
            std::string tableStart;
            for (const AccessEntry& e : monitor.Snapshot().entries) {
                if (e.userName == strings[2]) {
                    tableStart = IsoUtcText(e.startTime);
                }
            }
            EXPECT_EQ(start, tableStart) << i;
        } else {
            EXPECT_EQ(start, "") << i;
        }
    }
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
    const std::vector<Reported> got = WaitFor(sink, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].strings[0], "PC3");
    EXPECT_EQ(got[0].id, kEventAccess);
}

TEST(EventReporter, PastTheBoundNewEventsAreDroppedAndCountedWhereTheyWouldHaveBeen) {
    RecordingSink::State sink;
    sink.held = true;
    std::vector<Reported> got;
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
        // The writer may take the first batch before the held sink stops it; either way 0..3 fit, as
        // do 0 and 1 of each later batch while the one before is still queued.
        post(1); // 0
        post(5); // 1 2 3 fit, 4 5 dropped (or 1 2 3 4 and 5 when 0 is already out)
        post(2); // dropped behind them: the queue is full
        {
            std::lock_guard<std::mutex> lock(sink.mutex);
            sink.held = false;
        }
        sink.changed.notify_all();
    } // the reporter's end writes everything queued
    got = sink.events;
    std::vector<std::string> seen;
    for (const Reported& r : got) {
        seen.push_back(r.id == kEventEventsDropped ? "dropped " + r.strings[6] : r.strings[6]);
        EXPECT_EQ(r.strings[8], "FS01");
    }
    const std::vector<std::string> queuedFirst = {"0", "1", "2", "3", "dropped 4"};
    const std::vector<std::string> takenFirst = {"0", "1", "2", "3", "4", "dropped 3"};
    EXPECT_TRUE(seen == queuedFirst || seen == takenFirst) << ::testing::PrintToString(seen);
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
