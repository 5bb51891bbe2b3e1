// The tray's notices: what a tick's view of the watch turns into, how one kind's changes are gathered
// into one notice per ten seconds, and when a watched file counts as closed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codepage_fixture.h"
#include "monitor/FileWatches.h"
#include "ui/tray/NoticeLogic.h"

namespace glimmerfen::ui {
namespace {

// Short texts, so that each expected notice says which template and which values it took.
NoticeTemplates Templates() {
    return {"cut %1@%2 by %3",        "%1 cuts",  "denied", "error %1", "back", "%1 waiting", "written",
            "closed %1 by %2 for %3", "%1 closed"};
}

RuleCutRecord Cuts(std::uint64_t total, std::vector<RuleCut> recent = {}) {
    return {total, std::move(recent)};
}

constexpr std::array<bool, kNoticeKindCount> kAllOn = {true, true, true, true};
constexpr std::array<bool, kNoticeKindCount> kCutsOff = {false, true, true, true};
constexpr std::array<bool, kNoticeKindCount> kServerOff = {true, false, true, true};

// One tick: the watch as the tick sees it (or files found closed), and the notices shown then.
struct Tick {
    std::int64_t ms;
    NoticeInput input;
    std::vector<std::string> shown;
    std::array<bool, kNoticeKindCount> enabled = kAllOn;
    std::vector<ClosedFile> closed = {};
};

struct Case {
    const char* name;
    std::vector<Tick> ticks;
};

TEST(NoticeBoard, GathersEachKindIntoOneNoticePerTenSeconds) {
    const RuleCut bob{"PC7", "bob", "Denied PC"};
    const RuleCut eve{"", "eve", "eml extension"};
    std::vector<RuleCut> twelve;
    for (int i = 0; i < 8; ++i) {
        twelve.push_back({"PC" + std::to_string(i), "u", "Denied PC"});
    }
    const std::vector<Case> cases = {
        {"one cut is told at once, naming the user, the computer and the rule",
         {{0, {}, {}}, {1000, {0, 0, Cuts(1, {bob})}, {"cut bob@PC7 by Denied PC"}}}},
        {"twelve cuts in one poll give one notice with the count",
         {{0, {}, {}}, {1000, {0, 0, Cuts(12, twelve)}, {"12 cuts"}}}},
        {"cuts within ten seconds of a notice wait, then come as one",
         {{0, {}, {}},
          {1000, {0, 0, Cuts(1, {bob})}, {"cut bob@PC7 by Denied PC"}},
          {4000, {0, 0, Cuts(2, {bob, eve})}, {}},
          {8000, {0, 0, Cuts(3, {bob, eve, bob})}, {}},
          {10999, {0, 0, Cuts(3, {bob, eve, bob})}, {}},
          {11000, {0, 0, Cuts(3, {bob, eve, bob})}, {"2 cuts"}},
          {21000, {0, 0, Cuts(3, {bob, eve, bob})}, {}}}},
        {"a single cut held back names that cut",
         {{0, {}, {}},
          {0, {0, 0, Cuts(1, {bob})}, {"cut bob@PC7 by Denied PC"}},
          {5000, {0, 0, Cuts(2, {bob, eve})}, {}},
          {10000, {0, 0, Cuts(2, {bob, eve})}, {"cut eve@ by eml extension"}}}},
        {"the cuts a service made before the window started are not told",
         {{0, {0, 0, Cuts(40, {bob})}, {}}, {1000, {0, 0, Cuts(41, {bob, eve})}, {"cut eve@ by eml extension"}}}},
        {"a restarted service counts from nothing again",
         {{0, {0, 0, Cuts(40, {bob})}, {}}, {1000, {0, 0, Cuts(2, {bob, eve})}, {"2 cuts"}}}},
        {"with the kind's box cleared, cuts give nothing, not even once it is ticked again",
         {{0, {}, {}},
          {1000, {0, 0, Cuts(12, twelve)}, {}, kCutsOff},
          {20000, {0, 0, Cuts(12, twelve)}, {}},
          {30000, {0, 0, Cuts(13, {bob})}, {"cut bob@PC7 by Denied PC"}}}},
        {"a server that cannot be reached, and that answers again",
         {{0, {}, {}}, {1000, {53, 0, {}}, {"error 53"}}, {5000, {53, 0, {}}, {}}, {30000, {0, 0, {}}, {"back"}}}},
        {"access denied has its own text; a server failing at the start is told", {{0, {5, 0, {}}, {"denied"}}}},
        {"failing and answering again between two notices tells nothing more",
         {{0, {}, {}},
          {1000, {53, 0, {}}, {"error 53"}},
          {13000, {0, 0, {}}, {"back"}},
          {15000, {53, 0, {}}, {}},
          {17000, {0, 0, {}}, {}},
          {30000, {0, 0, {}}, {}}}},
        {"a server answering again within the gap is told when the gap ends",
         {{0, {}, {}}, {1000, {53, 0, {}}, {"error 53"}}, {3000, {0, 0, {}}, {}}, {11000, {0, 0, {}}, {"back"}}}},
        {"with the server's box cleared nothing is told, and a later 'again' has nothing to follow",
         {{0, {}, {}}, {1000, {53, 0, {}}, {}, kServerOff}, {30000, {0, 0, {}}, {}}}},
        {"log lines wait and are written; the kinds are timed apart",
         {{0, {}, {}},
          {1000, {53, 3, Cuts(1, {bob})}, {"cut bob@PC7 by Denied PC", "error 53", "3 waiting"}},
          {2000, {53, 7, {}}, {}},
          {12000, {53, 0, {}}, {"written"}}}},
        {"a closed watched file tells its path, holder and duration; two within the gap are counted",
         {{0, {}, {}},
          {1000, {}, {"closed C:\\s\\a.xls by bob for 01:01:05"}, kAllOn, {{"C:\\s\\a.xls", "bob", 3665}}},
          {2000, {}, {}, kAllOn, {{"C:\\s\\b.doc", "eve", 5}}},
          {3000, {}, {}, kAllOn, {{"C:\\s\\c.doc", "eve", 5}}},
          {11000, {}, {"2 closed"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NoticeBoard board(Templates());
        for (const Tick& t : c.ticks) {
            board.Observe(t.input, t.enabled);
            board.AddClosed(t.closed);
            std::vector<std::string> shown;
            for (const Notice& n : board.Due(t.ms)) {
                shown.push_back(n.text);
            }
            EXPECT_EQ(shown, t.shown) << "at " << t.ms << " ms";
        }
    }
}

TEST(NoticeBoard, OnlyASingleCutCarriesTheRowToSelect) {
    NoticeBoard board(Templates());
    board.Observe({}, kAllOn);
    board.Observe({0, 0, Cuts(1, {{"PC7", "bob", "r"}})}, kAllOn);
    const std::vector<Notice> one = board.Due(0);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].cut, (RuleCut{"PC7", "bob", "r"}));
    board.Observe({0, 0, Cuts(3, {{"PC7", "bob", "r"}, {"PC8", "al", "r"}})}, kAllOn);
    const std::vector<Notice> many = board.Due(10000);
    ASSERT_EQ(many.size(), 1u);
    EXPECT_FALSE(many[0].cut);
}

AccessEntry Open(std::string path, std::string user, std::int32_t fileId, float stale = 0.0f) {
    AccessEntry e;
    e.pathName = std::move(path);
    e.userName = std::move(user);
    e.fileId = fileId;
    e.staleSeconds = stale;
    return e;
}

class WatchClosedTest : public test::CodePage932Test {};

TEST_F(WatchClosedTest, AFileIsStillOpenOnlyInTheSameOpeningByTheSameHolder) {
    // "ア" is 83 41 and "ヂ" 83 61: a trail byte that is a letter must not be compared as one.
    const WatchedFile watch{"C:\\Share\\\x83\x41.xls", "Bob", 42, 0};
    struct Row {
        const char* name;
        AccessEntry entry;
        bool open;
    } rows[] = {
        {"the same opening, enumerated by the last poll", Open("C:\\Share\\\x83\x41.xls", "Bob", 42), true},
        {"letter case of path and user aside", Open("c:\\SHARE\\\x83\x41.XLS", "BOB", 42), true},
        {"not enumerated by the last poll", Open("C:\\Share\\\x83\x41.xls", "Bob", 42, 0.02f), false},
        {"held again by someone else", Open("C:\\Share\\\x83\x41.xls", "eve", 43), false},
        {"someone else with the same id", Open("C:\\Share\\\x83\x41.xls", "eve", 42), false},
        {"opened again by the same user", Open("C:\\Share\\\x83\x41.xls", "Bob", 43), false},
        {"a double-byte name that differs only in its trail byte", Open("C:\\Share\\\x83\x61.xls", "Bob", 42), false},
        {"a session entry of the holder", Open("", "Bob", 42), false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(StillOpen(watch, r.entry), r.open) << r.name;
    }
}

TEST(FileWatches, APollThatNoLongerFindsTheFileEndsTheWatchOnce) {
    FileWatches watches;
    ASSERT_TRUE(watches.Toggle({"C:\\s\\a.xls", "bob", 1, 1000}));
    ASSERT_TRUE(watches.Toggle({"C:\\s\\b.xls", "eve", 2, 1000}));
    std::vector<AccessEntry> poll = {Open("C:\\s\\a.xls", "bob", 1), Open("C:\\s\\b.xls", "eve", 2)};
    const auto check = [&](bool failed, std::int32_t now) {
        watches.Check(
            [&](auto&& visit) {
                for (const AccessEntry& e : poll) {
                    visit(e);
                }
            },
            failed, now);
    };
    check(false, 1010);
    EXPECT_TRUE(watches.TakeClosed().empty());
    // A failed poll sees nobody: that closes nothing.
    poll.clear();
    check(true, 1020);
    EXPECT_TRUE(watches.TakeClosed().empty());
    EXPECT_EQ(watches.Count(), 2u);
    // a.xls is held again by someone else before the poll: closed for bob.
    poll = {Open("C:\\s\\a.xls", "carol", 9), Open("C:\\s\\b.xls", "eve", 2)};
    check(false, 1030);
    EXPECT_EQ(watches.TakeClosed(), (std::vector<ClosedFile>{{"C:\\s\\a.xls", "bob", 30}}));
    EXPECT_FALSE(watches.Watched("C:\\s\\a.xls", "bob"));
    check(false, 1040);
    EXPECT_TRUE(watches.TakeClosed().empty()) << "told once";
    // The command chosen again on a watched row ends its watch without a notice.
    EXPECT_FALSE(watches.Toggle({"c:\\S\\B.XLS", "EVE", 2, 1050}));
    poll.clear();
    check(false, 1060);
    EXPECT_TRUE(watches.TakeClosed().empty());
}

} // namespace
} // namespace glimmerfen::ui
