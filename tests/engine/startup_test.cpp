// The start and exit routines of the application object: the order of the steps, the early exits,
// and what reaches the disk on each path.
#include "app/CheckerApp.h"
#include "app/InstanceNames.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/temp_dir.h"
#include "engine/codepage_fixture.h"
#include "platform/clock.h"
#include "platform/netnames.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct Message {
    std::string text;
    std::string caption;
    platform::MessageIcon icon;
};

// Records every step. The engine's steps (settings, trimming) go to the real ones when `real` is set,
// so their effect on the files can be checked too.
class FakeHost : public StartupHost {
public:
    explicit FakeHost(std::string modulePath, bool real = false) : modulePath_(std::move(modulePath)), real_(real) {}

    std::optional<unsigned long> platform = 2;
    MutexResult mutexResult = MutexResult::Created; // for every name not in mutexResults
    std::map<std::string, MutexResult> mutexResults;
    std::vector<std::string> computerNames = {"MYPC", "mypc.corp.example"};
    std::optional<unsigned> resolution = 1;
    bool periodOk = true;
    std::vector<std::string> steps;
    std::vector<Message> messages;
    std::vector<std::string> mutexNames;
    // What the main window saw when it ran.
    int cycleTime3InMainWindow = -1;
    unsigned resolutionInMainWindow = 0;
    std::string unknownSwitchesInMainWindow;

    std::optional<unsigned long> SystemPlatform() override {
        steps.push_back("platform");
        return platform;
    }
    std::string ModulePath() override { return modulePath_; }
    std::string arguments; // after the quoted module path
    std::string iniComputer;
    std::string CommandLineText() override { return "\"" + modulePath_ + "\" " + arguments; }
    void ShowUsage(const std::string& badWords, const std::string&) override { steps.push_back("usage " + badWords); }
    void UnregisterEventSource(const std::string& exePath, const std::string&) override {
        steps.push_back("unregister " + exePath);
    }
    void RegisterEventSource(const std::string& exePath, bool tellPathRefused, const std::string&) override {
        steps.push_back(std::string(tellPathRefused ? "register telling " : "register ") + exePath);
    }
    int eventLog = 0;
    int initFlag = 0;
    MutexResult CreateInstanceMutex(const std::string& name) override {
        steps.push_back("mutex");
        mutexNames.push_back(name);
        const auto found = mutexResults.find(name);
        return found != mutexResults.end() ? found->second : mutexResult;
    }
    std::vector<std::string> ComputerNames() override { return computerNames; }
    // Whether a step that begins with these words was taken ("main window", "save ").
    bool Took(const std::string& words) const {
        return std::any_of(steps.begin(), steps.end(),
                           [&](const std::string& step) { return step.rfind(words, 0) == 0; });
    }
    void RunMainWindow(CCheckerApp& app) override {
        steps.push_back("main window");
        cycleTime3InMainWindow = app.settings.CycleTime3.load();
        resolutionInMainWindow = app.timerResolution;
        unknownSwitchesInMainWindow = app.unknownSwitches;
    }
    void ShowMessage(const std::string& text, const std::string& caption, platform::MessageIcon icon) override {
        steps.push_back("message");
        messages.push_back({text, caption, icon});
    }
    void LoadSettings(AppSettings& settings, const std::string& iniPath) override {
        steps.push_back("load " + iniPath);
        if (real_) {
            StartupHost::LoadSettings(settings, iniPath);
        } else {
            settings.LogSetDays = 4; // so that the trimming is seen to use the loaded value
            settings.EventLog = eventLog;
            settings.InitFlag = initFlag;
            settings.Computer.Set(iniComputer);
        }
    }
    void TrimLog(const std::string& exeDir, int logSetDays) override {
        steps.push_back("trim " + exeDir + " " + std::to_string(logSetDays));
        if (real_) {
            StartupHost::TrimLog(exeDir, logSetDays);
        }
    }
    std::optional<unsigned> TimerResolution() override {
        steps.push_back("resolution");
        return resolution;
    }
    bool BeginTimerPeriod(unsigned periodMs) override {
        steps.push_back("begin " + std::to_string(periodMs));
        return periodOk;
    }
    void EndTimerPeriod(unsigned periodMs) override { steps.push_back("end " + std::to_string(periodMs)); }
    void SaveSettings(const AppSettings& settings, const std::string& iniPath) override {
        steps.push_back("save " + iniPath);
        if (real_) {
            StartupHost::SaveSettings(settings, iniPath);
        }
    }

private:
    std::string modulePath_;
    bool real_;
};

const std::string kExe = "C:\\Program Files\\Glimmerfen\\GlimmerfenChecker.exe";
const std::string kDir = "C:\\Program Files\\Glimmerfen\\";

TEST(StartupOrder, FullRunThenExit) {
    CCheckerApp app;
    FakeHost host(kExe);
    host.resolution = 2;
    EXPECT_FALSE(app.Start(host));
    EXPECT_EQ(app.Exit(host), 0);
    const std::string ini = kDir + "Glimmerfen.ini";
    const std::vector<std::string> expected = {
        "platform",   "load " + ini, "mutex",       "mutex",       "trim " + kDir + " 4",
        "resolution", "begin 2",     "main window", "save " + ini, "end 2"};
    EXPECT_EQ(host.steps, expected);
    EXPECT_TRUE(host.messages.empty());
    const std::vector<std::string> mutexes = {FolderMutexName(kDir), ComputerMutexName("")};
    EXPECT_EQ(host.mutexNames, mutexes);
    EXPECT_EQ(app.appName, "GlimmerfenChecker");
    EXPECT_EQ(app.exePath, kExe);
    EXPECT_EQ(app.exeDir, kDir);
    EXPECT_EQ(app.platformId, kPlatformNt);
    EXPECT_EQ(host.resolutionInMainWindow, 2u);
}

// A renamed copy or another spelling of the folder meets the same names; another folder or computer does not.
TEST(InstanceNames, FolderAndComputerNamesIgnoreTheExecutableAndLetterCase) {
    CCheckerApp renamed;
    FakeHost host("c:\\program files\\GLIMMERFEN\\Copy of checker.EXE");
    renamed.Start(host);
    const std::vector<std::string> mutexes = {FolderMutexName(kDir), ComputerMutexName("")};
    EXPECT_EQ(host.mutexNames, mutexes);

    EXPECT_NE(FolderMutexName(kDir), FolderMutexName("C:\\Program Files\\Glimmerfen2\\"));
    EXPECT_NE(FolderMutexName("C:\\A\\"), ComputerMutexName("C:\\A\\"));
    EXPECT_EQ(ComputerMutexName("fs01"), ComputerMutexName("FS01"));
    EXPECT_NE(ComputerMutexName("FS01"), ComputerMutexName(""));
    EXPECT_NE(ComputerMutexName("FS01"), ComputerMutexName("FS02"));
    // Seen from every logon session, no further backslash, short also for the longest folder.
    const std::string deep = "C:\\" + std::string(240, 'd') + "\\";
    for (const std::string& name : {FolderMutexName(deep), ComputerMutexName(std::string(255, 'n'))}) {
        ASSERT_EQ(name.rfind("Global\\", 0), 0u) << name;
        EXPECT_EQ(name.find('\\', 7), std::string::npos) << name;
        EXPECT_LE(name.size(), 64u) << name;
    }
}

// An installed service is found again by its name, and a running copy by its mutexes: both stay as
// earlier versions made them, from the key of the computer or folder, whatever the letter case.
TEST(InstanceNames, KeptFromVersionToVersion) {
    EXPECT_EQ(ServiceName(""), "GlimmerfenChecker");
    EXPECT_EQ(ServiceName("fs01"), "GlimmerfenChecker.B481FC856F6796E1");
    EXPECT_EQ(ComputerMutexName("Fs01"), "Global\\GlimmerfenChecker.Computer.B481FC856F6796E1");
    EXPECT_EQ(FolderMutexName("c:\\tools\\"), "Global\\GlimmerfenChecker.Folder.19D94AE69E73AB59");
    EXPECT_EQ(ServiceWindowMutexName(ServiceName("")),
              "Global\\GlimmerfenChecker.Window." + InstanceKey("GlimmerfenChecker"));
}

// The one name events and the sender of a message give this computer is one it answers to, whole.
TEST(InstanceNames, ThisComputerNameIsOneOfItsOwnNames) {
    const std::string name = platform::ThisComputerName();
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find('\0'), std::string::npos);
    EXPECT_TRUE(platform::NamesThisComputer(name, platform::OwnComputerNames())) << name;
}

// Every way of naming this computer: one computer, one instance. The trail byte 0x41 of a double-byte
// character in code page 932 is no letter "A": names that differ only there are different names.
TEST(InstanceNames, NamesOfThisComputer) {
    const std::vector<std::string> own = {"MYPC", "mypc.corp.example", "\x83\x41PC"};
    const std::string thisComputer = ". localhost LocalHost \\\\localhost 127.0.0.1 127.255.0.9 127.1 0x7f.0.0.1 "
                                     "2130706433 ::1 0:0:0:0:0:0:0:1 0000:0000::0001 [::1] ::1%1 ::ffff:127.0.0.1 "
                                     "\\\\MYPC mypc MyPc.Corp.Example \x83\x41pc";
    const std::string others = ".. localhost2 mypc2 corp.example FS01 128.0.0.1 126.255.255.255 127.0.0.256 0x7f "
                               ":: ::2 1::1 1:2::3::1 [::1 ::ffff:128.0.0.1 \x83\x61PC";
    test::ScopedCodePage japanese(932);
    EXPECT_FALSE(platform::NamesThisComputer("", own));
    for (const bool expected : {true, false}) {
        std::istringstream names(expected ? thisComputer : others);
        for (std::string name; names >> name;) {
            if (!japanese.Active() && name.find('\x83') != std::string::npos) {
                continue; // Windows in another code page: those names are other characters there
            }
            EXPECT_EQ(platform::NamesThisComputer(name, own), expected) << name;
        }
    }
}

// Only a copy that writes events registers itself, once it is the one instance; the reason a path
// cannot be registered is told at the folder's first start only.
TEST(StartupOrder, TheEventSourceIsRegisteredOnlyWithEventsOn) {
    struct Case {
        int eventLog;
        int initFlag;
        std::optional<std::string> step;
    };
    const Case cases[] = {
        {0, 0, std::nullopt},
        {0, 1, std::nullopt},
        {1, 0, "register telling " + kExe},
        {1, 1, "register " + kExe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "EventLog=" << c.eventLog << " InitFlag=" << c.initFlag);
        CCheckerApp app;
        FakeHost host(kExe);
        host.eventLog = c.eventLog;
        host.initFlag = c.initFlag;
        app.Start(host);
        std::vector<std::string> expected = {"platform", "load " + kDir + "Glimmerfen.ini", "mutex", "mutex"};
        if (c.step) {
            expected.push_back(*c.step);
        }
        expected.push_back("trim " + kDir + " 4");
        host.steps.resize(std::min(host.steps.size(), expected.size()));
        EXPECT_EQ(host.steps, expected);
    }
}

// The command line decides what runs and which computer's instance this is; the INI's Computer key
// counts only without /server:. Switches not understood stop nothing: the main window gets them to name
// once it watches, and no usage box comes before.
TEST(StartupCommandLine, SwitchesAndTheWatchedComputer) {
    struct Case {
        std::string arguments;
        std::string iniComputer;
        std::vector<std::string> steps; // after "platform"; "run" stands for the full run
        std::string watched;
        std::string unknown = {};
    };
    const Case cases[] = {
        {"", "", {"run"}, ""},
        {"/server:fs01", "", {"run"}, "fs01"},
        {"-SERVER:\\\\fs01", "", {"run"}, "fs01"},
        {"", "\\\\nas2", {"run"}, "nas2"},
        {"\"/server:fs01\"", "nas2", {"run"}, "fs01"},
        {"/server:", "nas2", {"run"}, ""},
        // This computer by any name is this computer, from the command line and from the INI file.
        {"/server:localhost", "nas2", {"run"}, ""},
        {"/server:[::1]", "", {"run"}, ""},
        {"", "\\\\MYPC.corp.example", {"run"}, ""},
        {"--help", "", {"usage "}, ""},
        {"/?", "", {"usage "}, ""},
        {"/unregister", "", {"unregister " + kExe}, ""},
        {"/? /bogus", "", {"usage "}, ""},
        {"/server:fs01 extra", "", {"run"}, "fs01"},
        {"/servers:x /minimized /server:fs01 -X --", "", {"run"}, "fs01", "/servers:x /minimized -X --"},
        {"/server:fs01&calc", "", {"message"}, ""},
        {"", "bad name", {"message"}, ""},
    };
    for (const Case& c : cases) {
        CCheckerApp app;
        FakeHost host(kExe);
        host.arguments = c.arguments;
        host.iniComputer = c.iniComputer;
        app.Start(host);
        std::vector<std::string> steps(host.steps.begin() + 1, host.steps.end());
        app.Exit(host);
        if (c.steps == std::vector<std::string>{"run"}) {
            EXPECT_TRUE(host.Took("main window")) << c.arguments;
            const std::vector<std::string> mutexes = {FolderMutexName(kDir), ComputerMutexName(c.watched)};
            EXPECT_EQ(host.mutexNames, mutexes) << c.arguments;
            EXPECT_EQ(app.watchedComputer, c.watched) << c.arguments;
            EXPECT_EQ(host.unknownSwitchesInMainWindow, c.unknown) << c.arguments;
            EXPECT_TRUE(std::none_of(steps.begin(), steps.end(), [](const std::string& step) {
                return step.rfind("usage", 0) == 0;
            })) << c.arguments;
        } else {
            steps.erase(std::remove_if(steps.begin(), steps.end(),
                                       [](const std::string& step) { return step.rfind("load ", 0) == 0; }),
                        steps.end());
            EXPECT_EQ(steps, c.steps) << c.arguments;
            EXPECT_FALSE(host.Took("save ")) << c.arguments; // the settings step was not reached
        }
    }
}

// Where the program's name ends: an unquoted path with blanks is one name; a trail byte is never a letter,
// a backslash or a separator.
TEST(StartupCommandLine, ArgumentsAfterTheProgramsName) {
    const std::string table = "C:\\\x95\x5C \x8C\x76\x8E\x5A\\GlimmerfenChecker.exe"; // C:\表 計算\...
    const std::string katakanaA = "C:\\a b\\\x83\x41.exe";                            // C:\a b\ア.exe
    struct Case {
        std::string modulePath, commandLine, arguments;
        bool japanese = false;
    };
    const Case cases[] = {
        {kExe, kExe + " /server:a", " /server:a"},
        {kExe, "c:\\program files\\glimmerfen\\glimmerfenchecker.EXE -x", " -x"},
        {kExe, "C:\\Program Files\\Glimmerfen\\GlimmerfenChecker /x", " /x"},
        {kExe, "  \"" + kExe + "\"", ""},
        {kExe, kExe, ""},
        // Other spellings: the first word, quotes keeping its blanks.
        {kExe, "C:\\PROGRA~1\\GLIMME~1\\GLIMME~1.EXE /x", " /x"},
        {kExe, "\"C:\\Other Dir\\x.exe\" /x", " /x"},
        {kExe, kExe + "2 /x", " Files\\Glimmerfen\\GlimmerfenChecker.exe2 /x"},
        {kExe, "", ""},
        // Code page 932: 0x95 0x5C is one character, not a folder and a backslash.
        {table, table + " /server:a", " /server:a", true},
        {kExe, "\"D:\\\x95\x5C\" /x", " /x", true},
        // 0x83 0x41 and 0x83 0x61 are two characters: no case folding inside them.
        {katakanaA, "C:\\A B\\\x83\x41.EXE /x", " /x", true},
        {katakanaA, "C:\\a b\\\x83\x61.exe /x", " b\\\x83\x61.exe /x", true},
    };
    test::ScopedCodePage japanese(932);
    for (const Case& c : cases) {
        if (c.japanese && !japanese.Active()) {
            continue; // Windows in another code page
        }
        EXPECT_EQ(ArgumentsAfterProgram(c.commandLine, c.modulePath), c.arguments) << c.commandLine;
    }
}

// What the start routine's table does not reach: words split by characters, a switch's other spellings.
TEST(StartupCommandLine, WordsAndSwitches) {
    struct Case {
        std::string arguments, server; // server "-" for none
        bool help, unregister;
        std::vector<std::string> unknown;
        bool quiet = false;
    };
    const Case cases[] = {
        {"report.txt C:\\x \"a b\" -h", "-", true, false, {}},
        {"/server", "-", false, false, {"/server"}},
        {"/Server=\\\\fs01 /unregister", "fs01", false, true, {}},
        {"\"/help\"", "-", true, false, {}},
        // Code page 932: whole characters, a quote after one still a quote.
        {"/server:\x95\x5C\"x y\" /a", "\x95\x5Cx y", false, false, {"/a"}},
        {"-\x83\x41 /b", "-", false, false, {"-\x83\x41", "/b"}},
        {"/install-service --Quiet", "-", false, false, {}, true},
        {"/quiet:yes /quieter", "-", false, false, {"/quiet:yes", "/quieter"}},
    };
    test::ScopedCodePage japanese(932);
    for (const Case& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        EXPECT_EQ(parsed.hasServer ? parsed.server : "-", c.server) << c.arguments;
        EXPECT_EQ(parsed.help, c.help) << c.arguments;
        EXPECT_EQ(parsed.unregister, c.unregister) << c.arguments;
        EXPECT_EQ(parsed.unknownSwitches, c.unknown) << c.arguments;
        EXPECT_EQ(parsed.quiet, c.quiet) << c.arguments;
    }
}

struct PlatformCase {
    std::optional<unsigned long> system;
    int platformId;
};

TEST(StartupEarlyExit, NonNtPlatformShowsOnlyThePlatformMessage) {
    const PlatformCase cases[] = {{0ul, 0}, {1ul, 1}, {3ul, -1}, {std::nullopt, -1}};
    for (const PlatformCase& c : cases) {
        CCheckerApp app;
        FakeHost host(kExe);
        host.platform = c.system;
        EXPECT_FALSE(app.Start(host));
        app.Exit(host);
        EXPECT_EQ(app.platformId, c.platformId);
        const std::vector<std::string> expected = {"platform", "message"};
        EXPECT_EQ(host.steps, expected) << "platform id " << c.platformId;
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, "This software does not operate in usage's OS. m(_ _)m");
        EXPECT_EQ(host.messages[0].caption, "GlimmerfenChecker");
        EXPECT_EQ(host.messages[0].icon, platform::MessageIcon::Warning);
    }
}

// Refused by a copy in the same folder (asked first, whatever it watches) or one watching the same computer.
TEST(StartupEarlyExit, SecondInstanceShowsHasStartedAndWritesNothing) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {FolderMutexName(kDir), {FolderMutexName(kDir)}},
        {ComputerMutexName("FS7"), {FolderMutexName(kDir), ComputerMutexName("FS7")}},
    };
    for (const auto& [takenMutex, mutexesAsked] : cases) {
        CCheckerApp app;
        FakeHost host(kExe);
        host.arguments = "/server:fs7";
        host.mutexResults[takenMutex] = StartupHost::MutexResult::AlreadyExists;
        EXPECT_FALSE(app.Start(host));
        app.Exit(host);
        EXPECT_EQ(host.mutexNames, mutexesAsked);
        EXPECT_EQ(host.steps.back(), "message");
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].text, platform::LoadText(IDS_ALREADY_RUNNING));
        EXPECT_FALSE(host.messages[0].text.empty());
        EXPECT_EQ(host.messages[0].caption, "GlimmerfenChecker");
        EXPECT_EQ(host.messages[0].icon, platform::MessageIcon::Information);
        EXPECT_FALSE(host.Took("save "));
        EXPECT_FALSE(host.Took("main window"));
    }
}

TEST(StartupEarlyExit, FailedMutexCreationLetsStartUpGoOn) {
    CCheckerApp app;
    FakeHost host(kExe);
    host.mutexResult = StartupHost::MutexResult::Failed;
    app.Start(host);
    EXPECT_TRUE(host.Took("main window"));
    EXPECT_TRUE(host.messages.empty());
}

TEST(StartupEarlyExit, FolderTooLongForTheIniPathIsRefused) {
    // "Glimmerfen.ini" (14 characters) plus its terminator must fit in 260: a folder of 246 characters
    // is one too many.
    const std::string dir = "C:\\" + std::string(242, 'd') + "\\";
    ASSERT_EQ(dir.size(), 246u);
    CCheckerApp app;
    FakeHost host(dir + "GlimmerfenChecker.exe");
    EXPECT_FALSE(app.Start(host));
    app.Exit(host);
    const std::vector<std::string> expected = {"platform", "message"};
    EXPECT_EQ(host.steps, expected);
    ASSERT_EQ(host.messages.size(), 1u);
    // The string table's text in the user's language, then the folder.
    EXPECT_EQ(host.messages[0].text, platform::LoadText(IDS_FOLDER_TOO_LONG) + "\n" + dir);
    EXPECT_EQ(host.messages[0].icon, platform::MessageIcon::Warning);

    // One character shorter fits.
    CCheckerApp fits;
    FakeHost shorter("C:\\" + std::string(241, 'd') + "\\GlimmerfenChecker.exe");
    fits.Start(shorter);
    EXPECT_TRUE(shorter.Took("main window"));
    EXPECT_EQ(fits.iniPath.size(), 259u);
}

TEST(StartupEarlyExit, NoTimerDeviceEndsSilentlyButSavesTheSettings) {
    CCheckerApp app;
    FakeHost host(kExe);
    host.resolution = std::nullopt;
    EXPECT_FALSE(app.Start(host));
    app.Exit(host);
    const std::vector<std::string> expected = {
        "platform",   "load " + kDir + "Glimmerfen.ini", "mutex", "mutex", "trim " + kDir + " 4",
        "resolution", "save " + kDir + "Glimmerfen.ini",
    };
    EXPECT_EQ(host.steps, expected);
    EXPECT_TRUE(host.messages.empty());
}

TEST(StartupEarlyExit, PeriodThatCouldNotBeBegunIsNotEnded) {
    CCheckerApp app;
    FakeHost host(kExe);
    host.periodOk = false;
    app.Start(host);
    app.Exit(host);
    EXPECT_TRUE(host.Took("main window"));
    EXPECT_EQ(host.steps.back(), "save " + kDir + "Glimmerfen.ini");
}

// The real settings and trimming in a folder of their own.
class StartupFiles : public ::testing::Test {
protected:
    std::string Exe() const { return dir.File("GlimmerfenChecker.exe"); }
    std::string Ini() const { return dir.File("Glimmerfen.ini"); }
    std::string Log() const { return dir.File("log.txt"); }
    TempDir dir;
};

TEST_F(StartupFiles, FirstExitWithoutIniWritesEveryKeyButTwo) {
    CCheckerApp app;
    FakeHost host(Exe(), true);
    app.Start(host);
    app.Exit(host);
    const std::string ini = ReadBytes(Ini());
    for (const char* key :
         {"InitFlag=0",      "LogOut=1",          "LogSetDays=3",      "LogChkOkPc=0",       "LogChkDisMsg=0",
          "ViewTime=30",     "StartDlg=0",        "TopDlg=1",          "DlgPopFlag=0",       "DlgPopTime=10",
          "DlgPopChkOkPc=0", "DlgPopCloseFlag=0", "DisJuncPcFlag=0",   "DisJuncOkPcFlag=0",  "DisJuncNgPcFlag=1",
          "DisJuncOkPcStr=", "DisJuncNgPcStr=",   "DisJuncFileFlag=0", "DisJuncFileStr=eml", "DisJuncTimerFlag=0",
          "DisJuncTimer=20", "ThreadLevel1=0",    "ThreadLevel2=0",    "CycleTime1=20",      "CycleTime2=1000",
          "MsgFrom=",        "ChkStartUp=0"}) {
        EXPECT_NE(ini.find(std::string("\r\n") + key + "\r\n"), std::string::npos) << key << " in\n" << ini;
    }
    EXPECT_EQ(ini.find("CycleTime3"), std::string::npos);
    EXPECT_EQ(ini.find("IntermitCheck"), std::string::npos);
}

TEST_F(StartupFiles, SettingsAreLoadedBeforeTheMainWindowAndLogTrimmedByThem) {
    WriteBytes(Ini(), "[Setting]\r\nCycleTime3=500\r\nLogSetDays=1\r\n");
    const std::int32_t now = platform::NowSeconds();
    const std::string old = std::to_string(now - 2 * 86400) + "\tPC1\talice\t\t\t\t0\t\t\t\t\r\n";
    const std::string young = std::to_string(now - 60) + "\tPC2\tbob\t\t\t\t0\t\t\t\t\r\n";
    WriteBytes(Log(), old + young);

    CCheckerApp app;
    FakeHost host(Exe(), true);
    app.Start(host);
    EXPECT_EQ(host.cycleTime3InMainWindow, 500);
    EXPECT_EQ(ReadBytes(Log()), young);
    app.Exit(host);
    // Written back, but CycleTime3 stays as the user put it.
    const std::string ini = ReadBytes(Ini());
    EXPECT_NE(ini.find("CycleTime3=500"), std::string::npos) << ini;
    EXPECT_NE(ini.find("LogSetDays=1"), std::string::npos) << ini;
}

TEST_F(StartupFiles, SecondInstanceTouchesNeitherIniNorLog) {
    const std::int32_t now = platform::NowSeconds();
    const std::string old = std::to_string(now - 30 * 86400) + "\tPC1\talice\t\t\t\t0\t\t\t\t\r\n";
    WriteBytes(Log(), old);

    CCheckerApp app;
    FakeHost host(Exe(), true);
    host.mutexResult = StartupHost::MutexResult::AlreadyExists;
    app.Start(host);
    app.Exit(host);
    EXPECT_FALSE(std::filesystem::exists(Ini()));
    EXPECT_EQ(ReadBytes(Log()), old);
}

TEST(ApplicationName, FileNameWithoutExtension) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"C:\\a\\GlimmerfenChecker.exe", "GlimmerfenChecker"},
        {"C:\\a.dir\\Checker", "Checker"},
        {"C:Checker.exe", "Checker"},
        {"/opt/x/Checker.exe", "Checker"},
        {"C:\\a\\", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApplicationNameFrom(c.path), c.name) << c.path;
    }
}

} // namespace
} // namespace glimmerfen
