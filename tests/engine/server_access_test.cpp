// Enumeration rounds, session deletion and the texts made from server records.
#include <gtest/gtest.h>

#include "FakeServer.h"
#include "monitor/ServerAccess.h"
#include "platform/clock.h"

#include <cstdio>

namespace glimmerfen {
namespace {

using testing::FakeServer;

TEST(Enumeration, PagesAreJoinedInOrder) {
    FakeServer server;
    for (int i = 0; i < 7; ++i) {
        server.AddSession("PC" + std::to_string(i), "u");
        server.AddFile("u", "\\f" + std::to_string(i));
    }
    server.pageSize = 3; // rounds of 3, 3 and 1
    const auto sessions = EnumerateSessions(server);
    ASSERT_EQ(sessions.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(sessions[i].clientName, "PC" + std::to_string(i));
    }
    const auto files = EnumerateOpenFiles(server, "u");
    ASSERT_EQ(files.size(), 7u);
    EXPECT_EQ(files[6].pathName, "\\f6");
}

TEST(Enumeration, AFailingRoundKeepsWhatWasGathered) {
    FakeServer server;
    for (int i = 0; i < 5; ++i) {
        server.AddSession("PC" + std::to_string(i), "u");
    }
    server.pageSize = 2;
    server.failSessionRound = 2;
    EXPECT_EQ(EnumerateSessions(server).size(), 2u);
    server.failSessionRound = 1;
    EXPECT_TRUE(EnumerateSessions(server).empty());
}

// A server that keeps answering "more data" without a record and without moving the resume handle
// once made the enumeration ask again forever, and so hung the poll (and the program's close, which
// waits for the poll). It gives up by itself after many rounds so that the old fault fails, not hangs.
class StuckServer final : public platform::ServerPlatform {
public:
    int sessionRounds = 0;
    int fileRounds = 0;
    std::uint32_t SessionRound(std::uint32_t&, RecordList<SessionRecord>& out) override {
        if (++sessionRounds == 1) {
            SessionRecord record;
            record.clientName = "PC1";
            record.userName = "alice";
            out.push_back(record);
            return platform::kErrorMoreData; // a record: the next round is asked
        }
        return sessionRounds < 1000 ? platform::kErrorMoreData : platform::kNetSuccess;
    }
    std::uint32_t OpenFileRound(const std::string&, std::uint64_t&, RecordList<OpenFileRecord>&) override {
        return ++fileRounds < 1000 ? platform::kErrorMoreData : platform::kNetSuccess;
    }
    std::uint32_t DeleteSession(const std::optional<std::string>&, const std::string&) override {
        return platform::kNetSuccess;
    }
};

TEST(Enumeration, MoreDataWithoutProgressEndsTheEnumeration) {
    StuckServer server;
    const auto sessions = EnumerateSessions(server);
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].clientName, "PC1");
    EXPECT_EQ(server.sessionRounds, 2);
    EXPECT_TRUE(EnumerateOpenFiles(server, "alice").empty());
    EXPECT_EQ(server.fileRounds, 1);
}

TEST(Enumeration, UserFilter) {
    FakeServer server;
    server.AddFile("alice", "\\a");
    server.AddFile("bob", "\\b");
    EXPECT_EQ(EnumerateOpenFiles(server, "bob").size(), 1u);
    EXPECT_EQ(EnumerateOpenFiles(server, "").size(), 2u);
    EXPECT_TRUE(EnumerateOpenFiles(server, "carol").empty());
}

TEST(Disconnect, PassesArgumentsAndFormatsTheError) {
    FakeServer server;
    server.AddSession("PC1", "alice");
    server.AddSession("PC2", "bob");
    EXPECT_EQ(DisconnectSession(server, "\\\\PC1", "alice"), "");
    EXPECT_TRUE(DisconnectSession(server, "\\\\", "bob").ends_with("(Error:2312)"));
    // Without a client or a user name nobody is named: the server is not asked.
    EXPECT_TRUE(DisconnectAccess(server, "", "").ends_with("(Error:87)"));
    EXPECT_EQ(server.deletions, (std::vector<FakeServer::Deletion>{{"\\\\PC1", "alice"}, {"\\\\", "bob"}}));
    server.deleteResult = 5;
    const std::string text = DisconnectSession(server, "\\\\PC1", "alice");
    EXPECT_TRUE(text.ends_with("(Error:5)")) << text;
    server.deleteResult = 0xFFFFFFFFu; // shown as a signed number
    EXPECT_TRUE(DisconnectSession(server, "\\\\PC1", "alice").ends_with("(Error:-1)"));
}

TEST(Words, WholeValueComparedSoCombinationsAreUnknown) {
    const std::pair<std::uint32_t, const char*> ident[] = {
        {1, "GUEST"}, {2, "NOENCRYPTION"}, {0, "UNKNOWN"}, {3, "UNKNOWN"}};
    for (const auto& [flags, word] : ident) {
        EXPECT_STREQ(UserIdentWord(flags), word) << flags;
    }
    const std::pair<std::uint32_t, const char*> perm[] = {
        {1, "FILE READ"},     {2, "FILE WRITE"}, {4, "FILE CREATE"}, {8, "ACCESS EXEC"}, {16, "ACCESS DELETE"},
        {32, "ACCESS ATRIB"}, {64, "ACL"},       {3, "UNKNOWN"},     {0, "UNKNOWN"},     {128, "UNKNOWN"}};
    for (const auto& [value, word] : perm) {
        EXPECT_STREQ(PermissionWord(value), word) << value;
    }
}

TEST(Texts, DurationHasUnboundedHours) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "00:00:00"}, {3661, "01:01:01"}, {59, "00:00:59"}, {360000, "100:00:00"}, {4294967295u, "1193046:28:15"}};
    for (const auto& [seconds, text] : cases) {
        EXPECT_EQ(FormatDuration(seconds), text) << seconds;
    }
}

TEST(Texts, LocalTimeTextMatchesPrintf) {
    // Hand-written digits must give what "%d-%02d-%02d %02d:%02d:%02d" gives.
    for (std::int32_t instant : {0, 1026694830, 946684799, 2147483647, -1, -2147483647 - 1, 1700000000}) {
        const platform::LocalTimeParts t = platform::ToLocalTime(instant);
        char expected[96];
        std::snprintf(expected, sizeof expected, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                      t.minute, t.second);
        EXPECT_EQ(FormatLocalTime(instant), expected) << instant;
    }
}

TEST(Texts, StartTimeIsNowMinusConnectedInLocalTime) {
    // The tests run with TZ=Asia/Tokyo (UTC+9, no daylight saving).
    const std::int32_t now = 1026694830; // 2002-07-15 10:00:30 in Tokyo
    const auto [text, start] = FormatStartTime(90, now);
    EXPECT_EQ(start, now - 90);
    EXPECT_EQ(text, "2002-07-15 09:59:00");
}

} // namespace
} // namespace glimmerfen
