// The start-up trimming of "log.txt": which lines stay, the bytes of the result, the paths on which
// nothing may change, and lines far longer than a read piece.
#include "monitor/log/LogRetention.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/temp_dir.h"
#include "monitor/log/AccessLog.h"
#include "platform/exclusive_file.h"

#ifndef _WIN32
#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace glimmerfen {
namespace {

using platform::ExclusiveFile;
using platform::FileOpenMode;
using test::ReadBytes;
using test::WriteBytes;

constexpr std::int32_t kNow = 1700000000;
constexpr std::int32_t kDay = 86400;
constexpr std::int32_t kCutoff3 = kNow - 3 * kDay; // LogSetDays 3

std::string N(std::int64_t value) {
    return std::to_string(value);
}

// Large files compared without printing them: sizes and the first differing offset.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at byte " << at;
}

class LogRetentionTest : public ::testing::Test, protected test::LogFolder {};

// The boundary is strict: a line exactly LogSetDays days old goes, one a second younger stays.
TEST_F(LogRetentionTest, ThreeDayBoundaryIsStrict) {
    WriteBytes(LogPath(), N(kCutoff3 - 1) + "\tPC1\told\r\n" +         // older than the cut-off
                              N(kCutoff3) + "\tPC1\texactly\r\n" +     // exactly three days
                              N(kCutoff3 + 1) + "\tPC1\tyounger\r\n" + // one second younger
                              N(kNow) + "\tPC1\tnow\r\n");
    TrimLog(ExeDir(), 3, kNow);
    EXPECT_EQ(ReadBytes(LogPath()), N(kCutoff3 + 1) + "\tPC1\tyounger\r\n" + N(kNow) + "\tPC1\tnow\r\n");
    EXPECT_FALSE(TempExists());
}

struct LineCase {
    const char* what;
    std::string line; // without its line end
    bool kept;
};

// Field 0 is read like atoi; whatever gives no number counts as 0 and goes.
TEST_F(LogRetentionTest, FieldZeroIsReadLikeAtoi) {
    const std::string young = N(kNow - kDay);
    const std::vector<LineCase> cases = {
        {"access line", young + "\tPC1\talice\t2023-11-14 07:13:20\tGUEST\tWin\t0\t\t\t\t", true},
        // The connection started five days ago, even if the line was written yesterday.
        {"old start", N(kNow - 5 * kDay) + "\tPC1\talice\t2023-11-10 07:13:20\t\t\t0\t\t\t\t", false},
        {"empty field 0", "\tPC1\talice", false},
        {"no TAB at all", "just some text", false},
        {"empty line", "", false},
        {"letters first", "abc" + young + "\tPC1", false},
        {"blank before TAB only", "   \t" + young, false},
        {"leading blanks", "  " + young + "\tPC1", true},
        {"leading CR as blank", "\r" + young + "\tPC1", true},
        {"plus sign", "+" + young + "\tPC1", true},
        {"minus sign", "-" + young + "\tPC1", false},
        {"sign alone", "+\tPC1", false},
        {"digits then letters", young + "xyz\tPC1", true},
        {"digits then blank", young + " 1\tPC1", true},
        // Regression: a line of digits alone was kept by its number, but without a TAB field 0 is empty.
        {"number without TAB", young, false},
        {"number and text without TAB", young + " PC1 alice", false},
        {"overflow saturates high", "99999999999999999999\tPC1", true},
        {"overflow saturates low", "-99999999999999999999\tPC1", false},
        {"TAB inside later field", young + "\ta\tb\t\t", true},
    };
    std::string log;
    std::string expected;
    for (const LineCase& c : cases) {
        log += c.line + "\r\n";
        if (c.kept) {
            expected += c.line + "\r\n";
        }
    }
    WriteBytes(LogPath(), log);
    TrimLog(ExeDir(), 3, kNow);
    const std::string result = ReadBytes(LogPath());
    EXPECT_EQ(result, expected);
    for (const LineCase& c : cases) {
        const bool present = result.find(c.line + "\r\n") != std::string::npos && !c.line.empty();
        if (!c.line.empty()) {
            EXPECT_EQ(present, c.kept) << c.what;
        }
    }
}

// LF or CR LF on input, CR LF on output; a last line without an end gets one; a lone CR is a
// character of its line.
TEST_F(LogRetentionTest, LineEndsBecomeCrLf) {
    const std::string a = N(kNow) + "\ta";
    const std::string b = N(kNow) + "\tb\rstill b";
    const std::string c = N(kNow) + "\tc";
    WriteBytes(LogPath(), a + "\n" + "0\tgone\n" + b + "\r\n" + c);
    TrimLog(ExeDir(), 3, kNow);
    EXPECT_EQ(ReadBytes(LogPath()), a + "\r\n" + b + "\r\n" + c + "\r\n");

    WriteBytes(LogPath(), "0\told\r\n0\tlast old without end");
    TrimLog(ExeDir(), 3, kNow);
    EXPECT_EQ(ReadBytes(LogPath()), "") << "every line removed leaves an empty log";
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(LogPath())));
    EXPECT_FALSE(TempExists());
}

TEST_F(LogRetentionTest, ZeroDaysOpensNothing) {
    const std::string log = "0\told\nno end";
    WriteBytes(LogPath(), log);
    TrimLog(ExeDir(), 0, kNow);
    EXPECT_EQ(ReadBytes(LogPath()), log);
    EXPECT_FALSE(TempExists());
}

// Day counts that only an edited INI file can hold: negative, or more seconds than 32 bits take.
// They keep the whole log untouched rather than trimming by a wrapped cut-off.
TEST_F(LogRetentionTest, NegativeAndOverflowingDayCountsKeepEverything) {
    const std::string log = "0\tzero\n" + N(kNow) + "\tnow\n-5\tnegative\n";
    for (int days : {-1, -100, INT_MIN, 24856, 100000, INT_MAX}) {
        SCOPED_TRACE(days);
        WriteBytes(LogPath(), log);
        TrimLog(ExeDir(), days, kNow);
        EXPECT_EQ(ReadBytes(LogPath()), log);
        EXPECT_FALSE(TempExists());
    }
    // The largest count that fits puts the cut-off before 1970: time 0 stays, -5 * 10^8 goes.
    WriteBytes(LogPath(), "0\tzero\n-500000000\tfar past\n");
    TrimLog(ExeDir(), 24855, kNow);
    EXPECT_EQ(ReadBytes(LogPath()), "0\tzero\r\n");
}

TEST_F(LogRetentionTest, MissingLogTouchesNothing) {
    TrimLog(ExeDir(), 3, kNow);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(LogPath())));
    EXPECT_FALSE(TempExists());
}

TEST_F(LogRetentionTest, HeldLogStaysAndTempFileIsNotTouched) {
    const std::string log = "0\told\r\n" + N(kNow) + "\tnew\r\n";
    WriteBytes(LogPath(), log);
    {
        ExclusiveFile holder;
        ASSERT_TRUE(holder.Open(LogPath(), FileOpenMode::ReadWriteAlways));
        TrimLog(ExeDir(), 3, kNow);
        EXPECT_FALSE(TempExists());
        WriteBytes(TempPath(), "leftover");
        TrimLog(ExeDir(), 3, kNow);
    }
    EXPECT_EQ(ReadBytes(LogPath()), log);
    EXPECT_EQ(ReadBytes(TempPath()), "leftover");
}

TEST_F(LogRetentionTest, LogStaysWhenTempFileCannotBeCreated) {
    const std::string log = "0\told\r\n" + N(kNow) + "\tnew\r\n";
    WriteBytes(LogPath(), log);
    WriteBytes(TempPath(), "held by someone");
    {
        ExclusiveFile holder;
        ASSERT_TRUE(holder.Open(TempPath(), FileOpenMode::ReadWriteAlways));
        TrimLog(ExeDir(), 3, kNow);
    }
    EXPECT_EQ(ReadBytes(LogPath()), log);
    EXPECT_EQ(ReadBytes(TempPath()), "held by someone");
    // Once free, a stale temporary file is simply overwritten.
    TrimLog(ExeDir(), 3, kNow);
    EXPECT_EQ(ReadBytes(LogPath()), N(kNow) + "\tnew\r\n");
    EXPECT_FALSE(TempExists());
}

#ifndef _WIN32
// A disk that fills up while the kept lines are written: the short copy must not take the log's place,
// or the log's tail is gone.
TEST_F(LogRetentionTest, FullDiskDuringTheCopyLeavesTheLog) {
    std::string log = "0\told\r\n";
    for (int i = 0; i < 20; ++i) {
        log += N(kNow) + "\tPC" + std::to_string(i) + std::string(100, 'x') + "\r\n";
    }
    WriteBytes(LogPath(), log);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // In a child, so that the file size limit stays there: the disk is "full" 1000 bytes on.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 1000;
        setrlimit(RLIMIT_FSIZE, &limit);
        TrimLog(ExeDir(), 3, kNow);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(SameBytes(ReadBytes(LogPath()), log));
    EXPECT_FALSE(TempExists());
}
#endif

// Lines of 10 MB, ten times the read piece, pass whole; so does a dropped one, without a trace.
TEST_F(LogRetentionTest, HugeLinesAreKeptOrDroppedWhole) {
    std::string huge(10u << 20, 'x');
    for (std::size_t i = 0; i < huge.size(); i += 4099) {
        huge[i] = static_cast<char>('a' + i % 26);
    }
    const std::string keptHuge = N(kNow) + "\t" + huge;
    const std::string droppedHuge = N(kCutoff3) + "\t" + huge;
    const std::string small = N(kNow) + "\tsmall";
    WriteBytes(LogPath(), small + "\r\n" + droppedHuge + "\r\n" + keptHuge + "\r\n" + small + "\n" + droppedHuge);
    TrimLog(ExeDir(), 3, kNow);
    const std::string result = ReadBytes(LogPath());
    EXPECT_TRUE(SameBytes(result, small + "\r\n" + keptHuge + "\r\n" + small + "\r\n"));
}

// An independent, whole-file reading of the rules, for comparing on generated logs.
std::string ReferenceTrim(const std::string& log, std::int64_t cutoff) {
    std::string out;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        const bool ended = end != std::string::npos;
        if (!ended) {
            end = log.size();
        }
        std::string line = log.substr(start, end - start);
        if (ended && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t tab = line.find('\t');
        const std::string field0 = tab == std::string::npos ? std::string() : line.substr(0, tab);
        long long value = std::strtoll(field0.c_str(), nullptr, 10);
        value = std::max<long long>(std::min<long long>(value, INT32_MAX), INT32_MIN);
        if (cutoff < value) {
            out += line + "\r\n";
        }
        start = end + 1;
    }
    return out;
}

// Generated logs full of awkward pieces (CR before and after piece boundaries, blanks, long digit
// runs), trimmed with read pieces of many sizes: always the reference's bytes.
TEST_F(LogRetentionTest, ResultDoesNotDependOnTheReadPieceSize) {
    std::mt19937 random(20240611);
    const std::vector<std::string> starts = {N(kNow),
                                             N(kCutoff3),
                                             N(kCutoff3 + 1),
                                             "",
                                             "  " + N(kNow),
                                             "\r" + N(kNow),
                                             "+" + N(kNow),
                                             "-" + N(kNow),
                                             "x" + N(kNow),
                                             "\r",
                                             "\r\r",
                                             " \v\f" + N(kNow),
                                             "000000000000000000000000000000" + N(kNow),
                                             "99999999999999999999999999999999999"};
    const std::vector<std::string> rests = {
        "\tPC1\talice\t\t\t\t0\t\t\t\t", "", "\t", "\t\r\t", "abc\r", "\r", " ", "\r\r", std::string(300, 'z')};
    const std::vector<std::string> ends = {"\r\n", "\n", "\r\r\n"};
    for (int round = 0; round < 20; ++round) {
        std::string log;
        const int lineCount = 1 + static_cast<int>(random() % 60);
        for (int i = 0; i < lineCount; ++i) {
            log += starts[random() % starts.size()] + rests[random() % rests.size()];
            if (i + 1 < lineCount || random() % 2 == 0) {
                log += ends[random() % ends.size()];
            }
        }
        const std::string expected = ReferenceTrim(log, kCutoff3);
        for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{17},
                                  std::size_t{64}, kTrimChunkSize}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", piece " + std::to_string(piece));
            WriteBytes(LogPath(), log);
            TrimLog(ExeDir(), 3, kNow, piece);
            ASSERT_EQ(ReadBytes(LogPath()), expected);
            ASSERT_FALSE(TempExists());
        }
    }
}

// A line appended by this process while the log is being trimmed waits for the trimming and then
// lands in the trimmed file: it is neither refused by the exclusive opening nor written into the old
// file that the trimmed one replaces.
TEST_F(LogRetentionTest, LineAppendedDuringTrimmingLandsInTheResult) {
    std::string log;
    for (int i = 0; i < 20000; ++i) {
        log += N(i % 2 == 0 ? kNow : kCutoff3) + "\tPC" + std::to_string(i) + "\talice\t\t\t\t0\t\t\t\t\r\n";
    }
    const std::string expectedKept = ReferenceTrim(log, kCutoff3);
    const std::string late = N(kNow) + "\tLATE\tbob\t\t\t\t\t\t\tm\t\r\n";
    bool overlapped = false;
    for (int attempt = 0; attempt < 3 && !overlapped; ++attempt) {
        WriteBytes(LogPath(), log);
        std::atomic<bool> trimmed{false};
        // Small read pieces make the pass slow enough to be met by the appender.
        std::thread trimmer([&] {
            TrimLog(ExeDir(), 3, kNow, 16);
            trimmed = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!TempExists() && !trimmed.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        overlapped = TempExists() && !trimmed.load();
        AccessLog appender(LogPath(), "GlimmerfenChecker", AccessLog::Limits{});
        const bool appended = appender.AppendLine(late);
        trimmer.join();
        EXPECT_TRUE(appended);
        EXPECT_TRUE(SameBytes(ReadBytes(LogPath()), expectedKept + late));
        EXPECT_FALSE(TempExists());
    }
    EXPECT_TRUE(overlapped) << "the append never met the trimming; the test proved nothing";
}

#ifndef _WIN32
// Another program appends to the log while it is trimmed, again and again, through its own
// exclusive openings (the in-process guard does not stop it): an append may be refused, but one that
// succeeded is never lost, neither into the old file that the trimmed one replaces nor by the
// replacing itself. (Windows cannot move a file over one that is still open, so there the old log is
// let go just before the move; see ExclusiveFile::ReplaceByMove.)
TEST_F(LogRetentionTest, LineAppendedByAnotherOpeningIsNeverLost) {
    std::string log;
    for (int i = 0; i < 2000; ++i) {
        log += N(i % 2 == 0 ? kNow : kCutoff3) + "\tPC" + std::to_string(i) + "\talice\t\t\t\t0\t\t\t\t\r\n";
    }
    WriteBytes(LogPath(), log);
    std::atomic<bool> done{false};
    std::vector<std::string> appended;
    std::thread appender([&] {
        ExclusiveFile file;
        for (int i = 0; !done.load(); ++i) {
            // Press without pause while a trimming is under way, so that openings meet the moment the
            // old log is replaced; otherwise leave room between appends, since a trimming that finds
            // the log held is skipped, as designed.
            const bool trimming = TempExists();
            const std::string line = N(kNow) + "\tOTHER" + std::to_string(i) + "\tbob\t\t\t\t\t\t\tm\t\r\n";
            if (file.Open(LogPath(), FileOpenMode::ReadWriteAlways)) {
                if (file.Append(line.data(), line.size())) {
                    appended.push_back(line);
                }
                file.Close();
            }
            if (!trimming) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        }
    });
    // Before every round an old line goes to the end of the log; a round trimmed the log exactly when
    // that line is gone afterwards. The loop ends on a trimmed round, so no old line is left.
    int trimmed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int round = 0; trimmed < 50 && std::chrono::steady_clock::now() < deadline; ++round) {
        const std::string old = N(kCutoff3 - 1) + "\tOLD" + std::to_string(round) + "\tcarol\t\t\t\t0\t\t\t\t\r\n";
        ExclusiveFile file;
        bool opened = false;
        while (!(opened = file.Open(LogPath(), FileOpenMode::ReadWriteAlways)) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        const bool put = opened && file.Append(old.data(), old.size());
        file.Close();
        if (!put) {
            ADD_FAILURE() << "could not append the old line";
            break;
        }
        TrimLog(ExeDir(), 3, kNow, 512);
        trimmed += ReadBytes(LogPath()).find(old) == std::string::npos ? 1 : 0;
    }
    done = true;
    appender.join();
    ASSERT_EQ(trimmed, 50) << "the log was trimmed too rarely to prove anything";
    const std::string result = ReadBytes(LogPath());
    EXPECT_FALSE(appended.empty()) << "the appender never got in; the test proved nothing";
    std::size_t lost = 0;
    std::string expected = ReferenceTrim(log, kCutoff3);
    for (const std::string& line : appended) {
        lost += result.find(line) == std::string::npos ? 1 : 0;
        expected += line;
    }
    EXPECT_EQ(lost, 0u) << "of " << appended.size() << " appended lines";
    // The appended lines are young, so every trimming keeps them all, in order.
    EXPECT_TRUE(SameBytes(result, expected));
    EXPECT_FALSE(TempExists());
}
#endif

} // namespace
} // namespace glimmerfen
