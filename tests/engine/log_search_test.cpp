// Find in the log (which rows a typed query lists, giving up when told) and the activity strip's
// counts per hour and per date.
#include "monitor/log/LogSearch.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codepage_fixture.h"
#include "engine/time_zone_fixture.h"
#include "monitor/log/LoadedLog.h"
#include "monitor/log/LogActivity.h"

namespace glimmerfen {
namespace {

// 2024-03-10 00:00:00 in Tokyo (UTC+9).
constexpr std::int32_t kMar10 = 1709996400;
constexpr std::int32_t kHour = 3600;

// A line with fields 0 to 9 as given (field 3, 4 and 5 hold what the access lines hold) and a rest
// after a tenth TAB.
std::string Line(std::int32_t time, const std::string& client, const std::string& user, const std::string& fileId,
                 const std::string& operation, const std::string& path, const std::string& message,
                 const std::string& rest = "") {
    return std::to_string(time) + "\t" + client + "\t" + user + "\t2024-03-10 09:00:00\tGUEST\tWindows 10\t" + fileId +
           "\t" + operation + "\t" + path + "\t" + message + "\t" + rest + "\r\n";
}

std::vector<std::uint32_t> Search(const LoadedLog& log, const std::string& typed) {
    const std::optional<std::vector<std::uint32_t>> rows = SearchRows(log, LogQuery(typed));
    return rows ? *rows : std::vector<std::uint32_t>{99};
}

struct MatchCase {
    unsigned codePage;
    const char* typed;
    std::vector<std::uint32_t> rows;
    const char* what;
};

TEST(LogSearchTest, WhichRowsAQueryLists) {
    const std::string fullPc1 = "\x82\x6F\x82\x62\x82\x50";                   // ＰＣ１
    const std::string fullAlice = "\x82\x81\x82\x8C\x82\x89\x82\x83\x82\x85"; // ａｌｉｃｅ
    const std::string kana = "\x83\x41\x83\x5C\x83\x82\x60.txt";              // アソモ`.txt
    LoadedLog log;
    ASSERT_TRUE(log.Assign(Line(kMar10, "PC17", "alice", "0", "", "", "") +                                    // 0
                           Line(kMar10 + 1, "PC17", "bob", "4242", "FILE READ", "C:\\Share\\Budget.xls", "") + // 1
                           Line(kMar10 + 2, "PC17", "bob", "", "", "", "Disconnect manually") +                // 2
                           Line(kMar10 + 3, fullPc1, fullAlice, "0", "", "", "") +                             // 3
                           Line(kMar10 + 4, "pc9", "doug", "1", "FILE WRITE", kana, "") +                      // 4
                           Line(kMar10 + 5, "pc9", "erin", "2", "FILE WRITE", "C:\\Windows\\win.ini", "") +    // 5
                           Line(kMar10 + 86400, "PC17", "carol", "3", "", "budget.xls", "") +                  // 6
                           Line(kMar10 + 6, "pc9", "frank", "0", "", "", "", "budget") +                       // 7
                           "\r\n"));                                                                           // 8
    ASSERT_EQ(log.MarkDeleted(LogSelection::User("2024-03-11", "carol")), 1u);

    const std::vector<MatchCase> cases = {
        {1252, "pc17", {0, 1, 2}, "case ignored; the marked row 6 never matches"},
        {1252, "PC17 budget", {1}, "every word must occur"},
        {1252, "  budget\t\tpc17 ", {1}, "blanks and TABs separate, in any number"},
        {1252, "", {}, "empty query"},
        {1252, " \t ", {}, "only blanks"},
        {1252, "disconnect MANUALLY", {2}, "two words in the message"},
        {1252, "file read", {1}, "operation"},
        {1252, "windows", {5}, "field 5 is not searched, the path is"},
        {1252, "guest", {}, "field 4 is not searched"},
        {1252, "4242", {}, "the file id is not searched"},
        {1252, "09:00", {}, "the start time text is not searched"},
        {1252, "budget", {1}, "not after the tenth TAB, nor in the marked row"},
        {1252, "a", {0, 1, 2, 4, 7}, "in 1252 the byte 0x41 of row 4 is a letter A"},
        {1252, "\\", {1, 4, 5}, "in 1252 the byte 0x5C of row 4 is a backslash"},
        {1252, "budget\x81\x40pc17", {}, "0x81 0x40 is no blank in 1252"},
        {932, "a", {0, 1, 2, 7}, "a trail byte 0x41 is half of a character, not an A"},
        {932, "\\", {1, 5}, "a trail byte 0x5C is half of a character, not a backslash"},
        {932, "budget\x81\x40pc17", {1}, "the ideographic space separates"},
        {932, "\x82\x90\x82\x83\x82\x50", {3}, "full-width letters fold: typed ｐｃ１"},
        {932, "\x82\x60\x82\x6B\x82\x68\x82\x62\x82\x64", {3}, "typed ＡＬＩＣＥ"},
        {932, "\x82\x81", {3}, "typed ａ, not found where 0x82 0x60 is a trail byte and a `"},
        {932, "pc1", {0, 1, 2}, "ASCII letters never match full-width ones"},
        {932, "\x83\x5C", {4}, "typed ソ"},
        {932, "\x83\x61", {}, "typed ヂ: a trail byte a is not folded to the A of ア"},
        {932, "pc17\x82", {0, 1, 2}, "half a character at the end is dropped"},
        {936, "a", {0, 1, 2, 7}, "in 936 too the trail byte 0x41 of row 4 is half of a character"},
        {936, "budget\xA1\xA1pc17", {1}, "936's ideographic space separates"},
        {936, "budget\x81\x40pc17", {}, "0x81 0x40 is a character of 936, no blank"},
        {949, "budget\xA1\xA1pc17", {1}, "949's ideographic space separates"},
        {950, "budget\xA1\x40pc17", {1}, "950's ideographic space separates"},
        {950, "budget\xA1\xA1pc17", {}, "0xA1 0xA1 is a character of 950, no blank"},
    };
    for (const MatchCase& c : cases) {
        test::ScopedCodePage codePage(c.codePage);
        if (!codePage.Active()) {
            continue; // the other run covers it (on Windows the system's code page decides)
        }
        EXPECT_EQ(Search(log, c.typed), c.rows) << c.codePage << " \"" << c.typed << "\": " << c.what;
    }
}

// The search asks whether to give up as it goes, and gives up when told; left alone it finds every
// match of a log of several MiB, also those beyond the first pieces it scans.
TEST(LogSearchTest, CancelledOrComplete) {
    std::string bytes;
    std::vector<std::uint32_t> expected;
    for (std::uint32_t row = 0; row < 40000; ++row) {
        const bool needle = row % 7 == 3;
        if (needle) {
            expected.push_back(row);
        }
        bytes +=
            Line(kMar10 + static_cast<std::int32_t>(row), "PC" + std::to_string(row % 50), "user", std::to_string(row),
                 "FILE READ",
                 "C:\\Share\\Projects\\folder-" + std::to_string(row) + (needle ? "\\NeedLe.doc" : "\\other.doc"), "");
    }
    LoadedLog log;
    ASSERT_TRUE(log.Assign(bytes));
    ASSERT_GT(bytes.size(), std::size_t{3} << 20);

    int asked = 0;
    EXPECT_FALSE(SearchRows(log, LogQuery("needle"), [&] { return ++asked == 2; }).has_value());
    EXPECT_EQ(asked, 2);

    asked = 0;
    const auto rows = SearchRows(log, LogQuery("share NEEDLE"), [&] { return ++asked > 100; });
    ASSERT_TRUE(rows.has_value());
    EXPECT_GE(asked, 3);
    EXPECT_EQ(*rows, expected);
}

class LogActivityTest : public test::TokyoZoneTest {};

TEST_F(LogActivityTest, HoursAndDatesWithTheirFirstLines) {
    LoadedLog log;
    ASSERT_TRUE(log.Assign(Line(kMar10 + 9 * kHour, "PC1", "alice", "0", "", "", "") +                    // 0
                           Line(kMar10 + 9 * kHour + 3599, "PC1", "bob", "1", "FILE READ", "a.txt", "") + // 1
                           Line(kMar10 + 10 * kHour, "PC1", "bob", "", "", "", "Disconnect manually") +   // 2
                           Line(kMar10 + 23 * kHour + 59, "PC2", "alice", "0", "", "", "") +              // 3
                           Line(kMar10 + 2 * 86400 + 5, "PC2", "alice", "0", "", "", "") +                // 4
                           Line(kMar10 + 86400, "PC3", "carol", "0", "", "", "")));                       // 5

    const std::vector<std::uint32_t> listed = log.ListedRows(LogSelection::Date("2024-03-10"));
    ASSERT_EQ(listed, (std::vector<std::uint32_t>{0, 1, 2, 3}));
    const std::array<HourBin, 24> hours = CountByHour(log, listed);
    std::vector<std::string> got;
    for (int h = 0; h < 24; ++h) {
        if (hours[h].accesses + hours[h].disconnections > 0 || hours[h].first != kNoListedLine) {
            got.push_back(std::to_string(h) + ":" + std::to_string(hours[h].accesses) + "/" +
                          std::to_string(hours[h].disconnections) + "@" + std::to_string(hours[h].first));
        }
    }
    EXPECT_EQ(got, (std::vector<std::string>{"9:2/0@0", "10:0/1@2", "23:1/0@3"}));

    // A search's matches per date: every date of the log in order, one without matches included; the
    // first line is the first of the date in the list, not in the file.
    const std::vector<std::uint32_t> found = {4, 3};
    const std::vector<DateBin> dates = CountByDate(log, found);
    got.clear();
    for (const DateBin& bin : dates) {
        got.push_back(log.Dates()[bin.date].text + ":" + std::to_string(bin.lines) + "@" +
                      (bin.first == kNoListedLine ? std::string("-") : std::to_string(bin.first)));
    }
    EXPECT_EQ(got, (std::vector<std::string>{"2024-03-10:1@1", "2024-03-11:0@-", "2024-03-12:1@0"}));

    ASSERT_EQ(log.MarkDeleted(LogSelection::Date("2024-03-11")), 1u);
    EXPECT_EQ(CountByDate(log, {0, 3, 5}).size(), 2u) << "a date whose lines were all deleted has no bin";
    EXPECT_EQ(CountByDate(log, {0, 3, 5})[0].lines, 2u) << "a marked row is not counted";
}

} // namespace
} // namespace glimmerfen
