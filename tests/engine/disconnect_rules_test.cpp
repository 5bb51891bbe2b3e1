// The automatic disconnection rules, run through the poll against the in-process server.
#include <gtest/gtest.h>

#include "FakeServer.h"
#include "settings/Settings.h"
#include "codepage_fixture.h"
#include "monitor/AccessMonitor.h"

namespace glimmerfen {
namespace {

using testing::FakeServer;
using Deletion = FakeServer::Deletion;

struct Line {
    std::string client, user, message;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& l) {
    return out << '{' << l.client << '|' << l.user << '|' << l.message << '}';
}

class RulesMonitor : public AccessMonitor {
public:
    using AccessMonitor::AccessMonitor;
    std::vector<Line> lines;
    std::vector<std::string> order; // "access:<key>" and "disconnect:<client>" in the order they happened

protected:
    void WriteAccessLine(std::int32_t key) override { order.push_back("access:" + std::to_string(key)); }
    void WriteDisconnectLine(const std::string& client, const std::string& user, const std::string& message) override {
        lines.push_back({client, user, message});
        order.push_back("disconnect:" + client);
    }
};

// The rules' English messages; the Japanese ones are checked apart below.
class RulesTest : public test::CodePage1252Test {
protected:
    RulesTest() : monitor(settings, server) {
        settings.CycleTime1 = 20;
        settings.ViewTime = 30;
        settings.DisJuncNgPcFlag = 1; // the default
        settings.DisJuncFileStr.Set("eml");
        settings.DisJuncTimer = 20;
        monitor.CreateTable();
    }
    AppSettings settings;
    FakeServer server;
    RulesMonitor monitor;
};

TEST_F(RulesTest, DefaultsDisconnectNothing) {
    server.AddSession("PC3", "alice", 1000);
    server.AddSession("PC4", "bob", 1000);
    server.AddFile("bob", "\\mail\\a.eml");
    monitor.Poll();
    EXPECT_TRUE(server.deletions.empty());
    EXPECT_TRUE(monitor.lines.empty());
}

TEST_F(RulesTest, AcceptableListWithEmptyTextDoesNothing) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncOkPcFlag = 1;
    settings.DisJuncNgPcFlag = 0;
    server.AddSession("PC3", "alice");
    monitor.Poll();
    EXPECT_TRUE(server.deletions.empty());
}

TEST_F(RulesTest, NotAcceptableIsCutAfterItsAccessLineAndLoggedOnce) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncOkPcFlag = 1;
    settings.DisJuncNgPcFlag = 0;
    settings.DisJuncOkPcStr.Set("PC1;PC2");
    server.AddSession("pc3", "alice");
    server.AddSession("pc1", "bob");
    server.AddFile("carol", "\\x.txt"); // an open-file entry has no client name: never selected
    server.AddSession("PC5", "carol");
    monitor.Poll();
    EXPECT_EQ(server.deletions, (std::vector<Deletion>{{"\\\\pc3", "alice"}}));
    ASSERT_EQ(monitor.lines.size(), 1u);
    EXPECT_EQ(monitor.lines[0], (Line{"pc3", "alice", "Disconnect automatically for no-Acceptable PC"}));
    EXPECT_EQ(monitor.order, (std::vector<std::string>{"access:0", "access:1", "access:2", "disconnect:pc3"}));

    // Still in the table at the next poll: disconnected again, not logged again.
    monitor.Poll();
    EXPECT_EQ(server.deletions.size(), 2u);
    EXPECT_EQ(monitor.lines.size(), 1u);
}

TEST_F(RulesTest, DeniedItemsEachSelectTheEntry) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC3;;pc3;");
    server.AddSession("Pc3", "alice");
    server.AddSession("PC4", "bob");
    monitor.Poll();
    // Named by two items: disconnected twice in one poll, logged once.
    EXPECT_EQ(server.deletions, (std::vector<Deletion>{{"\\\\Pc3", "alice"}, {"\\\\Pc3", "alice"}}));
    EXPECT_EQ(monitor.lines, (std::vector<Line>{{"Pc3", "alice", "Disconnect automatically for the Denied PC"}}));
}

TEST_F(RulesTest, BothPcRulesRunWhenBothFlagsAreSet) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncOkPcFlag = 1;
    settings.DisJuncOkPcStr.Set("PC1");
    settings.DisJuncNgPcStr.Set("PC1;PC2");
    server.AddSession("PC1", "a");
    server.AddSession("PC2", "b");
    monitor.Poll();
    EXPECT_EQ(server.deletions, (std::vector<Deletion>{{"\\\\PC2", "b"}, {"\\\\PC1", "a"}, {"\\\\PC2", "b"}}));
    EXPECT_EQ(monitor.lines, (std::vector<Line>{{"PC2", "b", "Disconnect automatically for no-Acceptable PC"},
                                                {"PC1", "a", "Disconnect automatically for the Denied PC"}}));
}

TEST_F(RulesTest, ExtensionTextStartsAtTheFirstDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"\\docs\\mail.eml", "eml"},
        {"\\x\\A.Log", "log"},
        {"\\docs.old\\mail.eml", "old\\mail.eml"},
        {"\\c.tar.gz", "tar.gz"},
        {"\\noext", "\\noext"},
        {"", ""},
        {"\\share\\a.b\\c.eml", "b\\c.eml"},
        {"\\X.EML", "eml"},
    };
    for (const auto& [path, extension] : cases) {
        EXPECT_EQ(ExtensionText(path), extension) << path;
    }
}

// An open-file entry has no client name, and its disconnection asked for client "\\" alone: no server
// has one (2312), so the holder stayed connected and a failure was logged. Now the user's sessions close.
TEST_F(RulesTest, ExtensionRuleSelectsOpenFilesAndClosesTheirUsersSessions) {
    settings.DisJuncFileFlag = 1;
    settings.DisJuncFileStr.Set("eml;LOG");
    server.AddSession("PC1", "alice");
    server.AddSession("PC2", "Alice"); // the same user from another computer
    server.AddSession("PC2", "bob");
    server.AddFile("alice", "\\docs\\mail.eml", 1);
    server.AddFile("alice", "\\x\\A.Log", 2);
    server.AddFile("alice", "\\docs.old\\mail.eml", 3);
    monitor.Poll();
    // Item order first, then newest first within an item. An open-file entry has no client name: its
    // user's sessions close, once a poll; the second file shares the outcome (asking again would find
    // none of alice's sessions left and log a failure).
    EXPECT_EQ(server.deletions, (std::vector<Deletion>{{"", "alice", true}}));
    ASSERT_EQ(server.sessions.size(), 1u);
    EXPECT_EQ(server.sessions[0].userName, "bob");
    EXPECT_EQ(monitor.lines,
              (std::vector<Line>{{"", "alice", "emlDisconnect automatically for detecting an extention"},
                                 {"", "alice", "logDisconnect automatically for detecting an extention"}}));
}

TEST_F(RulesTest, TimeLimitIsStrictAndLogsOnlyFiles) {
    settings.DisJuncTimerFlag = 1;
    server.AddSession("PC1", "alice", 21);
    server.AddSession("PC2", "bob", 20);
    server.AddSession("PC3", "carol", 21);
    server.AddFile("carol", "\\f.doc");
    monitor.Poll();
    EXPECT_EQ(server.deletions, (std::vector<Deletion>{{"", "carol", true}, {"\\\\PC1", "alice"}}));
    EXPECT_EQ(monitor.lines,
              (std::vector<Line>{{"", "carol", "20seconds Since access time passed, it disconnect automatically."}}));
    // The session entry is never marked: cut again at every poll, silently; the file once logged.
    monitor.Poll();
    EXPECT_EQ(server.deletions.size(), 4u);
    EXPECT_EQ(monitor.lines.size(), 1u);
}

TEST_F(RulesTest, TimeLimitZeroIsOffAndNegativeSelectsNothing) {
    settings.DisJuncTimerFlag = 1;
    settings.DisJuncTimer = 0;
    server.AddSession("PC1", "alice", 4000000000u);
    monitor.Poll();
    settings.DisJuncTimer = -1; // unsigned: larger than any connection time
    monitor.Poll();
    EXPECT_TRUE(server.deletions.empty());
}

TEST_F(RulesTest, FailedDisconnectionLogsTheErrorAndMarks) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC3");
    server.deleteResult = 5;
    server.AddSession("PC3", "alice");
    monitor.Poll();
    monitor.Poll();
    EXPECT_EQ(server.deletions.size(), 2u);
    EXPECT_EQ(monitor.lines, (std::vector<Line>{{"PC3", "alice", "Disconnect Error (Error:5)"}}));
}

TEST_F(RulesTest, RulesReachEntriesNoLongerEnumerated) {
    settings.DisJuncPcFlag = 1;
    settings.DisJuncNgPcStr.Set("PC3");
    server.AddSession("PC3", "alice");
    monitor.Poll();
    server.RemoveSession("PC3", "alice");
    monitor.Poll();
    EXPECT_EQ(server.deletions.size(), 2u);
    EXPECT_EQ(monitor.lines.size(), 1u);
}

// The tray's notices count the sessions the rules closed: each logged cut once, a failed one never.
TEST_F(RulesTest, CutsAreCountedOnceAndTheNewestAreKept) {
    settings.DisJuncPcFlag = 1;
    std::string denied;
    for (int i = 1; i <= 12; ++i) {
        denied += "PC" + std::to_string(i) + ";";
        server.AddSession("PC" + std::to_string(i), "u" + std::to_string(i));
    }
    settings.DisJuncNgPcStr.Set(denied + "PC13");
    server.AddSession("PC13", "carol");
    server.deleteResult = 0;
    monitor.Poll();
    monitor.Poll(); // the same entries again: marked, not counted twice
    const RuleCutRecord cuts = monitor.Cuts();
    EXPECT_EQ(cuts.total, 13u);
    ASSERT_EQ(cuts.recent.size(), RuleCuts::kKeptCuts);
    EXPECT_EQ(cuts.recent.back().rule, monitor.lines.back().message);
    EXPECT_EQ(cuts.recent.back().client + "|" + cuts.recent.back().user,
              monitor.lines.back().client + "|" + monitor.lines.back().user);

    server.deleteResult = 5;
    server.AddSession("PC14", "dave");
    settings.DisJuncNgPcStr.Set("PC14");
    monitor.Poll();
    EXPECT_EQ(monitor.Cuts().total, 13u) << "a session the server would not close was not cut";
}

class RulesJapaneseTest : public test::CodePage932Test {
protected:
    RulesJapaneseTest() : monitor(settings, server) { monitor.CreateTable(); }
    AppSettings settings;
    FakeServer server;
    RulesMonitor monitor;
};

TEST_F(RulesJapaneseTest, ExtensionMessage) {
    settings.DisJuncFileFlag = 1;
    settings.DisJuncFileStr.Set("eml");
    server.AddSession("PC1", "alice");
    server.AddFile("alice", "\\x.EML");
    monitor.Poll();
    ASSERT_EQ(monitor.lines.size(), 1u);
    // "を検知し自動切断" in code page 932, after the extension text.
    EXPECT_EQ(monitor.lines[0].message, "eml\x82\xf0\x8c\x9f\x92\x6d\x82\xb5\x8e\xa9\x93\xae\x90\xd8\x92\x66");
}

} // namespace
} // namespace glimmerfen
