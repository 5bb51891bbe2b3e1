// The log viewer's model of "log.txt": fields of each line, grouping by local date and user, the rows
// a selection lists and a deletion marks, and the rewrite that applies the marks.
#include "monitor/log/LoadedLog.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/temp_dir.h"
#include "engine/time_zone_fixture.h"
#include "monitor/log/AccessLog.h"
#include "platform/exclusive_file.h"
#ifndef _WIN32
#include "platform/posix/testing.h"
#endif

namespace glimmerfen {
namespace {

using test::ReadBytes;
using test::WriteBytes;

// 2024-03-10 00:00:00 in Tokyo (UTC+9).
constexpr std::int32_t kMar10 = 1709996400;
constexpr std::int32_t kDay = 86400;

std::string N(std::int64_t value) {
    return std::to_string(value);
}

// A line as the access log writes it, without its line end.
std::string Line(std::int32_t time, const std::string& client, const std::string& user, const std::string& tail = "") {
    return N(time) + "\t" + client + "\t" + user + "\t2024-03-10 09:00:00\t\t\t0\t\t\t" + tail + "\t";
}

std::vector<std::string> Fields(const LoadedLog& log, std::size_t row) {
    std::vector<std::string> fields;
    for (int f = 0; f < kLogViewFields; ++f) {
        fields.emplace_back(log.Field(row, f));
    }
    return fields;
}

// The dates in tree order, each with its users in order: "date:user,user".
std::vector<std::string> Tree(const LoadedLog& log) {
    std::vector<std::string> tree;
    for (std::uint32_t d : log.DateOrder()) {
        std::string item = log.Dates()[d].text + ":";
        for (std::uint32_t u : log.Dates()[d].users) {
            item += std::string(log.Users()[u].user) + ",";
        }
        tree.push_back(item);
    }
    return tree;
}

struct SplitCase {
    const char* what;
    std::string line;
    std::vector<std::string> fields;
};

TEST(LoadedLogSplitTest, FieldsOfEachKindOfLine) {
    const std::string sjis = "\x83\x5C\x83\x74\x83\x67"; // a name whose second byte is a backslash
    // Field ends beyond 16 bits are kept apart; the first line whose fields end at 65535 is one of them.
    const std::string nine = "0\t1\t2\t3\t4\t5\t6\t7\t8\t";
    const std::string fill34(65534 - nine.size(), 'y');
    const std::string fill35(65535 - nine.size(), 'z');
    const std::string huge(70000, 'x');
    const std::vector<SplitCase> cases = {
        {"fields end at 65534", nine + fill34, {"0", "1", "2", "3", "4", "5", "6", "7", "8", fill34}},
        {"fields end at 65535", nine + fill35, {"0", "1", "2", "3", "4", "5", "6", "7", "8", fill35}},
        {"huge client name", "9\t" + huge + "\tu\t", {"9", huge, "u", "", "", "", "", "", "", ""}},
        {"access line",
         "1\tPC1\talice\t2024-03-10 09:00:00\tGUEST\tWin\t0\t\t\t\t",
         {"1", "PC1", "alice", "2024-03-10 09:00:00", "GUEST", "Win", "0", "", "", ""}},
        {"disconnect line",
         "2\tPC1\tbob\tT\t\t\t\t\t\tDisconnect manually\t",
         {"2", "PC1", "bob", "T", "", "", "", "", "", "Disconnect manually"}},
        {"fewer fields", "3\tPC1", {"3", "PC1", "", "", "", "", "", "", "", ""}},
        {"ends in a TAB", "4\tPC1\t", {"4", "PC1", "", "", "", "", "", "", "", ""}},
        {"no TAB", "just text", {"just text", "", "", "", "", "", "", "", "", ""}},
        {"blank", "", {"", "", "", "", "", "", "", "", "", ""}},
        {"more than ten fields",
         "0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11",
         {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {"lone CR inside", "5\tP\rC\tu", {"5", "P\rC", "u", "", "", "", "", "", "", ""}},
        {"double-byte name", "6\t" + sjis + "\t" + sjis, {"6", sjis, sjis, "", "", "", "", "", "", ""}},
    };
    std::string bytes;
    for (const SplitCase& c : cases) {
        bytes += c.line + "\r\n";
    }
    bytes += "7\tLF only\n8\tno end";
    LoadedLog log;
    ASSERT_TRUE(log.Assign(bytes));
    ASSERT_EQ(log.RowCount(), cases.size() + 2);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_TRUE(Fields(log, i) == cases[i].fields) << cases[i].what;
        EXPECT_EQ(log.Line(i), cases[i].line) << cases[i].what;
    }
    EXPECT_EQ(log.Line(cases.size()), "7\tLF only");
    EXPECT_EQ(log.Line(cases.size() + 1), "8\tno end");

    ASSERT_TRUE(log.Assign(""));
    EXPECT_EQ(log.RowCount(), 0u);
    EXPECT_TRUE(log.DateOrder().empty());
    EXPECT_EQ(log.LastDate(), -1);
}

// The progress reports count the lines split, rise, and end at the total.
TEST(LoadedLogSplitTest, ProgressEndsAtTheLineCount) {
    std::string bytes;
    for (int i = 0; i < 140000; ++i) {
        bytes += "1\tPC\tu\n";
    }
    std::vector<std::size_t> reports;
    LoadedLog log;
    ASSERT_TRUE(log.Assign(bytes, [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 140000u);
        reports.push_back(done);
    }));
    EXPECT_EQ(reports, (std::vector<std::size_t>{65536, 131072, 140000}));
}

using LoadedLogGroupTest = test::TokyoZoneTest;

// Field 0's time is read as the trimming reads it (log_lines_test); a line without a TAB is its own
// field 0 here.
TEST_F(LoadedLogGroupTest, FieldTimeAndDateText) {
    EXPECT_EQ(LogFieldTime("1709996400"), kMar10);
    EXPECT_EQ(LogFieldTime("12ab"), 12);
    EXPECT_EQ(LogDateText(0), "1970-01-01");
    EXPECT_EQ(LogDateText(kMar10 - 1), "2024-03-09");
    EXPECT_EQ(LogDateText(kMar10), "2024-03-10");
    EXPECT_EQ(LogDateText(-1), "0-00-00");
}

// Dates ascending, users by their bytes, each date and user once however many lines it has.
TEST_F(LoadedLogGroupTest, GroupsByLocalDateThenExactUser) {
    const std::string lines[] = {
        Line(kMar10 + 100, "PC1", "alice"),
        Line(kMar10 + 200, "PC2", "Alice"),  // another letter case: another user
        Line(kMar10 - 1, "PC1", "alice"),    // one second before local midnight: the day before
        "",                                  // blank: no date
        Line(kMar10 + 300, "PC1", "alice"),  // same date and user again
        "abc\tPC9\tmallory\t\t\t\t\t\t\t\t", // not a number: 1970-01-01 local
        "\tPC8\ttrent",                      // empty field 0: no time, listed nowhere, like a blank line
        Line(kMar10 + kDay, "PC3", "bob"),
        Line(-7, "PC4", "eve"),        // before 1970: cannot be converted
        Line(kMar10 + 400, "PC1", ""), // an empty user name is a user too
    };
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line + "\r\n";
    }
    LoadedLog log;
    ASSERT_TRUE(log.Assign(bytes));
    const std::vector<std::string> expected = {
        "0-00-00:eve,", "1970-01-01:mallory,", "2024-03-09:alice,", "2024-03-10:,Alice,alice,", "2024-03-11:bob,",
    };
    EXPECT_EQ(Tree(log), expected);
    EXPECT_TRUE(log.IsMarked(3)) << "a blank line belongs to no group";
    EXPECT_TRUE(log.IsMarked(6)) << "nor does a line whose field 0 is empty";
    EXPECT_EQ(log.Dates()[static_cast<std::size_t>(log.LastDate())].text, "2024-03-10");
}

// The quarter-hour cache of dates gives what converting every time on its own gives, around the
// day's change and far from it.
TEST_F(LoadedLogGroupTest, CachedDatesMatchDirectConversion) {
    std::mt19937 random(7);
    std::vector<std::int32_t> times;
    for (int i = 0; i < 3000; ++i) {
        const std::int32_t near = kMar10 + static_cast<std::int32_t>(random() % 20) * kDay;
        times.push_back(near + static_cast<std::int32_t>(random() % 1801) - 900);
        times.push_back(static_cast<std::int32_t>(random() % 2000000000));
    }
    times.push_back(INT32_MAX);
    std::string bytes;
    for (std::int32_t t : times) {
        bytes += Line(t, "PC", "u") + "\r\n";
    }
    LoadedLog log;
    ASSERT_TRUE(log.Assign(bytes));
    for (std::size_t r = 0; r < times.size(); ++r) {
        const std::uint32_t date = log.Users()[log.GroupOf(r)].date;
        ASSERT_EQ(log.Dates()[date].text, LogDateText(times[r])) << "time " << times[r];
    }
}

class LoadedLogSelectionTest : public test::TokyoZoneTest {
protected:
    void SetUp() override {
        test::TokyoZoneTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        std::string bytes;
        for (const std::string& line : lines_) {
            bytes += line + "\r\n";
        }
        ASSERT_TRUE(log_.Assign(bytes));
    }

    const std::vector<std::string> lines_ = {
        Line(kMar10 + 1, "PC1", "alice"),      // 0
        Line(kMar10 + 2, "PC2", "bob"),        // 1
        Line(kMar10 + kDay, "PC1", "alice"),   // 2
        Line(kMar10 + 3, "PC1", "alice"),      // 3
        Line(kMar10 + 4, "PC3", "2024-03-11"), // 4: a user named like another date
        Line(kMar10 + 5, "PC3", "2024-03-10"), // 5: a user named like its own date
        Line(kMar10 + kDay + 1, "PC2", "bob"), // 6
        "",                                    // 7
    };
    LoadedLog log_;
};

TEST_F(LoadedLogSelectionTest, WhichRowsEachSelectionLists) {
    using V = std::vector<std::uint32_t>;
    struct Case {
        LogSelection selection;
        V rows;
    };
    const Case cases[] = {
        {LogSelection::Date("2024-03-10"), V{0, 1, 3, 4, 5}},
        {LogSelection::Date("2024-03-11"), V{2, 6}},
        {LogSelection::User("2024-03-10", "alice"), V{0, 3}},
        {LogSelection::User("2024-03-11", "alice"), V{2}},
        // A user's name is never read as a date: only that user's lines of its own date.
        {LogSelection::User("2024-03-10", "2024-03-11"), V{4}},
        {LogSelection::User("2024-03-10", "2024-03-10"), V{5}},
        {LogSelection::User("2024-03-10", "Alice"), V{}},
        {LogSelection::User("2024-03-12", "alice"), V{}},
        {LogSelection::Date("2024-03-1"), V{}},
        {LogSelection{}, V{}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(log_.ListedRows(c.selection), c.rows) << c.selection.date << " / " << c.selection.user;
    }
}

TEST_F(LoadedLogSelectionTest, DeletingMarksOnlyTheSelectionAndPrunesEmptyDates) {
    // One user on one date: that user's lines elsewhere stay.
    EXPECT_EQ(log_.MarkDeleted(LogSelection::User("2024-03-10", "alice")), 2u);
    EXPECT_TRUE(log_.IsMarked(0));
    EXPECT_TRUE(log_.IsMarked(3));
    EXPECT_FALSE(log_.IsMarked(2));
    EXPECT_EQ(Tree(log_), (std::vector<std::string>{"2024-03-10:2024-03-10,2024-03-11,bob,", "2024-03-11:alice,bob,"}));
    EXPECT_EQ(log_.ListedRows(LogSelection::Date("2024-03-10")), (std::vector<std::uint32_t>{1, 4, 5}));
    EXPECT_EQ(log_.MarkDeleted(LogSelection::User("2024-03-10", "alice")), 0u) << "already gone";

    // A whole date goes with all its users and leaves the other date.
    EXPECT_EQ(log_.MarkDeleted(LogSelection::Date("2024-03-11")), 2u);
    EXPECT_EQ(Tree(log_), (std::vector<std::string>{"2024-03-10:2024-03-10,2024-03-11,bob,"}));
    EXPECT_EQ(log_.FindDate("2024-03-11"), -1);
    EXPECT_TRUE(log_.ListedRows(LogSelection::User("2024-03-11", "bob")).empty());

    // The last users of a date: the date goes too.
    log_.MarkDeleted(LogSelection::User("2024-03-10", "bob"));
    log_.MarkDeleted(LogSelection::User("2024-03-10", "2024-03-10"));
    log_.MarkDeleted(LogSelection::User("2024-03-10", "2024-03-11"));
    EXPECT_TRUE(Tree(log_).empty());
    EXPECT_EQ(log_.LastDate(), -1);
}

class LoadedLogApplyTest : public test::TokyoZoneTest, protected test::LogFolder {};

// Marked and blank lines go; every other line stays in its order, with CR LF; lines appended since the
// load follow, in their order; the result does not depend on the piece size.
TEST_F(LoadedLogApplyTest, CopiesKeptAndAppendedLinesInOrder) {
    const std::string a = Line(kMar10 + 1, "PC1", "alice");
    const std::string b = Line(kMar10 + 2, "PC2", "bob");
    const std::string c = Line(kMar10 + 3, "PC1", "alice");
    const std::string d = Line(kMar10 + kDay, "PC2", "bob");
    const std::string late1 = Line(kMar10 + kDay + 5, "PC9", "alice");
    const std::string late2 = Line(kMar10 + kDay + 6, "PC9", "carol");
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
        WriteBytes(LogPath(), a + "\r\n" + b + "\n\r\n" + c + "\r\n" + d);
        LoadedLog log;
        ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
        EXPECT_EQ(log.RowCount(), 5u);
        log.MarkDeleted(LogSelection::User("2024-03-10", "alice"));
        EXPECT_EQ(ReadBytes(LogPath()), a + "\r\n" + b + "\n\r\n" + c + "\r\n" + d) << "marks alone change nothing";
        // Appended since the load; the first one completes the last line, which had no line end.
        AccessLog writer(LogPath(), "GlimmerfenChecker", AccessLog::Limits{});
        ASSERT_TRUE(writer.AppendLine("\r\n" + late1 + "\r\n"));
        ASSERT_TRUE(writer.AppendLine(late2 + "\n"));
        EXPECT_EQ(log.ApplyDeletions(ExeDir(), chunk), LogApply::Replaced);
        EXPECT_EQ(ReadBytes(LogPath()), b + "\r\n" + d + "\r\n" + late1 + "\r\n" + late2 + "\r\n") << "chunk " << chunk;
        EXPECT_FALSE(TempExists());
    }
}

// The loaded log ended inside a line that was then marked, and the writer appended after it: what it
// wrote is kept as lines of their own, and the marked line's missing line end adds no blank line.
TEST_F(LoadedLogApplyTest, AppendAfterAMarkedLastLineWithoutEnd) {
    const std::string b = Line(kMar10 + 1, "PC2", "bob");
    const std::string c = Line(kMar10 + 2, "PC1", "alice");
    const std::string late = Line(kMar10 + 3, "PC9", "carol");
    struct Case {
        std::string appended;
        std::string expected;
    };
    const Case cases[] = {
        {"\r\n" + late + "\r\n", b + "\r\n" + late + "\r\n"},
        {"\n" + late + "\n", b + "\r\n" + late + "\r\n"},
        {late + "\r\n", b + "\r\n" + late + "\r\n"},
        {"\r", b + "\r\n\r\r\n"}, // a lone CR is a character, as anywhere else
        {"", b + "\r\n"},
    };
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
        for (const Case& k : cases) {
            WriteBytes(LogPath(), b + "\r\n" + c);
            LoadedLog log;
            ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
            ASSERT_EQ(log.MarkDeleted(LogSelection::User("2024-03-10", "alice")), 1u);
            WriteBytes(LogPath(), b + "\r\n" + c + k.appended);
            EXPECT_EQ(log.ApplyDeletions(ExeDir(), chunk), LogApply::Replaced);
            EXPECT_EQ(ReadBytes(LogPath()), k.expected) << "chunk " << chunk << ", appended " << k.appended.size();
        }
    }
}

// The kept last line ended in a lone CR: it gets exactly one CR LF, and an LF appended after the load
// makes that CR its line end.
TEST_F(LoadedLogApplyTest, KeptLastLineEndingInALoneCr) {
    const std::string a = Line(kMar10 + 1, "PC1", "alice");
    const std::string b = Line(kMar10 + 2, "PC2", "bob");
    const struct {
        std::string appended;
        std::string expected;
    } cases[] = {
        {"", b + "\r\r\n"},
        {"\n", b + "\r\n"},
        {"x\r\n", b + "\rx\r\n"},
    };
    for (const auto& k : cases) {
        WriteBytes(LogPath(), a + "\r\n" + b + "\r");
        LoadedLog log;
        ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
        ASSERT_EQ(log.MarkDeleted(LogSelection::User("2024-03-10", "alice")), 1u);
        WriteBytes(LogPath(), a + "\r\n" + b + "\r" + k.appended);
        EXPECT_EQ(log.ApplyDeletions(ExeDir(), kLogChunkSize), LogApply::Replaced);
        EXPECT_EQ(ReadBytes(LogPath()), k.expected) << "appended " << k.appended.size();
    }
}

// Regression: every Close and Refresh copied the whole log, with the appends waiting meanwhile. Without
// a mark the file is not even opened: a log held by another program stays as it is, untouched.
TEST_F(LoadedLogApplyTest, NothingMarkedLeavesTheFileAlone) {
    const std::string bytes = Line(1, "PC1", "a") + "\r\n" + Line(2, "PC2", "b") + "\n";
    WriteBytes(LogPath(), bytes);
    LoadedLog log;
    EXPECT_EQ(log.ApplyDeletions(ExeDir(), kLogChunkSize), LogApply::Unchanged) << "before any load";
    ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
    platform::ExclusiveFile holder;
    ASSERT_TRUE(holder.Open(LogPath(), platform::FileOpenMode::ReadExisting));
    EXPECT_EQ(log.ApplyDeletions(ExeDir(), kLogChunkSize), LogApply::Unchanged);
    holder.Close();
    EXPECT_EQ(ReadBytes(LogPath()), bytes) << "the LF-only line end too stays as it was";
    EXPECT_FALSE(TempExists());
}

// Whenever the rewrite cannot finish, "log.txt" keeps its bytes and no "log_tmp.txt" of ours stays.
TEST_F(LoadedLogApplyTest, FailuresLeaveTheLogAsItWas) {
    const std::string bytes = Line(kMar10, "PC1", "alice") + "\r\n" + Line(kMar10, "PC2", "bob") + "\r\n";
    LoadedLog log;
    EXPECT_EQ(log.Load(ExeDir()), LogLoad::NotOpened);
    WriteBytes(LogPath(), bytes);
    ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
    ASSERT_EQ(log.MarkDeleted(LogSelection::User("2024-03-10", "alice")), 1u);

    {
        platform::ExclusiveFile holder;
        ASSERT_TRUE(holder.Open(LogPath(), platform::FileOpenMode::ReadWriteAlways));
        EXPECT_EQ(log.ApplyDeletions(ExeDir(), kLogChunkSize), LogApply::NotOpened);
        EXPECT_EQ(LoadedLog().Load(ExeDir()), LogLoad::NotOpened);
    }
    EXPECT_FALSE(TempExists());
    {
        WriteBytes(TempPath(), "someone else's");
        platform::ExclusiveFile holder;
        ASSERT_TRUE(holder.Open(TempPath(), platform::FileOpenMode::ReadWriteAlways));
        EXPECT_EQ(log.ApplyDeletions(ExeDir(), kLogChunkSize), LogApply::NotOpened);
    }
    EXPECT_EQ(ReadBytes(TempPath()), "someone else's");
    std::filesystem::remove(TempPath());
    EXPECT_EQ(ReadBytes(LogPath()), bytes);

    // Rewritten by someone else since the load (a shorter file, or other lines): the marks would hit
    // other lines.
    for (const std::string& other : {Line(kMar10, "PC2", "bob") + "\r\n", "X" + bytes, std::string()}) {
        WriteBytes(LogPath(), other);
        EXPECT_EQ(log.ApplyDeletions(ExeDir(), kLogChunkSize), LogApply::LogChanged);
        EXPECT_EQ(ReadBytes(LogPath()), other);
        EXPECT_FALSE(TempExists());
    }
}

#ifndef _WIN32
// The copy is complete but cannot take the log's place: while the rewrite runs, "log.txt" is moved
// aside and a folder with a file in it takes its name, so the move onto it fails. The rewrite must say
// so and remove its copy; the log it read is untouched.
TEST_F(LoadedLogApplyTest, FailedReplaceRemovesTempAndReportsIt) {
    const std::string bytes = Line(kMar10, "PC1", "alice") + "\r\n" + Line(kMar10, "PC2", "bob") + "\r\n";
    WriteBytes(LogPath(), bytes);
    LoadedLog log;
    ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
    log.MarkDeleted(LogSelection::Date("2024-03-10"));
    struct Context {
        std::string log;
        int opens = 0;
    } context{LogPath()};
    platform::SetBetweenOpenAndLockHookForTesting(
        [](void* raw) {
            auto* c = static_cast<Context*>(raw);
            if (++c->opens == 3) { // the look at "log.txt", "log_tmp.txt", now the last opening of "log.txt"
                std::filesystem::rename(c->log, c->log + ".aside");
                std::filesystem::create_directory(c->log);
                test::WriteBytes(c->log + "/inside", "x");
            }
        },
        &context);
    const LogApply result = log.ApplyDeletions(ExeDir(), kLogChunkSize);
    platform::SetBetweenOpenAndLockHookForTesting(nullptr, nullptr);
    EXPECT_GE(context.opens, 3);
    EXPECT_EQ(result, LogApply::Failed);
    EXPECT_FALSE(TempExists());
    EXPECT_EQ(ReadBytes(LogPath() + ".aside"), bytes);
}
#endif

// A line appended by this process while the deletions are applied waits for the rewrite and lands in
// the new log, after the kept lines.
TEST_F(LoadedLogApplyTest, LineAppendedDuringApplyLandsInTheResult) {
    std::string bytes;
    std::string kept;
    for (int i = 0; i < 20000; ++i) {
        const std::string line = Line(kMar10 + i, "PC" + N(i), i % 2 == 0 ? "alice" : "bob");
        bytes += line + "\r\n";
        if (i % 2 != 0) {
            kept += line + "\r\n";
        }
    }
    const std::string late = Line(kMar10 + kDay, "LATE", "carol") + "\r\n";
    bool overlapped = false;
    for (int attempt = 0; attempt < 3 && !overlapped; ++attempt) {
        WriteBytes(LogPath(), bytes);
        LoadedLog log;
        ASSERT_EQ(log.Load(ExeDir()), LogLoad::Loaded);
        log.MarkDeleted(LogSelection::User("2024-03-10", "alice"));
        std::atomic<bool> applied{false};
        std::thread applier([&] {
            EXPECT_EQ(log.ApplyDeletions(ExeDir(), 16), LogApply::Replaced);
            applied = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!TempExists() && !applied.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        overlapped = TempExists() && !applied.load();
        AccessLog writer(LogPath(), "GlimmerfenChecker", AccessLog::Limits{});
        const bool appended = writer.AppendLine(late);
        applier.join();
        EXPECT_TRUE(appended);
        EXPECT_EQ(ReadBytes(LogPath()), kept + late);
        EXPECT_FALSE(TempExists());
    }
    EXPECT_TRUE(overlapped) << "the append never met the rewrite; the test proved nothing";
}

} // namespace
} // namespace glimmerfen
