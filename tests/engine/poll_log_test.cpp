// The poll writing the access log: exact lines for new accesses and automatic disconnections, and
// what happens when the log cannot be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

#include "FakeServer.h"
#include "settings/Settings.h"
#include "codepage_fixture.h"
#include "monitor/log/AccessLog.h"
#include "monitor/AccessMonitor.h"
#include "monitor/ServerAccess.h"
#include "platform/clock.h"
#include "platform/exclusive_file.h"
#include "platform/notify.h"
#ifndef _WIN32
#include "platform/posix/testing.h"
#endif
#include "temp_dir.h"

namespace glimmerfen {
namespace {

using testing::FakeServer;

class PollLogTest : public test::CodePage1252Test {
protected:
    PollLogTest()
        : log(dir.File("log.txt"), "GlimmerfenChecker", AccessLog::Limits{}), monitor(settings, server, &log) {
        settings.LogOut = 1;
        settings.CycleTime1 = 20;
        settings.ViewTime = 30;
        settings.DisJuncNgPcFlag = 1;
        monitor.CreateTable();
        previousSink = platform::SetMessageSinkForTesting(
            [this](const std::string& text, const std::string& caption, platform::MessageIcon) {
                messages.push_back(caption + "|" + text);
            });
    }
    ~PollLogTest() override { platform::SetMessageSinkForTesting(previousSink); }

    std::string Log() const { return test::ReadBytes(dir.File("log.txt")); }
    AccessEntry Newest() const { return monitor.Snapshot().entries.front(); }

    test::TempDir dir;
    AppSettings settings;
    FakeServer server;
    AccessLog log;
    AccessMonitor monitor;
    std::vector<std::string> messages;
    platform::MessageSink previousSink;
};

TEST_F(PollLogTest, NewAccessesGiveOneLineEach) {
    server.AddSession("PC1", "alice", 90, 0, 1, "Windows 10");
    monitor.Poll();
    const AccessEntry session = Newest();
    server.AddSession("PC2", "bob", 30);
    server.AddFile("bob", "\\share\\a.doc", 77, 2, 1);
    monitor.Poll();
    monitor.Poll(); // nothing new
    const AccessEntry file = Newest();

    const std::string expected = std::to_string(session.startTime) + "\tPC1\talice\t" + session.startTimeText +
                                 "\tGUEST\tWindows 10\t0\t\t\t\t\r\n" + std::to_string(file.startTime) + "\t\tbob\t" +
                                 file.startTimeText + "\t\t\t77\tFILE WRITE\t\\share\\a.doc\t\t\r\n";
    EXPECT_EQ(Log(), expected);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PollLogTest, DisconnectionFollowsTheAccessLine) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("pc3");
    server.AddSession("PC3", "carol");
    const std::int32_t before = platform::NowSeconds();
    monitor.Poll();
    const AccessEntry e = Newest();
    EXPECT_EQ(server.deletions, (std::vector<FakeServer::Deletion>{{"\\\\PC3", "carol"}}));

    const std::string text = Log();
    const std::size_t firstEnd = text.find("\r\n");
    ASSERT_NE(firstEnd, std::string::npos);
    EXPECT_EQ(text.substr(0, firstEnd),
              std::to_string(e.startTime) + "\tPC3\tcarol\t" + e.startTimeText + "\tUNKNOWN\tWindows\t0\t\t\t\t");
    const std::string second = text.substr(firstEnd + 2);
    // The time of writing in fields 0 and 3 from one clock reading, the message in field 9.
    const std::int32_t written = std::atoi(second.c_str());
    EXPECT_GE(written, before);
    EXPECT_EQ(second, std::to_string(written) + "\tPC3\tcarol\t" + FormatLocalTime(written) +
                          "\t\t\t\t\t\tDisconnect automatically for the Denied PC\t\r\n");
}

TEST_F(PollLogTest, LogSwitchesAreRead) {
    settings.LogOut = 0;
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC3");
    server.AddSession("PC3", "carol");
    monitor.Poll();
    EXPECT_FALSE(std::filesystem::exists(dir.File("log.txt")));

    settings.LogOut = 1;
    settings.LogChkDisMsg = 1;
    settings.LogChkOkPc = 1;
    settings.DisJuncOkPcStr.Set("PC1;PC2");
    server.AddSession("pc2", "dave"); // acceptable: no access line
    server.AddSession("PC9", "erin");
    server.AddSession("PC3", "frank"); // denied: cut, but disconnect lines are off
    monitor.Poll();
    const std::string text = Log();
    EXPECT_EQ(text.find("dave"), std::string::npos);
    EXPECT_NE(text.find("\tPC9\terin\t"), std::string::npos);
    EXPECT_NE(text.find("\tPC3\tfrank\t"), std::string::npos);
    EXPECT_EQ(text.find("Denied"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(PollLogTest, UnopenableLogIsReportedOncePerPollAfterTheTableIsFree) {
    platform::ExclusiveFile holder; // as the log viewer holds it
    ASSERT_TRUE(holder.Open(dir.File("log.txt"), platform::FileOpenMode::ReadWriteAlways));
    server.AddSession("PC1", "alice");
    server.AddSession("PC2", "bob");
    bool tableFreeDuringBox = false;
    platform::SetMessageSinkForTesting([&](const std::string& text, const std::string&, platform::MessageIcon) {
        messages.push_back(text);
        // A reader on another thread would get the table now: the poll holds no lock while the box is up.
        tableFreeDuringBox = monitor.Snapshot().entryCount == 2;
    });
    monitor.Poll();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Preservation of a log went wrong.\n" + dir.File("log.txt"));
    EXPECT_TRUE(tableFreeDuringBox);
    EXPECT_EQ(monitor.Snapshot().entryCount, 2); // the entries stay, their lines are lost
    holder.Close();
    EXPECT_EQ(Log(), "");

    server.AddSession("PC3", "carol");
    monitor.Poll();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_NE(Log().find("\tPC3\tcarol\t"), std::string::npos);
}

// Whether another thread gets the table's lock within 10 s: what the list window's next click or
// refresh would meet at that moment. The readers are joined at the end, once the poll has let go.
class TableProbe {
public:
    explicit TableProbe(const AccessMonitor& monitor) : monitor_(monitor) {}
    ~TableProbe() {
        for (std::thread& t : readers_) {
            t.join();
        }
    }
    bool TableIsFree() {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> got = done->get_future();
        readers_.emplace_back([this, done] {
            (void)monitor_.EntryCount();
            done->set_value();
        });
        return got.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    }

private:
    const AccessMonitor& monitor_;
    std::vector<std::thread> readers_;
};

// The poll used to keep the table locked while the rules closed sessions on the server and while the
// lines were appended to the log: a slow server or disk froze every reader, the window among them.
TEST_F(PollLogTest, ServerCallsAndLogWritesHappenWithTheTableFree) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC3");
    server.AddSession("PC3", "carol");
    std::vector<bool> freeDuringDelete;
    TableProbe table(monitor);
    server.onDelete = [&] { freeDuringDelete.push_back(table.TableIsFree()); };
    monitor.Poll();
    EXPECT_EQ(freeDuringDelete, std::vector<bool>{true});
    EXPECT_NE(Log().find("Denied PC"), std::string::npos);
}

#ifndef _WIN32
// Counts the openings of the log and looks at the table's lock inside each.
struct OpeningProbe {
    TableProbe* table = nullptr;
    int openings = 0;
    bool tableFree = false;
    static void Hook(void* context) {
        auto* probe = static_cast<OpeningProbe*>(context);
        // The first opening tells: a poll that still held the table would keep it for every line.
        if (++probe->openings == 1) {
            probe->tableFree = probe->table->TableIsFree();
        }
    }
};

// A poll that met many new accesses opened, wrote and closed the log once per line (about a
// millisecond each under Wine, seconds for thousands of accesses), with the table locked throughout.
TEST_F(PollLogTest, APollWritesItsLinesThroughOneOpeningPerKind) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC007;PC042");
    for (int i = 0; i < 100; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "PC%03d", i);
        server.AddSession(name, "user" + std::to_string(i));
    }
    TableProbe table(monitor);
    OpeningProbe probe;
    probe.table = &table;
    platform::SetBetweenOpenAndLockHookForTesting(&OpeningProbe::Hook, &probe);
    monitor.Poll();
    platform::SetBetweenOpenAndLockHookForTesting(nullptr, nullptr);

    EXPECT_EQ(probe.openings, 2) << "one for the access lines, one for the disconnect lines";
    EXPECT_TRUE(probe.tableFree);
    const std::string text = Log();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 102);
    // The newest access first in the table is the last line written: lines follow the server's order.
    EXPECT_LT(text.find("\tPC000\t"), text.find("\tPC099\t"));
    EXPECT_LT(text.find("\tPC099\t"), text.find("Denied PC"));
    EXPECT_TRUE(messages.empty());
}
#endif

} // namespace
} // namespace glimmerfen
