// The access table's operations and its indexes.
#include <gtest/gtest.h>

#include "monitor/AccessTable.h"

#include <random>

namespace glimmerfen {
namespace {

AccessEntry Session(std::string client, std::string user) {
    AccessEntry e;
    e.clientName = std::move(client);
    e.userName = std::move(user);
    return e;
}

AccessEntry File(std::string user, std::string path) {
    AccessEntry e;
    e.userName = std::move(user);
    e.pathName = std::move(path);
    return e;
}

std::vector<std::int32_t> Keys(const AccessTable& t) {
    std::vector<std::int32_t> keys;
    t.ForEach([&](const AccessEntry& e) { keys.push_back(e.key); });
    return keys;
}

TEST(AccessTable, NewestFirstAndKeysUnique) {
    AccessTable t;
    EXPECT_TRUE(t.InsertFront(0, Session("PC1", "a")));
    EXPECT_TRUE(t.InsertFront(1, Session("PC2", "b")));
    EXPECT_TRUE(t.InsertFront(2, File("a", "\\x")));
    EXPECT_FALSE(t.InsertFront(1, Session("PC3", "c")));
    EXPECT_EQ(Keys(t), (std::vector<std::int32_t>{2, 1, 0}));
    EXPECT_TRUE(t.RemoveEntry(1));
    EXPECT_FALSE(t.RemoveEntry(1));
    EXPECT_EQ(Keys(t), (std::vector<std::int32_t>{2, 0}));
    EXPECT_EQ(t.FindEntry(1), nullptr);
    ASSERT_NE(t.FindEntry(2), nullptr);
    EXPECT_EQ(t.FindEntry(2)->pathName, "\\x");
}

TEST(AccessTable, UpdateCopiesValuesButKeepsKeyAgeAndMark) {
    AccessTable t;
    AccessEntry v = Session("PC1", "a");
    v.staleSeconds = 0.5f;
    v.disconnected = 1;
    t.InsertFront(7, v);
    AccessEntry next = Session("PC1", "a");
    next.openCount = 3;
    next.connectedText = "00:00:09";
    next.key = 99;
    next.staleSeconds = 9.0f;
    EXPECT_TRUE(t.UpdateEntry(7, next));
    EXPECT_FALSE(t.UpdateEntry(8, next));
    const AccessEntry* e = t.FindEntry(7);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->key, 7);
    EXPECT_EQ(e->openCount, 3);
    EXPECT_EQ(e->connectedText, "00:00:09");
    EXPECT_EQ(e->staleSeconds, 0.5f);
    EXPECT_EQ(e->disconnected, 1);
}

TEST(AccessTable, LookupsFindTheNewestMatchAndFollowChanges) {
    AccessTable t;
    t.InsertFront(0, File("bob", "\\p"));
    t.InsertFront(1, Session("", "bob")); // same (client, user) pair as the file entry
    ASSERT_TRUE(t.FindByClientUser("", "bob"));
    EXPECT_EQ(*t.FindByClientUser("", "bob"), 1);
    EXPECT_EQ(*t.FindByUserPath("bob", "\\p"), 0);
    EXPECT_FALSE(t.FindByClientUser("", "BOB"));

    // An update that changes the identifying fields moves the entry in both indexes.
    t.UpdateEntry(0, Session("PC9", "bob"));
    EXPECT_FALSE(t.FindByUserPath("bob", "\\p"));
    EXPECT_EQ(*t.FindByClientUser("PC9", "bob"), 0);
    EXPECT_EQ(*t.FindByUserPath("bob", ""), 1); // newest of the two with an empty path

    t.RemoveEntry(1);
    EXPECT_EQ(*t.FindByUserPath("bob", ""), 0);
    EXPECT_FALSE(t.FindByClientUser("", "bob"));
}

TEST(AccessTable, RemoveIfVisitsNewestFirstAndUnindexes) {
    AccessTable t;
    for (int k = 0; k < 5; ++k) {
        t.InsertFront(k, Session("PC" + std::to_string(k), "u"));
    }
    t.MarkSeen(3, 42);
    std::vector<std::int32_t> visited;
    const std::size_t removed = t.RemoveIf([&](AccessEntry& e, std::uint64_t seen) {
        visited.push_back(e.key);
        return e.key % 2 == 0 && seen != 42;
    });
    EXPECT_EQ(removed, 3u);
    EXPECT_EQ(visited, (std::vector<std::int32_t>{4, 3, 2, 1, 0}));
    EXPECT_EQ(Keys(t), (std::vector<std::int32_t>{3, 1}));
    EXPECT_FALSE(t.FindByClientUser("PC2", "u"));
    EXPECT_EQ(t.Size(), 2u);
}

// Thousands of inserts, identity changes and removals, checked against a plain walk of the table:
// exercises the index's growth and its deletion from the middle of probe runs.
TEST(AccessTable, IndexesAgreeWithAWalkUnderHeavyChurn) {
    AccessTable t;
    std::mt19937 rng(7);
    std::int32_t nextKey = 0;
    std::vector<std::int32_t> live;
    auto name = [&](const char* prefix, unsigned spread) { return prefix + std::to_string(rng() % spread); };
    auto walkFind = [&](bool byClientUser, const std::string& a, const std::string& b) {
        std::optional<std::int32_t> found;
        t.ForEach([&](const AccessEntry& e) {
            const bool match =
                byClientUser ? (e.clientName == a && e.userName == b) : (e.userName == a && e.pathName == b);
            if (match && !found) {
                found = e.key;
            }
        });
        return found;
    };
    for (int step = 0; step < 20000; ++step) {
        const unsigned action = rng() % 10;
        if (action < 5 || live.empty()) {
            AccessEntry e =
                rng() % 2 ? Session(name("PC", 300), name("u", 300)) : File(name("u", 300), name("\\p", 300));
            ASSERT_TRUE(t.InsertFront(nextKey, e));
            live.push_back(nextKey++);
        } else if (action < 8) {
            const std::size_t i = rng() % live.size();
            ASSERT_TRUE(t.RemoveEntry(live[i]));
            live.erase(live.begin() + static_cast<long>(i));
        } else {
            const std::int32_t key = live[rng() % live.size()];
            AccessEntry e =
                rng() % 2 ? Session(name("PC", 300), name("u", 300)) : File(name("u", 300), name("\\p", 300));
            ASSERT_TRUE(t.UpdateEntry(key, e));
        }
        if (step % 97 == 0) {
            for (int probe = 0; probe < 10; ++probe) {
                const std::string pc = name("PC", 300), u = name("u", 300), p = name("\\p", 300);
                ASSERT_EQ(t.FindByClientUser(pc, u), walkFind(true, pc, u)) << step;
                ASSERT_EQ(t.FindByUserPath(u, p), walkFind(false, u, p)) << step;
                ASSERT_EQ(t.FindByUserPath(u, ""), walkFind(false, u, "")) << step;
                ASSERT_EQ(t.FindByClientUser("", u), walkFind(true, "", u)) << step;
            }
        }
    }
    EXPECT_EQ(t.Size(), live.size());
}

} // namespace
} // namespace glimmerfen
