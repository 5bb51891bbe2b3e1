// The poll: which accesses become entries, when they are new, how they age out.
#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <random>
#include <thread>

#include "FakeServer.h"
#include "LinearPoll.h"
#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"
#include "platform/clock.h"

namespace glimmerfen {
namespace {

using testing::FakeServer;

class RecordingMonitor : public AccessMonitor {
public:
    using AccessMonitor::AccessMonitor;
    std::vector<std::int32_t> newKeys;
    std::vector<std::string> newClients;
    void SetNextKey(std::int32_t key) { nextKey_ = key; }

protected:
    void WriteAccessLine(std::int32_t key) override {
        newKeys.push_back(key);
        const AccessEntry* e = table_->FindEntry(key);
        newClients.push_back(e != nullptr ? e->clientName + "|" + e->userName + "|" + e->pathName : "?");
    }
};

class PollTest : public ::testing::Test {
protected:
    PollTest() : monitor(settings, server) {
        settings.CycleTime1 = 250; // a quarter second: exact in binary, so aging is easy to count
        settings.ViewTime = 2;
        monitor.CreateTable();
    }

    TableSnapshot Table() const { return monitor.Snapshot(); }

    AppSettings settings;
    FakeServer server;
    RecordingMonitor monitor;
};

TEST_F(PollTest, NoTableMeansNoPoll) {
    AppSettings s;
    FakeServer srv;
    srv.AddSession("PC1", "alice");
    RecordingMonitor m(s, srv);
    m.Poll();
    EXPECT_FALSE(m.Snapshot().hasTable);
    EXPECT_TRUE(srv.fileQueries.empty());
    m.CreateTable();
    m.Poll();
    m.ReleaseTable();
    m.Poll();
    const TableSnapshot t = m.Snapshot();
    EXPECT_FALSE(t.hasTable);
    EXPECT_EQ(t.entryCount, 0);
    EXPECT_EQ(srv.fileQueries.size(), 1u);
}

TEST_F(PollTest, EmptyServerAsksNoFiles) {
    monitor.Poll();
    const TableSnapshot t = Table();
    EXPECT_TRUE(t.hasTable);
    EXPECT_EQ(t.entryCount, 0);
    EXPECT_EQ(t.nextKey, 0);
    EXPECT_TRUE(server.fileQueries.empty());
}

TEST_F(PollTest, NewSessionBecomesOneEntryWithItsValues) {
    server.AddSession("PC1", "alice", 3661, 61, 1, "Windows 10").openCount = 0;
    const std::int32_t before = platform::NowSeconds();
    monitor.Poll();
    const std::int32_t after = platform::NowSeconds();

    const TableSnapshot t = Table();
    ASSERT_EQ(t.entries.size(), 1u);
    EXPECT_EQ(t.entryCount, 1);
    EXPECT_EQ(t.nextKey, 1);
    const AccessEntry& e = t.entries[0];
    EXPECT_EQ(e.key, 0);
    EXPECT_EQ(e.clientName, "PC1");
    EXPECT_EQ(e.userName, "alice");
    EXPECT_EQ(e.connectedText, "01:01:01");
    EXPECT_EQ(e.idleText, "00:01:01");
    EXPECT_EQ(e.connectedSeconds, 3661u);
    EXPECT_EQ(e.userIdent, "GUEST");
    EXPECT_EQ(e.clientType, "Windows 10");
    EXPECT_EQ(e.pathName, "");
    EXPECT_EQ(e.operation, "");
    EXPECT_EQ(e.fileId, 0);
    EXPECT_GE(e.startTime, before - 3661);
    EXPECT_LE(e.startTime, after - 3661);
    EXPECT_EQ(e.startTimeText, FormatLocalTime(e.startTime));
    EXPECT_EQ(e.staleSeconds, 0.0f);
    EXPECT_EQ(e.disconnected, 0);
    EXPECT_EQ(monitor.newKeys, (std::vector<std::int32_t>{0}));
}

TEST_F(PollTest, SameSessionStaysOneEntryAndFollowsTheServer) {
    SessionRecord& s = server.AddSession("PC1", "alice", 10, 1);
    monitor.Poll();
    s.connectedSeconds = 70;
    s.idleSeconds = 3600;
    s.openCount = 4;
    monitor.Poll();
    const TableSnapshot t = Table();
    ASSERT_EQ(t.entries.size(), 1u);
    EXPECT_EQ(t.entries[0].key, 0);
    EXPECT_EQ(t.entries[0].connectedText, "00:01:10");
    EXPECT_EQ(t.entries[0].idleText, "01:00:00");
    EXPECT_EQ(t.entries[0].openCount, 4);
    EXPECT_EQ(t.nextKey, 1);
    EXPECT_EQ(monitor.newKeys.size(), 1u);
}

TEST_F(PollTest, VanishedEntryAgesByPollsThenGoes) {
    server.AddSession("PC1", "alice");
    monitor.Poll();
    server.RemoveSession("PC1", "alice");
    // 0.25 s per unseen poll; removed when the truncated age exceeds ViewTime 2, i.e. at 3.0 s.
    for (int unseen = 1; unseen <= 11; ++unseen) {
        monitor.Poll();
        const TableSnapshot t = Table();
        ASSERT_EQ(t.entries.size(), 1u) << "after " << unseen << " unseen polls";
        EXPECT_FLOAT_EQ(t.entries[0].staleSeconds, 0.25f * unseen);
    }
    monitor.Poll();
    EXPECT_EQ(Table().entries.size(), 0u);
    EXPECT_EQ(Table().entryCount, 0);
}

TEST_F(PollTest, ViewTimeZeroRemovesAtOneSecond) {
    settings.ViewTime = 0;
    settings.CycleTime1 = 500;
    server.AddSession("PC1", "alice");
    monitor.Poll();
    server.RemoveSession("PC1", "alice");
    monitor.Poll();
    EXPECT_EQ(Table().entryCount, 1);
    monitor.Poll();
    EXPECT_EQ(Table().entryCount, 0);
}

TEST_F(PollTest, SeenAgainBeforeRemovalIsTheSameAccess) {
    server.AddSession("PC1", "alice");
    monitor.Poll();
    server.RemoveSession("PC1", "alice");
    for (int i = 0; i < 11; ++i) {
        monitor.Poll();
    }
    server.AddSession("PC1", "alice");
    monitor.Poll();
    const TableSnapshot t = Table();
    ASSERT_EQ(t.entries.size(), 1u);
    EXPECT_EQ(t.entries[0].key, 0);
    EXPECT_EQ(t.entries[0].staleSeconds, 0.0f);
    EXPECT_EQ(monitor.newKeys.size(), 1u);
}

TEST_F(PollTest, ComingBackAfterRemovalIsANewAccessWithANewKey) {
    server.AddSession("PC1", "alice");
    server.AddSession("PC2", "bob");
    monitor.Poll(); // keys 0 (alice) and 1 (bob)
    server.RemoveSession("PC1", "alice");
    for (int i = 0; i < 12; ++i) {
        monitor.Poll();
    }
    ASSERT_EQ(Table().entryCount, 1);
    server.AddSession("PC1", "alice");
    monitor.Poll();
    const TableSnapshot t = Table();
    EXPECT_EQ(t.entryCount, 2);
    EXPECT_EQ(t.nextKey, 3);
    ASSERT_EQ(t.entries.size(), 2u);
    EXPECT_EQ(t.entries[0].key, 2); // newest first
    EXPECT_EQ(t.entries[0].clientName, "PC1");
    EXPECT_EQ(t.entries[1].key, 1);
    EXPECT_EQ(monitor.newKeys, (std::vector<std::int32_t>{0, 1, 2}));
}

TEST_F(PollTest, OpenFilesReplaceTheSessionEntry) {
    server.AddSession("PC1", "alice", 100, 2);
    monitor.Poll();
    server.AddFile("alice", "\\docs\\a.txt", 11, 1, 0);
    server.AddFile("alice", "\\docs\\b.txt", 12, 3, 2);
    monitor.Poll();

    TableSnapshot t = Table();
    ASSERT_EQ(t.entries.size(), 3u);
    EXPECT_EQ(t.entries[0].pathName, "\\docs\\b.txt");
    EXPECT_EQ(t.entries[0].clientName, "");
    EXPECT_EQ(t.entries[0].operation, "UNKNOWN"); // 3 is read and write together
    EXPECT_EQ(t.entries[0].lockCount, 2);
    EXPECT_EQ(t.entries[0].fileId, 12);
    EXPECT_EQ(t.entries[0].connectedText, "00:01:40");
    EXPECT_EQ(t.entries[0].userIdent, "");
    EXPECT_EQ(t.entries[0].clientType, "");
    EXPECT_EQ(t.entries[1].pathName, "\\docs\\a.txt");
    EXPECT_EQ(t.entries[1].operation, "FILE READ");
    EXPECT_EQ(t.entries[2].clientName, "PC1"); // the session entry, no longer seen
    EXPECT_FLOAT_EQ(t.entries[2].staleSeconds, 0.25f);

    // Files held until the session entry has aged out (3 s of quarter-second polls) ...
    for (int i = 0; i < 11; ++i) {
        monitor.Poll();
    }
    ASSERT_EQ(Table().entryCount, 2);
    // ... and then closed: the session is a new access again, the file entries age.
    server.CloseFiles("alice");
    monitor.Poll();
    t = Table();
    EXPECT_EQ(t.entries[0].key, 3);
    EXPECT_EQ(t.entries[0].clientName, "PC1");
    EXPECT_FLOAT_EQ(t.entries[1].staleSeconds, 0.25f);
    EXPECT_EQ(t.entryCount, 3);
    EXPECT_EQ(monitor.newKeys, (std::vector<std::int32_t>{0, 1, 2, 3}));
}

TEST_F(PollTest, FilesClosedQuicklyGiveTheOldSessionEntryBack) {
    server.AddSession("PC1", "alice");
    monitor.Poll();
    server.AddFile("alice", "\\docs\\a.txt");
    monitor.Poll();
    server.CloseFiles("alice");
    monitor.Poll();
    const TableSnapshot t = Table();
    ASSERT_EQ(t.entries.size(), 2u);
    EXPECT_EQ(t.entries[1].key, 0);
    EXPECT_EQ(t.entries[1].staleSeconds, 0.0f);
    EXPECT_FLOAT_EQ(t.entries[0].staleSeconds, 0.25f);
    EXPECT_EQ(monitor.newKeys, (std::vector<std::int32_t>{0, 1}));
}

TEST_F(PollTest, IdentityRules) {
    // Two clients, same user, no files: two session entries.
    server.AddSession("PC1", "carol");
    server.AddSession("PC2", "carol");
    // Two clients, same user, same path: one open-file entry.
    server.AddSession("PC3", "dave");
    server.AddSession("PC4", "dave");
    server.AddFile("dave", "\\share\\x.doc");
    // Names are compared byte for byte: case matters.
    server.AddSession("pc1", "carol");
    monitor.Poll();
    EXPECT_EQ(Table().entryCount, 4);
    EXPECT_EQ(monitor.newClients,
              (std::vector<std::string>{"PC1|carol|", "PC2|carol|", "|dave|\\share\\x.doc", "pc1|carol|"}));
}

TEST_F(PollTest, EmptyNamesNeverBecomeEntries) {
    // No user: no session entry, and its file query has no filter, so every open file of the server
    // with a user and a path becomes an entry.
    server.AddSession("PC1", "");
    server.AddFile("erin", "\\a\\1.txt");
    server.AddFile("", "\\a\\2.txt");
    server.AddFile("frank", "");
    // A session with files but no client name gives nothing.
    server.AddSession("", "erin");
    monitor.Poll();
    EXPECT_EQ(monitor.newClients, (std::vector<std::string>{"|erin|\\a\\1.txt"}));
    // One enumeration without a user filter serves both sessions.
    EXPECT_EQ(server.fileQueries, (std::vector<std::string>{""}));
}

// However many sessions, a poll asks the server twice: once for the sessions, once for every open file;
// each session gets its user's files in the server's order, the user's name matched without regard to
// letter case as the server matches it (a file entry keeps the name the file was reported with).
TEST_F(PollTest, OnePollIsOneSessionAndOneFileEnumeration) {
    for (int i = 0; i < 100; ++i) {
        server.AddSession("PC" + std::to_string(i), "user" + std::to_string(i % 10));
    }
    server.AddSession("PCX", "DAVE");
    server.AddFile("dave", "\\s\\b.doc", 2);
    server.AddFile("user3", "\\s\\c.doc", 3);
    server.AddFile("Dave", "\\s\\a.doc", 1);
    monitor.Poll();
    EXPECT_EQ(server.calls, 2);
    EXPECT_EQ(server.fileQueries, (std::vector<std::string>{""}));
    EXPECT_EQ(monitor.newClients.size(), 100u - 10u + 1u + 2u); // user3's ten sessions share one file entry
    const std::vector<std::string> dave(monitor.newClients.end() - 2, monitor.newClients.end());
    EXPECT_EQ(dave, (std::vector<std::string>{"|dave|\\s\\b.doc", "|Dave|\\s\\a.doc"}));
    monitor.Poll();
    EXPECT_EQ(server.calls, 4);
}

TEST_F(PollTest, UserlessSessionWithoutFilesGivesNothing) {
    server.AddSession("PC1", "");
    monitor.Poll();
    EXPECT_EQ(Table().entryCount, 0);
    EXPECT_EQ(Table().nextKey, 0);
}

TEST_F(PollTest, FailedSessionEnumerationAgesEverything) {
    server.AddSession("PC1", "alice");
    monitor.Poll();
    server.failSessionRound = 1;
    for (int i = 0; i < 12; ++i) {
        monitor.Poll();
    }
    EXPECT_EQ(Table().entryCount, 0);
}

TEST_F(PollTest, FailedFileRoundKeepsEarlierRounds) {
    server.AddSession("PC1", "alice");
    for (int i = 0; i < 5; ++i) {
        server.AddFile("alice", "\\f" + std::to_string(i));
    }
    server.pageSize = 2;
    server.failFileRound = 3;
    monitor.Poll();
    EXPECT_EQ(monitor.newClients,
              (std::vector<std::string>{"|alice|\\f0", "|alice|\\f1", "|alice|\\f2", "|alice|\\f3"}));
}

// Readers on other threads take the table between two polls, never in the middle of one: with every
// poll replacing the whole population, a snapshot holds exactly one population.
TEST(PollConcurrency, ReadersSeeWholePolls) {
    AppSettings settings;
    settings.CycleTime1 = 1000;
    settings.ViewTime = 0; // the previous population goes in the next poll
    FakeServer a, b;
    for (int i = 0; i < 200; ++i) {
        a.AddSession("A" + std::to_string(i), "u");
        b.AddSession("B" + std::to_string(i), "u");
    }
    FakeServer server;
    AccessMonitor monitor(settings, server);
    monitor.CreateTable();
    std::atomic<bool> done{false};
    std::thread poller([&] {
        for (int poll = 0; poll < 200; ++poll) {
            server.sessions = (poll % 2 == 0 ? a : b).sessions;
            monitor.Poll();
        }
        done = true;
    });
    int checked = 0;
    while (!done) {
        const TableSnapshot t = monitor.Snapshot();
        ASSERT_EQ(static_cast<std::size_t>(t.entryCount), t.entries.size());
        if (!t.entries.empty()) {
            const char population = t.entries.front().clientName[0];
            ASSERT_EQ(t.entries.size(), 200u);
            for (const AccessEntry& e : t.entries) {
                ASSERT_EQ(e.clientName[0], population);
            }
        }
        const std::int32_t count = monitor.Read([](const AccessTable* table, std::int32_t entryCount, std::int32_t) {
            return table == nullptr ? -1 : static_cast<std::int32_t>(table->Size()) - entryCount;
        });
        ASSERT_EQ(count, 0);
        ++checked;
    }
    poller.join();
    EXPECT_GT(checked, 0);
}

// The indexed poll must behave exactly like the plain linear walk, including the odd cases where a
// session without a client name meets an open-file entry of the same user and takes it over.
TEST(PollEquivalence, MatchesTheLinearWalkOnRandomTraffic) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        AppSettings settings;
        settings.CycleTime1 = 100 + static_cast<int>(rng() % 400);
        settings.ViewTime = static_cast<int>(rng() % 3);
        FakeServer server;
        RecordingMonitor monitor(settings, server);
        monitor.CreateTable();
        testing::LinearPoll reference;

        const char* clients[] = {"PC1", "PC2", "pc1", ""};
        const char* users[] = {"alice", "bob", "Alice", ""};
        const char* paths[] = {"\\a.txt", "\\b.eml", "\\A.txt", ""};
        auto pick = [&](const char* const* from) { return std::string(from[rng() % 4]); };

        for (int poll = 0; poll < 150; ++poll) {
            const unsigned action = rng() % 6;
            if (action == 0 && server.sessions.size() < 8) {
                server.AddSession(pick(clients), pick(users), rng() % 100, rng() % 10, rng() % 3);
            } else if (action == 1 && !server.sessions.empty()) {
                server.sessions.erase(server.sessions.begin() + static_cast<long>(rng() % server.sessions.size()));
            } else if (action == 2) {
                server.AddFile(pick(users), pick(paths), rng() % 50, 1u << (rng() % 8));
            } else if (action == 3 && !server.Files().empty()) {
                auto& files = server.Files();
                files.erase(files.begin() + static_cast<long>(rng() % files.size()));
            }
            monitor.Poll();
            reference.Poll(server, settings.CycleTime1, settings.ViewTime);

            const TableSnapshot t = monitor.Snapshot();
            ASSERT_EQ(t.entryCount, reference.entryCount) << "seed " << seed << " poll " << poll;
            ASSERT_EQ(t.nextKey, reference.nextKey);
            ASSERT_EQ(t.entries.size(), reference.table.size());
            auto ref = reference.table.begin();
            for (const AccessEntry& e : t.entries) {
                AccessEntry expected = ref->entry;
                // The start instant is read from the clock by each poll: compare it apart.
                EXPECT_LE(std::abs(e.startTime - expected.startTime), 1);
                expected.startTime = e.startTime;
                expected.startTimeText = e.startTimeText;
                ASSERT_EQ(e, expected) << "seed " << seed << " poll " << poll << " key " << e.key;
                ++ref;
            }
            ASSERT_EQ(monitor.newKeys, reference.newKeys);
        }
    }
}

// The key counter overflowed a signed 32-bit integer after 2^31 new accesses; it now wraps to 0 and
// passes over a key that an entry still holds.
TEST_F(PollTest, KeysWrapAfterTheLargestAndSkipKeysInUse) {
    server.AddSession("PC1", "alice");
    monitor.Poll(); // alice keeps key 0
    monitor.SetNextKey(std::numeric_limits<std::int32_t>::max());
    server.AddSession("PC2", "bob");
    monitor.Poll();
    server.AddSession("PC3", "carol");
    monitor.Poll();
    EXPECT_EQ(monitor.newKeys, (std::vector<std::int32_t>{0, std::numeric_limits<std::int32_t>::max(), 1}));
    EXPECT_EQ(Table().nextKey, 2);
    EXPECT_EQ(Table().entryCount, 3);
}

} // namespace
} // namespace glimmerfen
