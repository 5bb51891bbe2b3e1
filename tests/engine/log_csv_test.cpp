// The log viewer's CSV export: how one field is written, and the whole file (byte-order mark,
// header, records, UTF-8) as it lands on disk, also when it cannot be written.
#include "monitor/log/LogCsv.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "engine/temp_dir.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen {
namespace {

using test::CodePage1252Test;
using test::CodePage932Test;
using test::ReadBytes;
using test::WriteBytes;

std::string Field(std::string_view text) {
    std::string out;
    AppendCsvField(out, text);
    return out;
}

struct FieldCase {
    const char* what;
    std::string field;
    std::string csv;
};

TEST_F(CodePage932Test, FieldsAreQuotedOnlyWhenTheyMustBe) {
    const std::vector<FieldCase> cases = {
        {"plain", "PC-01", "PC-01"},
        {"empty", "", ""},
        {"comma", "a,b", "\"a,b\""},
        {"quote doubled", "say \"hi\"", "\"say \"\"hi\"\"\""},
        {"only a quote", "\"", "\"\"\"\""},
        {"CR", "a\rb", "\"a\rb\""},
        {"LF", "a\nb", "\"a\nb\""},
        {"CR LF", "a\r\nb", "\"a\r\nb\""},
        {"leading zeros stay as logged", "007", "007"},
        {"spaces kept", " x ", " x "},
        {"formula", "=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"plus", "+1", "'+1"},
        {"minus", "-1", "'-1"},
        {"at", "@SUM(A1)", "'@SUM(A1)"},
        {"minus later is plain", "PC-1", "PC-1"},
        // 表 is 0x95 0x5C: its trail byte is a backslash, not a character of its own.
        {"Japanese with a 0x5C trail byte", "D:\\\x95\x5c\\x.xlsx", "D:\\\x95\x5c\\x.xlsx"},
        // ア is 0x83 0x41; its trail byte 'A' is no letter to quote or change.
        {"Japanese beside a comma", "\x83\x41,\x83\x41", "\"\x83\x41,\x83\x41\""},
        {"lead byte cut off at the end", "ab\x95", "ab?"},
        {"lead byte before a quote", "a\x95\"b", "\"a?\"\"b\""},
        {"lead byte before a comma", "\x95,", "\"?,\""},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(Field(c.field), c.csv) << c.what;
    }
}

TEST_F(CodePage1252Test, SingleByteCodePageHasNoCutCharacters) {
    // 0x95 is a bullet in 1252, not a lead byte.
    EXPECT_EQ(Field("a\x95\"b\x95"), "\"a\x95\"\"b\x95\"");
}

class LogCsvFileTest : public CodePage932Test {
protected:
    std::vector<std::string> Headers() const {
        std::vector<std::string> headers;
        for (const unsigned id :
             {IDS_COL_CLIENT_NAME, IDS_COL_USER_NAME, IDS_COL_START_TIME, IDS_COL_USER_IDENT, IDS_COL_CLIENT_TYPE,
              IDS_COL_PROCESS_ID, IDS_COL_OPERATION, IDS_COL_PATH_NAME, IDS_COL_DISCONNECT_MESSAGE}) {
            headers.push_back(platform::LoadText(id));
        }
        return headers;
    }

    test::TempDir dir_;
};

// The listed rows in the order given, every column, header first; the pieces a large listing is cut
// into change nothing in the file.
TEST_F(LogCsvFileTest, ListedRowsAsUtf8WithByteOrderMarkAndCrLf) {
    LoadedLog log;
    ASSERT_TRUE(log.Assign(
        // 山田 (0x8E 0x52 0x93 0x63), 表計算 (0x95 0x5C 0x8C 0x76 0x8E 0x5A), 予定表.xlsx
        "1733446800\tPC,1\t\x8e\x52\x93\x63\t2024/12/06 10:00:00\t\t\t201\tFILE READ\t"
        "D:\\\x95\x5c\x8c\x76\x8e\x5a\\\x97\x5c\x92\xe8\x95\x5c.xlsx\t\t\r\n"
        "1733446801\tPC2\tbob\t2024/12/06 10:00:01\tGUEST\tWin \"10\"\t007\t\t\tError (5)\r\n"
        "1733446802\tPC3\tcarol\t2024/12/06 10:00:02\t\t=cmd\t\t\t\t\t\r\n"));
    const std::vector<std::uint32_t> rows = {2, 0};

    const std::string expected = "\xEF\xBB\xBF"
                                 "クライアント名,ユーザー名,接続開始時間,ユーザー識別,クライアントタイプ,プロセスID,"
                                 "操作,パス名,切断メッセージ\r\n"
                                 "PC3,carol,2024/12/06 10:00:02,,'=cmd,,,,\r\n"
                                 "\"PC,1\",山田,2024/12/06 10:00:00,,,201,FILE READ,D:\\表計算\\予定表.xlsx,\r\n";
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{50}, std::size_t{1} << 20}) {
        const std::string path = dir_.File("out.csv");
        std::size_t lastDone = 0;
        std::size_t lastTotal = 0;
        ASSERT_TRUE(WriteLogCsv(
            path, Headers(), log, rows,
            [&](std::size_t done, std::size_t total) {
                lastDone = done;
                lastTotal = total;
            },
            chunk));
        EXPECT_EQ(ReadBytes(path), expected) << "pieces of " << chunk;
        EXPECT_EQ(lastDone, 2u);
        EXPECT_EQ(lastTotal, 2u);
    }

    // Quotes, a field of digits and a message at the end of a line.
    const std::vector<std::uint32_t> second = {1};
    ASSERT_TRUE(WriteLogCsv(dir_.File("bob.csv"), Headers(), log, second));
    const std::string bob = ReadBytes(dir_.File("bob.csv"));
    EXPECT_EQ(bob.substr(bob.find("\r\n") + 2),
              "PC2,bob,2024/12/06 10:00:01,GUEST,\"Win \"\"10\"\"\",007,,,Error (5)\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2) << "a temporary file stayed";
}

// A file that cannot be written or put in place leaves nothing behind, and an existing file as it was;
// one that can replaces the old file whole. A stranger's file with the temporary name is not touched.
TEST_F(LogCsvFileTest, FailureLeavesNoFileAndReplaceIsWhole) {
    LoadedLog log;
    ASSERT_TRUE(log.Assign("1733446800\tPC1\talice\t\t\t\t1\tFILE READ\t\\a\t\t\r\n"));
    const std::vector<std::uint32_t> rows = {0};

    EXPECT_FALSE(WriteLogCsv(dir_.File("missing/out.csv"), Headers(), log, rows));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "missing"));

    // The target is a folder: the finished file cannot take its place.
    std::filesystem::create_directory(dir_.Path() / "taken.csv");
    EXPECT_FALSE(WriteLogCsv(dir_.File("taken.csv"), Headers(), log, rows));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.Path() / "taken.csv"));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() / "taken.csv"));

    const std::string path = dir_.File("old.csv");
    WriteBytes(path, std::string(10000, 'x'));
    WriteBytes(path + ".tmp", "someone else's");
    ASSERT_TRUE(WriteLogCsv(path, Headers(), log, rows));
    const std::string written = ReadBytes(path);
    EXPECT_EQ(written.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_EQ(written.substr(written.find("\r\n") + 2), "PC1,alice,,,,1,FILE READ,\\a,\r\n");
    EXPECT_EQ(ReadBytes(path + ".tmp"), "someone else's");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 3);
}

} // namespace
} // namespace glimmerfen
