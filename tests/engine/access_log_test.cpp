// The access log: exclusive files, the exact bytes of its lines, the settings that leave lines out,
// failures to open it, and appenders on several threads.
#include "monitor/log/AccessLog.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "engine/codepage_fixture.h"
#include "engine/temp_dir.h"
#include "platform/codepage.h"
#include "platform/exclusive_file.h"
#include "platform/shared_lock.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "engine/time_zone_fixture.h"

#ifndef _WIN32
#include "platform/posix/testing.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace glimmerfen {
namespace {

using platform::ExclusiveFile;
using platform::FileOpenMode;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

bool Exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::path(path));
}

std::size_t CountOf(const std::string& text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

// Splits at CR LF; the text must end with one.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "bytes after the last line end";
    return lines;
}

// Every message shown while it lives, instead of a box.
class CapturedMessages {
public:
    struct Message {
        std::string text;
        std::string caption;
        platform::MessageIcon icon;
    };
    CapturedMessages() {
        previous_ = platform::SetMessageSinkForTesting(
            [this](const std::string& text, const std::string& caption, platform::MessageIcon icon) {
                std::lock_guard<std::mutex> lock(mutex_);
                messages_.push_back({text, caption, icon});
            });
    }
    ~CapturedMessages() { platform::SetMessageSinkForTesting(previous_); }
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;

    std::vector<Message> Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::exchange(messages_, {});
    }

private:
    std::mutex mutex_;
    std::vector<Message> messages_;
    platform::MessageSink previous_;
};

// ---------------------------------------------------------------------------------------------
// Exclusive files

const char* ModeName(FileOpenMode mode) {
    switch (mode) {
    case FileOpenMode::ReadWriteAlways:
        return "ReadWriteAlways";
    case FileOpenMode::ReadExisting:
        return "ReadExisting";
    case FileOpenMode::CreateTruncate:
        return "CreateTruncate";
    }
    return "?";
}

constexpr FileOpenMode kModes[] = {FileOpenMode::ReadWriteAlways, FileOpenMode::ReadExisting,
                                   FileOpenMode::CreateTruncate};

TEST(ExclusiveFileTest, SecondOpeningFailsInEveryModeAndChangesNothing) {
    TempDir dir;
    const std::string path = dir.File("held.txt");
    for (FileOpenMode first : kModes) {
        for (FileOpenMode second : kModes) {
            SCOPED_TRACE(std::string(ModeName(first)) + " then " + ModeName(second));
            WriteBytes(path, "kept\r\n");
            ExclusiveFile holder;
            ASSERT_TRUE(holder.Open(path, first));
            const std::string held = first == FileOpenMode::CreateTruncate ? "" : "kept\r\n";
            ExclusiveFile intruder;
            EXPECT_FALSE(intruder.Open(path, second));
            EXPECT_FALSE(intruder.IsOpen());
            // In particular a refused CreateTruncate must not have emptied the holder's file.
            ASSERT_TRUE(holder.Seek(0));
            char buffer[16] = {};
            const std::int64_t got = holder.Read(buffer, sizeof buffer);
            ASSERT_GE(got, 0);
            EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), held);
            ASSERT_TRUE(holder.Close());
            EXPECT_TRUE(intruder.Open(path, second)) << "the file must be free again once closed";
        }
    }
}

TEST(ExclusiveFileTest, ModesCreateKeepOrEmptyTheFile) {
    TempDir dir;
    const std::string missing = dir.File("missing.txt");
    ExclusiveFile file;
    EXPECT_FALSE(file.Open(missing, FileOpenMode::ReadExisting));
    EXPECT_FALSE(Exists(missing)) << "reading must not create the file";

    ASSERT_TRUE(file.Open(missing, FileOpenMode::ReadWriteAlways));
    ASSERT_TRUE(file.Append("ab", 2));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadBytes(missing), "ab");

    ASSERT_TRUE(file.Open(missing, FileOpenMode::ReadWriteAlways));
    ASSERT_TRUE(file.Append("cd", 2)) << "a reopened file is not truncated and grows at the end";
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadBytes(missing), "abcd");

    ASSERT_TRUE(file.Open(missing, FileOpenMode::CreateTruncate));
    ASSERT_TRUE(file.Write("xyz12", 5));
    ASSERT_TRUE(file.Seek(3));
    ASSERT_TRUE(file.TruncateHere());
    ASSERT_TRUE(file.Write("!", 1));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadBytes(missing), "xyz!");

    ASSERT_TRUE(file.Open(missing, FileOpenMode::ReadExisting));
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 3), 3);
    EXPECT_EQ(file.Read(buffer + 3, 8 - 3), 1);
    EXPECT_EQ(file.Read(buffer, 8), 0) << "end of file";
    EXPECT_EQ(std::string(buffer, 3), "xyz");
    EXPECT_FALSE(file.Write("no", 2)) << "a file opened for reading refuses writes";
}

TEST(ExclusiveFileTest, MovedOpeningKeepsTheFileHeld) {
    TempDir dir;
    const std::string path = dir.File("moved.txt");
    ExclusiveFile first;
    ASSERT_TRUE(first.Open(path, FileOpenMode::ReadWriteAlways));
    ExclusiveFile second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(first.Close()) << "closing a moved-from file is a no-op";
    ExclusiveFile intruder;
    EXPECT_FALSE(intruder.Open(path, FileOpenMode::ReadExisting));
    second = ExclusiveFile();
    EXPECT_TRUE(intruder.Open(path, FileOpenMode::ReadExisting));
}

TEST(ExclusiveFileTest, ReplaceTakesThePlaceOfAnExistingFile) {
    TempDir dir;
    const std::string from = dir.File("new.txt");
    const std::string to = dir.File("old.txt");
    WriteBytes(from, "new");
    WriteBytes(to, "old");
    EXPECT_TRUE(platform::ReplaceFileByMove(from, to));
    EXPECT_EQ(ReadBytes(to), "new");
    EXPECT_FALSE(Exists(from));

    EXPECT_FALSE(platform::ReplaceFileByMove(dir.File("absent.txt"), to));
    EXPECT_EQ(ReadBytes(to), "new") << "a failed replace leaves the target alone";
}

// The opening that holds the old file does the move and is closed by it, whether the move worked or
// not; the file now in the old one's place is free for the next opening at once.
TEST(ExclusiveFileTest, HeldFileIsReplacedAndLetGo) {
    TempDir dir;
    const std::string from = dir.File("new.txt");
    const std::string to = dir.File("old.txt");
    WriteBytes(from, "new");
    WriteBytes(to, "old");
    ExclusiveFile held;
    ASSERT_TRUE(held.Open(to, FileOpenMode::ReadExisting));
    EXPECT_TRUE(held.ReplaceByMove(from, to));
    EXPECT_FALSE(held.IsOpen());
    EXPECT_EQ(ReadBytes(to), "new");
    EXPECT_FALSE(Exists(from));
    ExclusiveFile next;
    EXPECT_TRUE(next.Open(to, FileOpenMode::ReadWriteAlways));
    next.Close();

    ASSERT_TRUE(held.Open(to, FileOpenMode::ReadExisting));
    EXPECT_FALSE(held.ReplaceByMove(dir.File("absent.txt"), to));
    EXPECT_FALSE(held.IsOpen());
    EXPECT_EQ(ReadBytes(to), "new") << "a failed replace leaves the target alone";
    EXPECT_TRUE(next.Open(to, FileOpenMode::ReadWriteAlways)) << "and lets it go";
}

#ifndef _WIN32
// The holder moves another file over the one being opened and lets the old one go between the
// opening and its lock: the lock then lands on a file without a name. The opening must start again
// on the file that now has the name, or what it appends is lost.
TEST(ExclusiveFileTest, OpeningWhoseFileIsReplacedBeforeItsLockStartsAgain) {
    TempDir dir;
    struct Moment {
        std::string from;
        std::string to;
        ExclusiveFile holder;
        int calls = 0;
    } moment{dir.File("new.txt"), dir.File("log.txt"), ExclusiveFile(), 0};
    WriteBytes(moment.from, "new\n");
    WriteBytes(moment.to, "old\n");
    ASSERT_TRUE(moment.holder.Open(moment.to, FileOpenMode::ReadExisting));
    platform::SetBetweenOpenAndLockHookForTesting(
        [](void* context) {
            auto* m = static_cast<Moment*>(context);
            if (m->calls++ == 0) {
                m->holder.Close();
                EXPECT_TRUE(platform::ReplaceFileByMove(m->from, m->to));
            }
        },
        &moment);
    ExclusiveFile opener;
    const bool opened = opener.Open(moment.to, FileOpenMode::ReadWriteAlways);
    platform::SetBetweenOpenAndLockHookForTesting(nullptr, nullptr);
    ASSERT_TRUE(opened);
    EXPECT_EQ(moment.calls, 2) << "one opening of the replaced file, one of the new one";
    EXPECT_TRUE(opener.Append("line\n", 5));
    opener.Close();
    EXPECT_EQ(ReadBytes(moment.to), "new\nline\n");
}

// The lock must hold against other processes too, as a share mode of 0 does on Windows.
TEST(ExclusiveFileTest, AnotherProcessCannotOpenAHeldFile) {
    TempDir dir;
    const std::string path = dir.File("shared.txt");
    WriteBytes(path, "x");
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ExclusiveFile held;
        const char opened = held.Open(path, FileOpenMode::ReadWriteAlways) ? '1' : '0';
        (void)!write(toParent[1], &opened, 1);
        char go = 0;
        (void)!read(toChild[0], &go, 1); // holds the file until the parent has tried
        _exit(0);
    }
    char opened = 0;
    ASSERT_EQ(read(toParent[0], &opened, 1), 1);
    ASSERT_EQ(opened, '1');
    ExclusiveFile mine;
    EXPECT_FALSE(mine.Open(path, FileOpenMode::ReadExisting));
    EXPECT_FALSE(mine.Open(path, FileOpenMode::CreateTruncate));
    EXPECT_EQ(ReadBytes(path), "x");
    ASSERT_EQ(write(toChild[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(mine.Open(path, FileOpenMode::ReadExisting)) << "free once the other process ended";
    for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) {
        close(fd);
    }
}

// Regression: a write cut short by a full disk left the start of the line in the log, and the next
// line was appended to it, corrupting both. The append is now whole or not at all.
TEST(ExclusiveFileTest, ShortAppendLeavesNoPartOfTheLine) {
    TempDir dir;
    const std::string path = dir.File("log.txt");
    WriteBytes(path, "first\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // In a child, so that the file size limit stays there: the disk is "full" 10 bytes on.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = 7 + 10;
        setrlimit(RLIMIT_FSIZE, &limit);
        ExclusiveFile file;
        const bool opened = file.Open(path, FileOpenMode::ReadWriteAlways);
        const std::string line(100, 'x');
        const bool appended = file.Append(line.data(), line.size());
        _exit(opened && !appended ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the append should have failed";
    EXPECT_EQ(ReadBytes(path), "first\r\n");
}
#endif

// ---------------------------------------------------------------------------------------------
// Composition

AccessEntry SessionEntry() {
    AccessEntry e;
    e.key = 4;
    e.clientName = "PC1";
    e.userName = "alice";
    e.startTime = 1026691503; // 2002-07-15 09:05:03 in Tokyo
    e.startTimeText = "2002-07-15 09:05:03";
    e.userIdent = "NOENCRYPTION";
    e.clientType = "Windows 2000 2195";
    e.connectedText = "00:00:07";
    e.idleText = "00:00:01";
    e.openCount = 2;
    return e;
}

AccessEntry OpenFileEntry() {
    AccessEntry e;
    e.key = 5;
    e.userName = "alice";
    e.startTime = 1026691503;
    e.startTimeText = "2002-07-15 09:05:03";
    e.fileId = 123;
    e.operation = "FILE READ";
    e.pathName = "C:\\share\\a.txt";
    e.lockCount = 1;
    return e;
}

TEST(AccessLogComposeTest, AccessLinesHaveTheFieldsInTheirPlaces) {
    EXPECT_EQ(AccessLog::ComposeAccessLine(SessionEntry()),
              "1026691503\tPC1\talice\t2002-07-15 09:05:03\tNOENCRYPTION\tWindows 2000 2195\t0\t\t\t\t\r\n");
    EXPECT_EQ(AccessLog::ComposeAccessLine(OpenFileEntry()),
              "1026691503\t\talice\t2002-07-15 09:05:03\t\t\t123\tFILE READ\tC:\\share\\a.txt\t\t\r\n");

    AccessEntry negative;
    negative.startTime = -5;
    negative.fileId = -2147483647 - 1;
    EXPECT_EQ(AccessLog::ComposeAccessLine(negative), "-5\t\t\t\t\t\t-2147483648\t\t\t\t\r\n");
}

// The disconnect line's time text is local time.
using AccessLogDisconnectTest = test::TokyoZoneTest;

TEST_F(AccessLogDisconnectTest, DisconnectLineHasTimeTwiceAndMessageInField9) {
    EXPECT_EQ(AccessLog::ComposeDisconnectLine(1700000000, "PC1", "alice", "Disconnect manually"),
              "1700000000\tPC1\talice\t2023-11-15 07:13:20\t\t\t\t\t\tDisconnect manually\t\r\n");
    EXPECT_EQ(AccessLog::ComposeDisconnectLine(1700000000, "", "", ""),
              "1700000000\t\t\t2023-11-15 07:13:20\t\t\t\t\t\t\t\r\n");
    // A closed file: its path in field 8, the same eleven pieces.
    EXPECT_EQ(AccessLog::ComposeDisconnectLine(1700000000, "", "bob", "Closed the file manually", "C:\\s\\a.doc"),
              "1700000000\t\tbob\t2023-11-15 07:13:20\t\t\t\t\tC:\\s\\a.doc\tClosed the file manually\t\r\n");
}

// Every value that could carry a TAB, CR or LF, one at a time: the line keeps its ten TABs and its
// single line end, and the value keeps its other bytes.
TEST(AccessLogComposeTest, TabsAndLineBreaksInValuesBecomeSpaces) {
    std::string AccessEntry::*const fields[] = {
        &AccessEntry::clientName, &AccessEntry::userName,  &AccessEntry::startTimeText, &AccessEntry::userIdent,
        &AccessEntry::clientType, &AccessEntry::operation, &AccessEntry::pathName};
    const std::string hostile = "a\tb\rc\nd\r\n\te";
    const std::string cleaned = "a b c d   e";
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        SCOPED_TRACE("field " + std::to_string(i));
        AccessEntry entry = SessionEntry();
        entry.*fields[i] = hostile;
        const std::string line = AccessLog::ComposeAccessLine(entry);
        EXPECT_EQ(CountOf(line, '\t'), 10u);
        EXPECT_EQ(CountOf(line, '\r'), 1u);
        EXPECT_EQ(CountOf(line, '\n'), 1u);
        EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
        EXPECT_NE(line.find(cleaned), std::string::npos) << line;
    }
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE("disconnect value " + std::to_string(which));
        const std::string line = AccessLog::ComposeDisconnectLine(
            1700000000, which == 0 ? hostile : "PC1", which == 1 ? hostile : "alice", which == 2 ? hostile : "message");
        EXPECT_EQ(CountOf(line, '\t'), 10u);
        EXPECT_EQ(CountOf(line, '\r'), 1u);
        EXPECT_EQ(CountOf(line, '\n'), 1u);
        EXPECT_NE(line.find(cleaned), std::string::npos) << line;
    }
}

// Shift-JIS names and paths are written byte for byte; trail bytes such as 0x5C are not touched.
TEST(AccessLogComposeTest, ShiftJisValuesPassUnchanged) {
    const std::string user = "\x83\x5c\x83\x74\x83\x67";                       // katakana "soft"
    const std::string path = "C:\\\x8b\xa4\x97\x4c\\\x95\x5c\x2e\x74\x78\x74"; // C:\(share)\(table).txt
    const std::string message = "\x8e\xe8\x93\xae\x90\xd8\x92\x66";            // manual disconnection
    AccessEntry entry = OpenFileEntry();
    entry.userName = user;
    entry.pathName = path;
    EXPECT_EQ(AccessLog::ComposeAccessLine(entry),
              "1026691503\t\t" + user + "\t2002-07-15 09:05:03\t\t\t123\tFILE READ\t" + path + "\t\t\r\n");
    const std::string line = AccessLog::ComposeDisconnectLine(1700000000, "PC1", user, message);
    EXPECT_NE(line.find("\t" + user + "\t"), std::string::npos);
    EXPECT_NE(line.find("\t" + message + "\t\r\n"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Writing

constexpr const char* kFailureEnglish = "Preservation of a log went wrong.";
// "ログの保存に失敗しました" in Shift-JIS.
constexpr const char* kFailureJapanese =
    "\x83\x8d\x83\x4f\x82\xcc\x95\xdb\x91\xb6\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

class AccessLogFileTest : public ::testing::Test {
protected:
    AccessLogFileTest() : log_(dir_.File("log.txt"), "GlimmerfenChecker", AccessLog::Limits{}) {
        settings_.LogOut = 1;
        settings_.LogChkOkPc = 0;
        settings_.LogChkDisMsg = 0;
    }

    TempDir dir_;
    AppSettings settings_;
    AccessLog log_;
};

TEST_F(AccessLogFileTest, FirstLineCreatesTheFileAndLaterLinesFollowIt) {
    ASSERT_FALSE(Exists(log_.Path()));
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, SessionEntry()), LogWrite::Written);
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, OpenFileEntry()), LogWrite::Written);
    EXPECT_EQ(ReadBytes(log_.Path()),
              AccessLog::ComposeAccessLine(SessionEntry()) + AccessLog::ComposeAccessLine(OpenFileEntry()));

    // An existing file (say, with a last line that lacks its end) is only ever added to.
    WriteBytes(log_.Path(), "older\r\nunfinished");
    EXPECT_TRUE(log_.AppendLine("x\r\n"));
    EXPECT_EQ(ReadBytes(log_.Path()), "older\r\nunfinishedx\r\n");
}

TEST_F(AccessLogFileTest, DisconnectLineIsStampedWithOneReadingOfTheClock) {
    const std::int32_t before = static_cast<std::int32_t>(std::time(nullptr));
    EXPECT_EQ(log_.WriteDisconnectLine(settings_, "PC1", "alice", "Disconnect manually"), LogWrite::Written);
    const std::int32_t after = static_cast<std::int32_t>(std::time(nullptr));
    const std::vector<std::string> lines = SplitLines(ReadBytes(log_.Path()));
    ASSERT_EQ(lines.size(), 1u);
    const std::int32_t stamp = std::atoi(lines[0].c_str());
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    EXPECT_EQ(lines[0] + "\r\n", AccessLog::ComposeDisconnectLine(stamp, "PC1", "alice", "Disconnect manually"));
}

TEST_F(AccessLogFileTest, LogOutZeroWritesNothingAndCreatesNoFile) {
    settings_.LogOut = 0;
    CapturedMessages messages;
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, SessionEntry()), LogWrite::Skipped);
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, OpenFileEntry()), LogWrite::Skipped);
    EXPECT_EQ(log_.WriteDisconnectLine(settings_, "PC1", "alice", "m"), LogWrite::Skipped);
    EXPECT_FALSE(Exists(log_.Path()));
    EXPECT_TRUE(messages.Take().empty());
}

TEST_F(AccessLogFileTest, LogChkDisMsgLeavesOutDisconnectLinesOnly) {
    settings_.LogChkDisMsg = 1;
    EXPECT_EQ(log_.WriteDisconnectLine(settings_, "PC1", "alice", "m"), LogWrite::Skipped);
    EXPECT_EQ(log_.TryWriteDisconnectLine(settings_, "PC1", "alice", "m"), LogWrite::Skipped);
    EXPECT_FALSE(Exists(log_.Path()));
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, SessionEntry()), LogWrite::Written);
    EXPECT_EQ(ReadBytes(log_.Path()), AccessLog::ComposeAccessLine(SessionEntry()));
}

TEST_F(AccessLogFileTest, LogChkOkPcLeavesOutAcceptablePcsIgnoringCase) {
    settings_.DisJuncOkPcStr.Set("PC1;PC2");
    settings_.DisJuncOkPcFlag = 0; // the list counts even when its rule is off
    AccessEntry pc2 = SessionEntry();
    pc2.clientName = "pc2";
    AccessEntry pc3 = SessionEntry();
    pc3.clientName = "PC3";

    settings_.LogChkOkPc = 1;
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, pc2), LogWrite::Skipped);
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, OpenFileEntry()), LogWrite::Written) << "no client name";
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, pc3), LogWrite::Written);
    settings_.LogChkOkPc = 0;
    EXPECT_EQ(log_.TryWriteAccessLine(settings_, pc2), LogWrite::Written);
    EXPECT_EQ(ReadBytes(log_.Path()), AccessLog::ComposeAccessLine(OpenFileEntry()) +
                                          AccessLog::ComposeAccessLine(pc3) + AccessLog::ComposeAccessLine(pc2));
}

// Regression: while another program held the file, every line was lost. Now the lines wait, in order,
// and land ahead of the next line once the file is free; the user is told once per episode, and which
// file could not be written.
TEST_F(AccessLogFileTest, HeldFileKeepsTheLinesWaitingAndReportsOnce) {
#ifndef _WIN32
    test::ScopedCodePage english(1252);
#endif
    // Windows runs this in English and again in Japanese (code page 932).
    const std::string header = platform::AnsiCodePage() == 932 ? kFailureJapanese : kFailureEnglish;
    WriteBytes(log_.Path(), "before\r\n");
    CapturedMessages messages;
    {
        ExclusiveFile other;
        ASSERT_TRUE(other.Open(log_.Path(), FileOpenMode::ReadExisting));
        EXPECT_FALSE(log_.AppendLine("first\r\n"));
        EXPECT_EQ(log_.TryWriteAccessLine(settings_, SessionEntry()), LogWrite::Waiting);
        EXPECT_TRUE(messages.Take().empty()) << "the Try variants leave the report to the caller";

        EXPECT_EQ(log_.WriteDisconnectLine(settings_, "PC1", "alice", "m"), LogWrite::Waiting);
        EXPECT_EQ(log_.WriteDisconnectLine(settings_, "PC1", "alice", "m"), LogWrite::Waiting);
        const auto shown = messages.Take();
        ASSERT_EQ(shown.size(), 1u) << "one box per episode";
        EXPECT_EQ(shown[0].text, header + "\n" + log_.Path());
        EXPECT_EQ(shown[0].caption, "GlimmerfenChecker");
        EXPECT_EQ(shown[0].icon, platform::MessageIcon::Warning);
        EXPECT_EQ(log_.WaitingLines(), 4u);
    }
    EXPECT_EQ(ReadBytes(log_.Path()), "before\r\n");
    EXPECT_TRUE(log_.AppendLine("last\r\n"));
    const std::vector<std::string> lines = SplitLines(ReadBytes(log_.Path()));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1] + "\r\n" + lines[2] + "\r\n", "first\r\n" + AccessLog::ComposeAccessLine(SessionEntry()));
    EXPECT_EQ(lines[0] + lines[3].substr(lines[3].size() - 3) + lines[5], "before\tm\tlast");
    EXPECT_FALSE(log_.TakeFailureToReport()) << "the episode was reported already";
}

// What waits is bounded: the oldest lines go, and one line in the log says how many. Lines still waiting
// at the end go to the side file, which a later run writes first. Two runs that both end while the log is
// held keep the lines of both (the second appends to the side file, it does not rewrite it).
TEST_F(AccessLogFileTest, BoundedWaitAndSideFileAcrossRuns) {
    const std::string side = dir_.File(kLogWaitingFileName);
    ExclusiveFile other;
    ASSERT_TRUE(other.Open(log_.Path(), FileOpenMode::ReadWriteAlways));
    {
        AccessLog first(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{3, 1 << 20});
        for (const char* line : {"1\r\n", "2\r\n3\r\n", "4\r\n", "5\r\n"}) {
            EXPECT_FALSE(first.AppendLine(line));
        }
        first.KeepWaitingLines(); // the program ends while the log is still held
    }
    {
        AccessLog second(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
        EXPECT_FALSE(second.AppendLine("6\r\n"));
        second.KeepWaitingLines(); // and so does the next
    }
    AccessLog third(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
    EXPECT_TRUE(Exists(side));
    EXPECT_FALSE(third.AppendLine("7\r\n"));
    other.Close();
    EXPECT_TRUE(third.AppendLine({}));
    // The episode of dropped lines has ended: later lines come alone.
    EXPECT_TRUE(third.AppendLine("8\r\n"));
    const std::vector<std::string> lines = SplitLines(ReadBytes(log_.Path()));
    ASSERT_EQ(lines.size(), 7u);
    char dropped[512];
    std::snprintf(dropped, sizeof dropped, platform::LoadText(IDS_LOG_LINES_DROPPED).c_str(), 2);
    EXPECT_NE(lines[0].find(std::string("\t") + dropped + "\t"), std::string::npos) << lines[0];
    EXPECT_EQ(CountOf(lines[0], '\t'), 10u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{"3", "4", "5", "6", "7", "8"}));
    EXPECT_FALSE(Exists(side));
    EXPECT_FALSE(Exists(dir_.File(kLogTakenFileName)));
}

// A run meets the held log again and again: each episode is told on its own, not only the first.
TEST_F(AccessLogFileTest, EveryHeldEpisodeOfARunIsReported) {
    for (int episode = 1; episode <= 2; ++episode) {
        ExclusiveFile other;
        ASSERT_TRUE(other.Open(log_.Path(), FileOpenMode::ReadWriteAlways));
        EXPECT_FALSE(log_.AppendLine("held\r\n"));
        EXPECT_TRUE(log_.TakeFailureToReport()) << "episode " << episode << " was not reported";
        other.Close();
        EXPECT_TRUE(log_.AppendLine("free\r\n"));
    }
}

// The count of dropped lines is written once, ahead of the lines of its episode, and not again with
// every later write of the same log object.
TEST_F(AccessLogFileTest, DroppedCountIsWrittenOnlyInItsEpisode) {
    AccessLog log(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{1, 1 << 20});
    {
        ExclusiveFile other;
        ASSERT_TRUE(other.Open(log_.Path(), FileOpenMode::ReadWriteAlways));
        EXPECT_FALSE(log.AppendLine("1\r\n"));
        EXPECT_FALSE(log.AppendLine("2\r\n")); // "1" is dropped
    }
    EXPECT_TRUE(log.AppendLine("3\r\n"));
    EXPECT_TRUE(log.AppendLine("4\r\n"));
    EXPECT_TRUE(log.AppendLine({}));
    const std::vector<std::string> lines = SplitLines(ReadBytes(log_.Path()));
    ASSERT_EQ(lines.size(), 4u);
    char dropped[512];
    std::snprintf(dropped, sizeof dropped, platform::LoadText(IDS_LOG_LINES_DROPPED).c_str(), 1);
    EXPECT_NE(lines[0].find(std::string("\t") + dropped + "\t"), std::string::npos) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), (std::vector<std::string>{"2", "3", "4"}));
}

// The side file is renamed before its lines are appended and removed after. A start that finds the
// renamed file (the program ended in between, or the removal failed while the run went on) appends its
// lines only when the log does not hold them already, and ahead of a side file of a later run.
TEST_F(AccessLogFileTest, TakenFileOfAnEarlierRunIsAppendedOnce) {
    const std::string longLog = std::string(kLogChunkSize - 5, 'x') + "\r\n"; // the lines cross a piece's end
    const struct {
        const char* what;
        std::string log;
        std::string taken;
        std::string side;
        std::string expected;
    } cases[] = {
        {"ended after the append", "a\r\nT1\r\nT2\r\n", "T1\r\nT2\r\n", "", "a\r\nT1\r\nT2\r\nN\r\n"},
        {"removal failed, later lines followed", "a\r\nT1\r\nT2\r\nb\r\n", "T1\r\nT2\r\n", "",
         "a\r\nT1\r\nT2\r\nb\r\nN\r\n"},
        {"ended before the append", "a\r\nT1\r\n", "T1\r\nT2\r\n", "", "a\r\nT1\r\nT1\r\nT2\r\nN\r\n"},
        {"a side file of a later run comes after", "a\r\n", "T\r\n", "S\r\n", "a\r\nT\r\nS\r\nN\r\n"},
        {"in the log across two pieces", longLog + "T1\r\nT2\r\n", "T1\r\nT2\r\n", "", longLog + "T1\r\nT2\r\nN\r\n"},
    };
    for (const auto& c : cases) {
        WriteBytes(log_.Path(), c.log);
        WriteBytes(dir_.File(kLogTakenFileName), c.taken);
        if (!c.side.empty()) {
            WriteBytes(dir_.File(kLogWaitingFileName), c.side);
        }
        AccessLog log(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
        EXPECT_TRUE(log.AppendLine("N\r\n")) << c.what;
        EXPECT_TRUE(ReadBytes(log_.Path()) == c.expected) << c.what;
        EXPECT_FALSE(Exists(dir_.File(kLogTakenFileName))) << c.what;
        EXPECT_FALSE(Exists(dir_.File(kLogWaitingFileName))) << c.what;
    }
}

// A side file held by another program is not taken: it and every newer line wait, in order.
TEST_F(AccessLogFileTest, HeldSideFileKeepsItsPlaceAheadOfNewerLines) {
    const std::string side = dir_.File(kLogWaitingFileName);
    WriteBytes(side, "S\r\n");
    AccessLog log(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
    {
        ExclusiveFile reader;
        ASSERT_TRUE(reader.Open(side, FileOpenMode::ReadExisting));
        EXPECT_FALSE(log.AppendLine("N1\r\n"));
    }
    EXPECT_TRUE(log.AppendLine("N2\r\n"));
    EXPECT_EQ(ReadBytes(log_.Path()), "S\r\nN1\r\nN2\r\n");
    EXPECT_FALSE(Exists(side));
}

#ifndef _WIN32
// Another program opens the taken file as its lines are read and keeps it a moment longer, so its
// removal is refused. The run must try the removal again: forgotten, the file stays for the rest of the
// run, and no later side file can be renamed onto its name.
TEST_F(AccessLogFileTest, TakenFileWhoseRemovalWasRefusedIsRemovedByALaterWrite) {
    const std::string taken = dir_.File(kLogTakenFileName);
    WriteBytes(dir_.File(kLogWaitingFileName), "S\r\n");
    AccessLog log(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
    // The other program's opening: a duplicate of the log's own reading opening, made between its open
    // and its lock, shares that lock and keeps it after the log closes its descriptor.
    struct Reader {
        std::string path;
        int held = -1;
    } reader{taken};
    platform::SetBetweenOpenAndLockHookForTesting(
        [](void* context) {
            auto* r = static_cast<Reader*>(context);
            struct stat named {};
            if (r->held >= 0 || ::stat(r->path.c_str(), &named) != 0) {
                return;
            }
            for (int fd = 0; fd < 1024; ++fd) {
                struct stat opened {};
                if (::fstat(fd, &opened) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
                    r->held = ::dup(fd);
                    return;
                }
            }
        },
        &reader);
    const bool first = log.AppendLine("N1\r\n");
    platform::SetBetweenOpenAndLockHookForTesting(nullptr, nullptr);
    ASSERT_GE(reader.held, 0) << "the taken file was never opened";
    EXPECT_TRUE(first);
    EXPECT_TRUE(Exists(taken)) << "the removal should have been refused";
    ::close(reader.held);
    EXPECT_TRUE(log.AppendLine("N2\r\n"));
    EXPECT_FALSE(Exists(taken)) << "the refused removal was not tried again";
    EXPECT_EQ(ReadBytes(log_.Path()), "S\r\nN1\r\nN2\r\n");
}
#endif

// At the end, waiting lines that can go neither to the log nor to the side file are told, with their
// number; a line that comes after the end (a task the engine no longer waited for) goes to the side file
// at once instead of waiting in memory for a write that never comes.
TEST_F(AccessLogFileTest, AtTheEndNoLineIsDroppedSilently) {
#ifndef _WIN32
    test::ScopedCodePage english(1252);
#endif
    const std::string side = dir_.File(kLogWaitingFileName);
    CapturedMessages messages;
    ExclusiveFile holder;
    ASSERT_TRUE(holder.Open(log_.Path(), FileOpenMode::ReadWriteAlways));
    {
        ExclusiveFile sideHolder;
        ASSERT_TRUE(sideHolder.Open(side, FileOpenMode::ReadWriteAlways));
        EXPECT_FALSE(log_.AppendLine("1\r\n2\r\n"));
        static_cast<void>(log_.TakeFailureToReport());
        log_.KeepWaitingLines();
    }
    const auto shown = messages.Take();
    ASSERT_EQ(shown.size(), 1u);
    char lost[512];
    std::snprintf(lost, sizeof lost, platform::LoadText(IDS_LOG_LINES_LOST).c_str(), 2);
    EXPECT_EQ(shown[0].text, std::string(lost) + "\n" + side);
    EXPECT_EQ(shown[0].icon, platform::MessageIcon::Warning);

    EXPECT_FALSE(log_.AppendLine("late\r\n"));
    EXPECT_EQ(ReadBytes(side), "late\r\n");
    EXPECT_EQ(log_.WaitingLines(), 0u);
    EXPECT_TRUE(messages.Take().empty()) << "a line kept in the side file is no loss";
    holder.Close();
    AccessLog next(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
    EXPECT_TRUE(next.AppendLine({}));
    EXPECT_EQ(ReadBytes(log_.Path()), "late\r\n");
}

TEST_F(AccessLogFileTest, FailureTextIsJapaneseInCodePage932) {
    GF_USE_CODE_PAGE_OR_SKIP(932);
    CapturedMessages messages;
    log_.ReportFailure();
    const auto shown = messages.Take();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, std::string(kFailureJapanese) + "\n" + log_.Path());
}

// Several threads append at once: every line arrives whole, once, and nothing else does.
TEST_F(AccessLogFileTest, ConcurrentAppendersLoseAndInterleaveNothing) {
    constexpr int kThreads = 6;
    constexpr int kLinesEach = 300;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            AccessLog log(log_.Path(), "GlimmerfenChecker", AccessLog::Limits{});
            for (int i = 0; i < kLinesEach; ++i) {
                AccessEntry entry = OpenFileEntry();
                entry.fileId = t * 100000 + i;
                entry.pathName = "C:\\share\\" + std::string(static_cast<std::size_t>(1 + (i * 37) % 500), 'a' + t);
                if (!log.AppendLine(AccessLog::ComposeAccessLine(entry))) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0) << "writers of one process wait for each other instead of failing";

    const std::vector<std::string> lines = SplitLines(ReadBytes(log_.Path()));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    std::set<std::string> seen;
    std::vector<int> nextOfThread(kThreads, 0);
    for (const std::string& line : lines) {
        ASSERT_EQ(CountOf(line, '\t'), 10u) << line.substr(0, 80);
        EXPECT_TRUE(seen.insert(line).second) << "duplicate line";
        const std::size_t idField = line.find("\t\t\t") + 3; // fields 4 and 5 are empty
        const int id = std::atoi(line.c_str() + idField);
        const int t = id / 100000;
        const int i = id % 100000;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(i, nextOfThread[static_cast<std::size_t>(t)]++) << "lines of one thread keep their order";
        AccessEntry entry = OpenFileEntry();
        entry.fileId = id;
        entry.pathName = "C:\\share\\" + std::string(static_cast<std::size_t>(1 + (i * 37) % 500), 'a' + t);
        EXPECT_EQ(line + "\r\n", AccessLog::ComposeAccessLine(entry));
    }
}

// Appenders meet an outside opener that takes the file again and again: each line is in the file once,
// in order, never half there, whether it went in at once or waited for a later write.
TEST_F(AccessLogFileTest, EveryLineLandsOnceInOrderWhenAnotherOpenerInterferes) {
    std::atomic<bool> stop{false};
    std::atomic<int> outsideOpenings{0};
    // The outsider opens the file over and over; every 200 lines the appender waits until it has had
    // the file once more, so that it meets the appends in every run, however the threads are scheduled.
    std::thread outsider([&] {
        ExclusiveFile file;
        while (!stop.load()) {
            if (file.Open(log_.Path(), FileOpenMode::ReadWriteAlways)) {
                ++outsideOpenings;
                std::this_thread::yield();
                file.Close();
            }
            std::this_thread::yield();
        }
    });
    std::vector<std::string> expected;
    int waited = 0;
    for (int i = 0; i < 2000; ++i) {
        if (i % 200 == 0) {
            const int seen = outsideOpenings.load();
            while (outsideOpenings.load() == seen) {
                std::this_thread::yield();
            }
        }
        const std::string line = AccessLog::ComposeDisconnectLine(1700000000 + i, "PC1", "alice", "m");
        expected.push_back(line.substr(0, line.size() - 2));
        waited += log_.AppendLine(line) ? 0 : 1;
    }
    stop = true;
    outsider.join();
    EXPECT_TRUE(log_.AppendLine({}));
    EXPECT_EQ(SplitLines(ReadBytes(log_.Path())), expected);
    EXPECT_GE(outsideOpenings.load(), 10);
    RecordProperty("waited", waited);
}

// The log's guard as another program of the folder holds it (the service while its tray's viewer
// rewrites the log): a second lock of the same name, with its own handle, waits until the first lets go.
TEST(SharedLock, ASecondHolderWaitsForTheFirst) {
    const std::string name = "GlimmerfenTestLock." + std::to_string(std::time(nullptr)) + "." +
                             std::to_string(reinterpret_cast<std::uintptr_t>(&name));
    platform::SharedLock first(name);
    platform::SharedLock second(name);
    first.lock();
    std::atomic<bool> taken{false};
    std::thread other([&] {
        second.lock();
        taken = true;
        second.unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(taken.load()) << "the second holder did not wait";
    first.unlock();
    other.join();
    EXPECT_TRUE(taken.load());
}

} // namespace
} // namespace glimmerfen
