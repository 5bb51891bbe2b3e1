// The Win32 server layer against the simulated file server (the stand-in netapi32.dll in the system
// folder, loaded under Wine with WINEDLLOVERRIDES=netapi32=n). Each test plays its own scenario file.
#include <windows.h>
#include <lm.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "monitor/ServerAccess.h"
#include "platform/netserver.h"
#include "platform/win32/netserver_testing.h"

namespace glimmerfen {
namespace {

using platform::LocalServer;

using ScenarioStatusFn = int(WINAPI*)();
using BufferStatsFn = void(WINAPI*)(LPDWORD, LPDWORD);

std::string Utf8(std::wstring_view text) {
    if (text.empty()) {
        return std::string();
    }
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok);
    ASSERT_EQ(written, bytes.size());
}

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}

std::vector<std::string> ClientNames(const std::vector<SessionRecord>& sessions) {
    std::vector<std::string> names;
    for (const SessionRecord& session : sessions) {
        names.push_back(session.clientName);
    }
    return names;
}

std::vector<std::uint32_t> FileIds(const std::vector<OpenFileRecord>& files) {
    std::vector<std::uint32_t> ids;
    for (const OpenFileRecord& file : files) {
        ids.push_back(file.fileId);
    }
    return ids;
}

// The Japanese text of string 57670 in code page 932, and the English one.
constexpr char kDisconnectErrorJa[] = "\x90\xd8\x92\x66\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
constexpr char kDisconnectErrorEn[] = "Disconnect Error ";

std::string DisconnectErrorText(int code) {
    return std::string(GetACP() == 932 ? kDisconnectErrorJa : kDisconnectErrorEn) + "(Error:" + std::to_string(code) +
           ")";
}

class NetApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        netapi_ = GetModuleHandleW(L"netapi32.dll");
        ASSERT_NE(netapi_, nullptr);
        scenarioStatus_ = reinterpret_cast<ScenarioStatusFn>(
            reinterpret_cast<void*>(GetProcAddress(netapi_, "GlimmerfenSimScenarioStatus")));
        bufferStats_ = reinterpret_cast<BufferStatsFn>(
            reinterpret_cast<void*>(GetProcAddress(netapi_, "GlimmerfenSimBufferStats")));
        ASSERT_TRUE(scenarioStatus_ != nullptr && bufferStats_ != nullptr)
            << "the stand-in netapi32.dll is not loaded (run with WINEDLLOVERRIDES=netapi32=n)";

        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        static int counter = 0;
        dir_ = std::wstring(temp) + L"glimmerfen-netapi-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter);
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        deletions_ = dir_ + L"\\deletions.txt";
        SetEnvironmentVariableW(L"GLIMMERFEN_SIM_DELETIONS", deletions_.c_str());
    }

    void TearDown() override {
        SetEnvironmentVariableW(L"GLIMMERFEN_SIM_DELETIONS", nullptr);
        SetEnvironmentVariableW(L"GLIMMERFEN_SIM_COMPUTER", nullptr);
        DeleteFileW(deletions_.c_str());
        if (!scenario_.empty()) {
            DeleteFileW(scenario_.c_str());
        }
        RemoveDirectoryW(dir_.c_str());
    }

    // Writes the scenario (UTF-8) and makes the simulated server play it from now.
    void UseScenario(std::wstring_view text) {
        scenario_ = dir_ + L"\\scenario.txt";
        WriteWholeFile(scenario_, Utf8(text));
        SetEnvironmentVariableW(L"GLIMMERFEN_SIM_SCENARIO", scenario_.c_str());
        ASSERT_EQ(scenarioStatus_(), 0) << "scenario line not understood";
        bufferStats_(&outstandingBefore_, &badFreesBefore_);
    }

    std::string Deletions() const { return ReadWholeFile(deletions_); }

    // Every buffer the server handed out since UseScenario was freed once, and nothing else was freed.
    void ExpectBuffersReleased() const {
        DWORD outstanding = 0;
        DWORD badFrees = 0;
        bufferStats_(&outstanding, &badFrees);
        EXPECT_EQ(outstanding, outstandingBefore_) << "buffers not freed";
        EXPECT_EQ(badFrees, badFreesBefore_) << "buffers freed twice or never handed out";
    }

    HMODULE netapi_ = nullptr;
    ScenarioStatusFn scenarioStatus_ = nullptr;
    BufferStatsFn bufferStats_ = nullptr;
    std::wstring dir_;
    std::wstring scenario_;
    std::wstring deletions_;
    DWORD outstandingBefore_ = 0;
    DWORD badFreesBefore_ = 0;
};

// Enumerations ------------------------------------------------------------------------------------

TEST_F(NetApiTest, SessionsArriveCompleteAndInOrderAcrossPagedRounds) {
    UseScenario(L"page sessions 3\n"
                L"session PC01 alice 100 5 0 Windows 2000 2195\n"
                L"session PC02 bob 200 6 1 Windows 2002 Service Pack 2 2600\n"
                L"session PC03 \"\" 300 7 2 \"\"\n"
                L"session PC04 dave 400 8 3 Unix\n"
                L"session PC05 erin 500 9 0 Samba\n"
                L"session PC06 frank 600 10 0 Samba\n"
                L"session PC07 gina 700 11 0 Samba\n"
                L"file alice 11 1 0 C:\\Share\\a.txt\n"
                L"file alice 12 3 2 C:\\Share\\b.txt\n");

    // The rounds themselves: two partial rounds with ERROR_MORE_DATA, then the rest.
    RecordList<SessionRecord> rounds;
    std::uint32_t resume = 0;
    EXPECT_EQ(LocalServer().SessionRound(resume, rounds), platform::kErrorMoreData);
    EXPECT_EQ(rounds.size(), 3u);
    EXPECT_EQ(LocalServer().SessionRound(resume, rounds), platform::kErrorMoreData);
    EXPECT_EQ(rounds.size(), 6u);
    EXPECT_EQ(LocalServer().SessionRound(resume, rounds), platform::kNetSuccess);
    EXPECT_EQ(rounds.size(), 7u);

    const std::vector<SessionRecord> sessions = EnumerateSessions(LocalServer());
    EXPECT_EQ(ClientNames(sessions),
              (std::vector<std::string>{"PC01", "PC02", "PC03", "PC04", "PC05", "PC06", "PC07"}));
    EXPECT_EQ(ClientNames(rounds.ToVector()), ClientNames(sessions));
    ASSERT_EQ(sessions.size(), 7u);
    EXPECT_EQ(sessions[0].userName, "alice");
    EXPECT_EQ(sessions[0].openCount, 2);
    EXPECT_EQ(sessions[0].userFlags, 0u);
    EXPECT_EQ(sessions[0].clientType, "Windows 2000 2195");
    EXPECT_EQ(sessions[1].clientType, "Windows 2002 Service Pack 2 2600");
    EXPECT_EQ(sessions[1].userFlags, 1u);
    EXPECT_EQ(sessions[1].openCount, 0);
    EXPECT_EQ(sessions[2].userName, "");
    EXPECT_EQ(sessions[2].clientType, "");
    EXPECT_EQ(sessions[3].userFlags, 3u);
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        // The simulated sessions age with the clock; a test never runs for a minute.
        const std::uint32_t base = static_cast<std::uint32_t>(100 * (i + 1));
        EXPECT_GE(sessions[i].connectedSeconds, base) << i;
        EXPECT_LT(sessions[i].connectedSeconds, base + 60) << i;
        EXPECT_GE(sessions[i].idleSeconds, 5 + i) << i;
        EXPECT_LT(sessions[i].idleSeconds, 5 + i + 60) << i;
    }
    // Every buffer is freed, the ERROR_MORE_DATA ones included.
    ExpectBuffersReleased();
}

TEST_F(NetApiTest, OpenFilesHonourTheUserFilterAcrossPagedRounds) {
    UseScenario(L"page files 2\n"
                L"session PC01 alice 0 0 0 x\n"
                L"session PC02 bob 0 0 0 x\n"
                L"file alice 1 1 0 C:\\Share\\one.txt\n"
                L"file bob 2 2 1 D:\\Projects\\two.doc\n"
                L"file alice 3 3 0 C:\\Share\\three with blanks.xls\n"
                L"file bob 4 1 0 C:\\Share\\four.txt\n"
                L"file alice 5 64 7 C:\\Share\\five.txt\n");

    const std::vector<OpenFileRecord> alice = EnumerateOpenFiles(LocalServer(), "alice");
    EXPECT_EQ(FileIds(alice), (std::vector<std::uint32_t>{1, 3, 5}));
    for (const OpenFileRecord& file : alice) {
        EXPECT_EQ(file.userName, "alice");
    }
    ASSERT_EQ(alice.size(), 3u);
    EXPECT_EQ(alice[1].pathName, "C:\\Share\\three with blanks.xls");
    EXPECT_EQ(alice[1].permissions, 3u);
    EXPECT_EQ(alice[2].permissions, 64u);
    EXPECT_EQ(alice[2].lockCount, 7u);

    EXPECT_EQ(FileIds(EnumerateOpenFiles(LocalServer(), "bob")), (std::vector<std::uint32_t>{2, 4}));
    // No filter: every open file of the server.
    EXPECT_EQ(FileIds(EnumerateOpenFiles(LocalServer(), "")), (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(EnumerateOpenFiles(LocalServer(), "nobody").empty());
    ExpectBuffersReleased();
}

// A round that fails ends the enumeration; what earlier rounds gave stays. The file enumeration's round
// count lives above bit 32 of its resume handle, so this also fails if that handle is cut to 32 bits.
TEST_F(NetApiTest, AFailingRoundKeepsTheEarlierRounds) {
    UseScenario(L"page 2\n"
                L"fail sessions round 2 code 5\n"
                L"fail files round 2 code 1231\n"
                L"session PC01 u1 0 0 0 x\n"
                L"session PC02 u2 0 0 0 x\n"
                L"session PC03 u3 0 0 0 x\n"
                L"session PC04 u4 0 0 0 x\n"
                L"file u1 1 1 0 C:\\1\n"
                L"file u1 2 1 0 C:\\2\n"
                L"file u1 3 1 0 C:\\3\n");

    EXPECT_EQ(ClientNames(EnumerateSessions(LocalServer())), (std::vector<std::string>{"PC01", "PC02"}));
    EXPECT_EQ(FileIds(EnumerateOpenFiles(LocalServer(), "")), (std::vector<std::uint32_t>{1, 2}));

    RecordList<OpenFileRecord> files;
    std::uint64_t resume = 0;
    EXPECT_EQ(LocalServer().OpenFileRound("u1", resume, files), platform::kErrorMoreData);
    EXPECT_EQ(LocalServer().OpenFileRound("u1", resume, files), 1231u);
    EXPECT_EQ(files.size(), 2u);
    ExpectBuffersReleased();
}

TEST_F(NetApiTest, AFailingFirstRoundGivesNothing) {
    UseScenario(L"fail sessions round 1 code 5\n"
                L"fail files round 1 code 5\n"
                L"session PC01 u1 0 0 0 x\n"
                L"file u1 1 1 0 C:\\1\n");
    EXPECT_TRUE(EnumerateSessions(LocalServer()).empty());
    EXPECT_TRUE(EnumerateOpenFiles(LocalServer(), "u1").empty());
    ExpectBuffersReleased();
}

// A server may leave text pointers null; they read as empty texts.
TEST_F(NetApiTest, NullTextsReadAsEmpty) {
    UseScenario(L"session (null) (null) 1 2 0 (null)\n"
                L"file (null) 9 1 0 (null)\n");
    const std::vector<SessionRecord> sessions = EnumerateSessions(LocalServer());
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].clientName, "");
    EXPECT_EQ(sessions[0].userName, "");
    EXPECT_EQ(sessions[0].clientType, "");
    const std::vector<OpenFileRecord> files = EnumerateOpenFiles(LocalServer(), "");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].fileId, 9u);
    EXPECT_EQ(files[0].pathName, "");
    EXPECT_EQ(files[0].userName, "");
}

TEST_F(NetApiTest, EmptyServerGivesNoRecords) {
    UseScenario(L"# nobody connected\n");
    EXPECT_TRUE(EnumerateSessions(LocalServer()).empty());
    EXPECT_TRUE(EnumerateOpenFiles(LocalServer(), "").empty());
    ExpectBuffersReleased();
}

// Texts -------------------------------------------------------------------------------------------

TEST_F(NetApiTest, JapaneseNamesArriveAsShiftJis) {
    if (GetACP() != 932) {
        GTEST_SKIP() << "needs code page 932 (LANG=ja_JP.UTF-8)";
    }
    // The trail byte of the first character of the second client is a backslash (0x5C).
    UseScenario(L"session \u7d4c\u7406\u90e8PC \u5c71\u7530 0 0 0 Windows\n"
                L"session \u8868\u793aPC \u9234\u6728 0 0 0 \uff73\uff68\uff9d\uff84\uff9e\uff73\uff7d\n"
                L"file \u5c71\u7530 1 1 0 C:\\\u5171\u6709\\\u8b70\u4e8b\u9332.docx\n");
    const std::vector<SessionRecord> sessions = EnumerateSessions(LocalServer());
    ASSERT_EQ(sessions.size(), 2u);
    EXPECT_EQ(sessions[0].clientName, "\x8c\x6f\x97\x9d\x95\x94PC");
    EXPECT_EQ(sessions[0].userName, "\x8e\x52\x93\x63");
    EXPECT_EQ(sessions[1].clientName, "\x95\x5c\x8e\xa6PC");
    EXPECT_EQ(sessions[1].userName, "\x97\xe9\x96\xd8");
    EXPECT_EQ(sessions[1].clientType, "\xb3\xa8\xdd\xc4\xde\xb3\xbd"); // half-width katakana, one byte each

    const std::vector<OpenFileRecord> files = EnumerateOpenFiles(LocalServer(), sessions[0].userName);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].userName, "\x8e\x52\x93\x63");
    EXPECT_EQ(files[0].pathName, "C:\\\x8b\xa4\x97\x4c\\\x8b\x63\x8e\x96\x98\x5e.docx");
}

TEST_F(NetApiTest, LongPathsAreCutAt254Bytes) {
    const std::wstring path = L"C:\\" + std::wstring(300, L'x');
    UseScenario(L"file u 1 1 0 " + path + L"\n");
    const std::vector<OpenFileRecord> files = EnumerateOpenFiles(LocalServer(), "");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].pathName, "C:\\" + std::string(251, 'x'));
}

TEST_F(NetApiTest, LongJapanesePathsAreNotCutInsideACharacter) {
    if (GetACP() != 932) {
        GTEST_SKIP() << "needs code page 932 (LANG=ja_JP.UTF-8)";
    }
    const std::string a = "\x82\xa0"; // HIRAGANA LETTER A
    std::string oddCut = "C:\\";      // 3 + 2 * 125 = 253: the 126th character would end at byte 255
    std::string evenCut = "C:\\\xb1"; // a single-byte katakana first: 4 + 2 * 125 = 254 exactly
    for (int i = 0; i < 125; ++i) {
        oddCut += a;
        evenCut += a;
    }
    const std::wstring hiragana(130, L'\u3042');
    UseScenario(L"file u 1 1 0 C:\\" + hiragana +
                L"\n"
                L"file u 2 1 0 C:\\\uff71" +
                hiragana + L"\n");
    const std::vector<OpenFileRecord> files = EnumerateOpenFiles(LocalServer(), "");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].pathName, oddCut);
    EXPECT_EQ(files[1].pathName, evenCut);
}

// Session deletion --------------------------------------------------------------------------------

TEST_F(NetApiTest, DeletionPassesClientAndUserAndClosesTheSession) {
    UseScenario(L"session PC01 alice 0 0 0 x\n"
                L"session PC02 bob 0 0 0 x\n"
                L"session \"\" bob 0 0 0 x\n"
                L"file alice 1 1 0 C:\\a.txt\n"
                L"file bob 2 1 0 C:\\b.txt\n");

    EXPECT_EQ(DisconnectSession(LocalServer(), "\\\\PC01", "alice"), "");
    EXPECT_EQ(ClientNames(EnumerateSessions(LocalServer())), (std::vector<std::string>{"PC02", ""}));
    EXPECT_EQ(FileIds(EnumerateOpenFiles(LocalServer(), "")), (std::vector<std::uint32_t>{2}));

    // The two backslashes alone name no computer, as on a real server, not even an empty name.
    EXPECT_EQ(DisconnectSession(LocalServer(), "\\\\", "bob"), DisconnectErrorText(2312));
    EXPECT_EQ(DisconnectSession(LocalServer(), "\\\\PC09", ""), DisconnectErrorText(2312));
    // An open file's entry names no computer: a null client closes every session of its user.
    EXPECT_EQ(DisconnectAccess(LocalServer(), "", "bob"), "");
    EXPECT_EQ(Deletions(), "\\\\PC01\talice\n"
                           "\\\\\tbob\n"
                           "\\\\PC09\t\n"
                           "(null)\tbob\n");
    EXPECT_TRUE(EnumerateSessions(LocalServer()).empty());
}

TEST_F(NetApiTest, DeletionPassesJapaneseNames) {
    if (GetACP() != 932) {
        GTEST_SKIP() << "needs code page 932 (LANG=ja_JP.UTF-8)";
    }
    UseScenario(L"session \u8868\u793aPC \u5c71\u7530 0 0 0 x\n");
    EXPECT_EQ(DisconnectSession(LocalServer(), "\\\\\x95\x5c\x8e\xa6PC", "\x8e\x52\x93\x63"), "");
    EXPECT_EQ(Deletions(), Utf8(L"\\\\\u8868\u793aPC\t\u5c71\u7530\n"));
    EXPECT_TRUE(EnumerateSessions(LocalServer()).empty());
}

TEST_F(NetApiTest, FailedDeletionGivesTheErrorText) {
    UseScenario(L"fail delete code 5\n"
                L"session PC01 alice 0 0 0 x\n");
    EXPECT_EQ(DisconnectSession(LocalServer(), "\\\\PC01", "alice"), DisconnectErrorText(5));
    EXPECT_EQ(ClientNames(EnumerateSessions(LocalServer())), (std::vector<std::string>{"PC01"}));
    EXPECT_EQ(Deletions(), "\\\\PC01\talice\n");
}

// Deletions from the user-interface thread while the poll enumerates: no lost or torn lines, no leak.
TEST_F(NetApiTest, DeletionsWhileEnumeratingOnAnotherThread) {
    std::wstring scenario = L"page 3\n";
    constexpr int kClients = 40;
    for (int i = 0; i < kClients; ++i) {
        scenario += L"session PC" + std::to_wstring(i) + L" user" + std::to_wstring(i) + L" 0 0 0 x\n";
        scenario += L"file user" + std::to_wstring(i) + L" " + std::to_wstring(i) + L" 1 0 C:\\f.txt\n";
    }
    UseScenario(scenario);

    std::atomic<bool> done{false};
    std::atomic<bool> orderBroken{false};
    std::thread poll([&] {
        while (!done) {
            const std::vector<SessionRecord> sessions = EnumerateSessions(LocalServer());
            for (const SessionRecord& session : sessions) {
                EnumerateOpenFiles(LocalServer(), session.userName);
            }
            // The survivors keep their order while others disappear.
            for (std::size_t i = 1; i < sessions.size(); ++i) {
                if (std::stoi(sessions[i - 1].clientName.substr(2)) >= std::stoi(sessions[i].clientName.substr(2))) {
                    orderBroken = true;
                }
            }
        }
    });
    std::string expected;
    for (int i = 0; i < kClients; ++i) {
        const std::string client = "\\\\PC" + std::to_string(i);
        const std::string user = "user" + std::to_string(i);
        EXPECT_EQ(DisconnectSession(LocalServer(), client, user), "") << i;
        expected += client + "\t" + user + "\n";
    }
    done = true;
    poll.join();
    EXPECT_FALSE(orderBroken);
    EXPECT_TRUE(EnumerateSessions(LocalServer()).empty());
    EXPECT_TRUE(EnumerateOpenFiles(LocalServer(), "").empty());
    EXPECT_EQ(Deletions(), expected);
    ExpectBuffersReleased();
}

// The simulated server over time ------------------------------------------------------------------

TEST_F(NetApiTest, ScenarioStepsPlayAtTheirTimes) {
    const ULONGLONG start = GetTickCount64();
    UseScenario(L"session EARLY u1 50 0 0 x\n"
                L"at 1000\n"
                L"session LATE u2 0 0 0 x\n"
                L"at 2000\n"
                L"end session EARLY u1\n");
    auto elapsed = [&] { return GetTickCount64() - start; };
    auto has = [](const std::vector<SessionRecord>& sessions, const char* name) {
        for (const SessionRecord& session : sessions) {
            if (session.clientName == name) {
                return true;
            }
        }
        return false;
    };

    std::vector<SessionRecord> sessions = EnumerateSessions(LocalServer());
    ASSERT_TRUE(has(sessions, "EARLY"));
    EXPECT_GE(sessions[0].connectedSeconds, 50u);

    // LATE appears, never before its time; EARLY has aged meanwhile.
    while (!has(sessions = EnumerateSessions(LocalServer()), "LATE") && elapsed() < 10000) {
        Sleep(20);
    }
    ASSERT_TRUE(has(sessions, "LATE"));
    EXPECT_GE(elapsed(), 1000u);
    ASSERT_TRUE(has(sessions, "EARLY"));
    EXPECT_GE(sessions[0].connectedSeconds, 51u);

    while (has(sessions = EnumerateSessions(LocalServer()), "EARLY") && elapsed() < 10000) {
        Sleep(20);
    }
    EXPECT_FALSE(has(sessions, "EARLY"));
    EXPECT_GE(elapsed(), 2000u);
    EXPECT_EQ(ClientNames(sessions), (std::vector<std::string>{"LATE"}));
}

// Without a scenario the server makes up clients that come, open files and go (the demonstration).
TEST_F(NetApiTest, WithoutAScenarioClientsComeAndOpenFiles) {
    SetEnvironmentVariableW(L"GLIMMERFEN_SIM_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"GLIMMERFEN_SIM_SEED", L"7");
    ASSERT_EQ(scenarioStatus_(), -2);
    const ULONGLONG start = GetTickCount64();
    bool sawFile = false;
    while (!sawFile && GetTickCount64() - start < 30000) {
        for (const SessionRecord& session : EnumerateSessions(LocalServer())) {
            EXPECT_FALSE(session.clientName.empty());
            EXPECT_FALSE(session.userName.empty());
            const std::vector<OpenFileRecord> files = EnumerateOpenFiles(LocalServer(), session.userName);
            // A file may open between the two calls, at most one per client and second.
            EXPECT_LE(files.size(), static_cast<std::size_t>(session.openCount) + 1) << session.clientName;
            for (const OpenFileRecord& file : files) {
                EXPECT_EQ(file.userName, session.userName);
                EXPECT_EQ(file.pathName.find(":\\"), 1u) << file.pathName;
                sawFile = true;
            }
        }
        Sleep(50);
    }
    SetEnvironmentVariableW(L"GLIMMERFEN_SIM_SEED", nullptr);
    EXPECT_TRUE(sawFile);
}

// The stand-in's own contract, as far as the program could trip over it.
TEST_F(NetApiTest, StandInRejectsBadArgumentsWithoutCrashing) {
    UseScenario(L"session PC01 alice 0 0 0 x\n");
    LPBYTE buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    DWORD resume = 0;
    DWORD_PTR fileResume = 0;
    for (DWORD level : {0u, 1u, 3u, 10u, 502u}) {
        EXPECT_EQ(
            NetSessionEnum(nullptr, nullptr, nullptr, level, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            static_cast<NET_API_STATUS>(ERROR_INVALID_LEVEL))
            << level;
        EXPECT_EQ(buffer, nullptr);
    }
    for (DWORD level : {0u, 2u, 50u}) {
        EXPECT_EQ(
            NetFileEnum(nullptr, nullptr, nullptr, level, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &fileResume),
            static_cast<NET_API_STATUS>(ERROR_INVALID_LEVEL))
            << level;
    }
    EXPECT_EQ(NetSessionEnum(nullptr, nullptr, nullptr, 2, nullptr, MAX_PREFERRED_LENGTH, &read, &total, &resume),
              static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(NetFileEnum(nullptr, nullptr, nullptr, 3, &buffer, MAX_PREFERRED_LENGTH, nullptr, &total, nullptr),
              static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(NetSessionDel(nullptr, nullptr, nullptr), static_cast<NET_API_STATUS>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(NetApiBufferFree(nullptr), static_cast<NET_API_STATUS>(NERR_Success));

    // Without a resume handle, and with a buffer too small for one record.
    ASSERT_EQ(NetSessionEnum(nullptr, nullptr, nullptr, 2, &buffer, MAX_PREFERRED_LENGTH, &read, &total, nullptr),
              static_cast<NET_API_STATUS>(NERR_Success));
    ASSERT_EQ(read, 1u);
    EXPECT_STREQ(reinterpret_cast<SESSION_INFO_2*>(buffer)->sesi2_cname, L"PC01");
    EXPECT_EQ(NetApiBufferFree(buffer), static_cast<NET_API_STATUS>(NERR_Success));
    EXPECT_EQ(NetSessionEnum(nullptr, nullptr, nullptr, 2, &buffer, 8, &read, &total, &resume),
              static_cast<NET_API_STATUS>(NERR_BufTooSmall));
    EXPECT_EQ(buffer, nullptr);
    ExpectBuffersReleased();
}

// Another computer: every call of ServerFor names it, so the stand-in playing FS01 answers it and only
// it; this computer's calls (a null server name) and a third computer's reach nobody there (53).
TEST_F(NetApiTest, EveryCallNamesTheWatchedComputer) {
    UseScenario(L"session PC01 alice 10 0 0 Windows\nfile alice 7 1 0 C:\\a.txt\n");
    SetEnvironmentVariableW(L"GLIMMERFEN_SIM_COMPUTER", L"FS01");
    EXPECT_EQ(&platform::ServerFor("fs01"), &platform::ServerFor("FS01"));
    EXPECT_EQ(&platform::ServerFor(""), &LocalServer());
    for (const auto& [server, expected] : {std::pair{&LocalServer(), DWORD{ERROR_BAD_NETPATH}},
                                           std::pair{&platform::ServerFor("FS02"), DWORD{ERROR_BAD_NETPATH}},
                                           std::pair{&platform::ServerFor("FS01"), DWORD{0}}}) {
        SCOPED_TRACE(expected);
        std::uint32_t sessionResume = 0;
        std::uint64_t fileResume = 0;
        RecordList<SessionRecord> sessions;
        RecordList<OpenFileRecord> files;
        EXPECT_EQ(server->SessionRound(sessionResume, sessions), expected);
        EXPECT_EQ(server->OpenFileRound("", fileResume, files), expected);
        EXPECT_EQ(sessions.size() + files.size(), expected == 0 ? 2u : 0u);
        EXPECT_EQ(server->CloseFile(7), expected);
        EXPECT_EQ(server->DeleteSession("\\\\PC01", "alice"), expected);
    }
    EXPECT_EQ(Deletions(), "\\\\PC01\talice\n");
    ExpectBuffersReleased();
}

// The layer on a system whose library is missing, or lacks the functions: every call fails with the
// loader's error (which the poll and the disconnection report like any other), none goes through a
// null pointer.
TEST(SystemNetApi, MissingLibraryOrFunctionsFailEveryCall) {
    const struct {
        const wchar_t* library;
        std::uint32_t error;
    } cases[] = {
        {L"glimmerfen-no-such-library.dll", ERROR_MOD_NOT_FOUND},
        {L"version.dll", ERROR_PROC_NOT_FOUND}, // a library of the system without any of them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.library));
        const auto server = platform::ServerOnLibraryForTesting(c.library);
        std::uint32_t sessionResume = 0;
        std::uint64_t fileResume = 0;
        RecordList<SessionRecord> sessions;
        RecordList<OpenFileRecord> files;
        EXPECT_EQ(server->SessionRound(sessionResume, sessions), c.error);
        EXPECT_EQ(server->OpenFileRound("", fileResume, files), c.error);
        EXPECT_EQ(server->DeleteSession("\\\\PC01", "alice"), c.error);
        EXPECT_EQ(sessions.size(), 0u);
        EXPECT_EQ(files.size(), 0u);
        EXPECT_EQ(DisconnectSession(*server, "\\\\PC01", "alice"), DisconnectErrorText(static_cast<int>(c.error)));
    }
}

} // namespace
} // namespace glimmerfen
