// The settings record and section "Setting" of the INI file.
#include "settings/Settings.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/temp_dir.h"
#include "platform/profile.h"

namespace glimmerfen {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct IntDefault {
    const char* key;
    std::atomic<int> AppSettings::*field;
    int value;
};

// Every integer key with its default, in the order of the record.
const IntDefault kIntDefaults[] = {
    {"InitFlag", &AppSettings::InitFlag, 0},
    {"LogOut", &AppSettings::LogOut, 1},
    {"LogSetDays", &AppSettings::LogSetDays, 3},
    {"LogChkOkPc", &AppSettings::LogChkOkPc, 0},
    {"LogChkDisMsg", &AppSettings::LogChkDisMsg, 0},
    {"ViewTime", &AppSettings::ViewTime, 30},
    {"StartDlg", &AppSettings::StartDlg, 0},
    {"TopDlg", &AppSettings::TopDlg, 1},
    {"DlgPopFlag", &AppSettings::DlgPopFlag, 0},
    {"DlgPopCloseFlag", &AppSettings::DlgPopCloseFlag, 0},
    {"DlgPopTime", &AppSettings::DlgPopTime, 10},
    {"DlgPopChkOkPc", &AppSettings::DlgPopChkOkPc, 0},
    {"DisJuncPcFlag", &AppSettings::DisJuncPcFlag, 0},
    {"DisJuncOkPcFlag", &AppSettings::DisJuncOkPcFlag, 0},
    {"DisJuncNgPcFlag", &AppSettings::DisJuncNgPcFlag, 1},
    {"DisJuncFileFlag", &AppSettings::DisJuncFileFlag, 0},
    {"DisJuncTimerFlag", &AppSettings::DisJuncTimerFlag, 0},
    {"DisJuncTimer", &AppSettings::DisJuncTimer, 20},
    {"ThreadLevel1", &AppSettings::ThreadLevel1, 0},
    {"ThreadLevel2", &AppSettings::ThreadLevel2, 0},
    {"CycleTime1", &AppSettings::CycleTime1, 20},
    {"CycleTime2", &AppSettings::CycleTime2, 1000},
    {"CycleTime3", &AppSettings::CycleTime3, 1000},
    {"IntermitCheck", &AppSettings::IntermitCheck, 0},
    {"ChkStartUp", &AppSettings::ChkStartUp, 0},
};

// What the exit save writes into a new file when every field holds its default.
const char kDefaultFile[] = "[Setting]\r\n"
                            "InitFlag=0\r\n"
                            "LogOut=1\r\n"
                            "LogSetDays=3\r\n"
                            "LogChkOkPc=0\r\n"
                            "LogChkDisMsg=0\r\n"
                            "ViewTime=30\r\n"
                            "StartDlg=0\r\n"
                            "TopDlg=1\r\n"
                            "DlgPopFlag=0\r\n"
                            "DlgPopTime=10\r\n"
                            "DlgPopChkOkPc=0\r\n"
                            "DlgPopCloseFlag=0\r\n"
                            "DisJuncPcFlag=0\r\n"
                            "DisJuncOkPcFlag=0\r\n"
                            "DisJuncNgPcFlag=1\r\n"
                            "DisJuncOkPcStr=\r\n"
                            "DisJuncNgPcStr=\r\n"
                            "DisJuncFileFlag=0\r\n"
                            "DisJuncFileStr=eml\r\n"
                            "DisJuncTimerFlag=0\r\n"
                            "DisJuncTimer=20\r\n"
                            "ThreadLevel1=0\r\n"
                            "ThreadLevel2=0\r\n"
                            "CycleTime1=20\r\n"
                            "CycleTime2=1000\r\n"
                            "MsgFrom=\r\n"
                            "ChkStartUp=0\r\n"
                            "[Network]\r\n"
                            "EventLog=0\r\n"
                            "[Notice]\r\n"
                            "RuleCut=1\r\n"
                            "Server=1\r\n"
                            "Log=1\r\n";

TEST(Settings, FirstRunWithoutIniUsesDefaultsAndSaveWritesEveryKeyInOrder) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    AppSettings settings;
    // A record that is not freshly zeroed shows that every field is really loaded.
    for (const IntDefault& d : kIntDefaults) {
        (settings.*d.field).store(-99);
    }
    settings.DisJuncOkPcStr.Set("stale");
    settings.DisJuncNgPcStr.Set("stale");
    settings.DisJuncFileStr.Set("stale");
    settings.MsgFrom.Set("stale");

    LoadSettings(settings, ini);
    for (const IntDefault& d : kIntDefaults) {
        EXPECT_EQ((settings.*d.field).load(), d.value) << d.key;
    }
    EXPECT_EQ(settings.DisJuncOkPcStr.Get(), "");
    EXPECT_EQ(settings.DisJuncNgPcStr.Get(), "");
    EXPECT_EQ(settings.DisJuncFileStr.Get(), "eml");
    EXPECT_EQ(settings.MsgFrom.Get(), "");
    EXPECT_FALSE(std::filesystem::exists(ini)) << "loading must not create the file";

    SaveSettings(settings, ini);
    EXPECT_EQ(ReadBytes(ini), kDefaultFile) << "CycleTime3 and IntermitCheck are never written, nor Computer";
}

TEST(Settings, SaveUpdatesKeysInPlaceAndKeepsOtherSections) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    WriteBytes(ini, "[DialogPos]\r\nLeft=10\r\n[Setting]\r\nChkStartUp=1\r\nLogOut=0\r\nCycleTime3=500\r\n"
                    "[LogDialogPos]\r\nTop=20\r\n[Network]\r\nComputer=FS01\r\nEventLog=1\r\n");
    AppSettings settings;
    LoadSettings(settings, ini);
    EXPECT_EQ(settings.ChkStartUp.load(), 1);
    EXPECT_EQ(settings.LogOut.load(), 0);
    EXPECT_EQ(settings.CycleTime3.load(), 500);
    EXPECT_EQ(settings.EventLog.load(), 1);
    EXPECT_EQ(settings.Computer.Get(), "FS01");

    settings.LogOut = 1;
    settings.EventLog = 0;
    settings.DisJuncNgPcStr.Set("PC1;PC2");
    SaveSettings(settings, ini);
    const std::string file = ReadBytes(ini);
    EXPECT_EQ(file.rfind("[DialogPos]\r\nLeft=10\r\n[Setting]\r\nChkStartUp=1\r\nLogOut=1\r\nCycleTime3=500\r\n", 0),
              0u)
        << file;
    EXPECT_NE(file.find("\r\nDisJuncNgPcStr=PC1;PC2\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\n[LogDialogPos]\r\nTop=20\r\n[Network]\r\nComputer=FS01\r\nEventLog=0\r\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(platform::ProfileGetInt(ini, "DialogPos", "Left", 0), 10);
    EXPECT_EQ(platform::ProfileGetInt(ini, "LogDialogPos", "Top", 0), 20);
    EXPECT_EQ(platform::ProfileGetInt(ini, "Setting", "CycleTime3", 0), 500);
    EXPECT_EQ(platform::ProfileGetInt(ini, "Setting", "IntermitCheck", -1), -1);
}

TEST(Settings, IntermitCheckLeavesTheThreadKeysOfTheFileAlone) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    WriteBytes(ini, "[Setting]\r\nThreadLevel1=2\r\nThreadLevel2=-1\r\nCycleTime1=50\r\nCycleTime2=700\r\n"
                    "IntermitCheck=1\r\n");
    AppSettings settings;
    LoadSettings(settings, ini);
    EXPECT_EQ(settings.IntermitCheck.load(), 1);
    EXPECT_EQ(settings.ThreadLevel2.load(), -1);

    // Momentary values of this run.
    settings.ThreadLevel1 = 15;
    settings.ThreadLevel2 = -15;
    settings.CycleTime1 = 1;
    settings.CycleTime2 = 1;
    SaveSettings(settings, ini);
    const std::string file = ReadBytes(ini);
    EXPECT_EQ(file.rfind("[Setting]\r\nThreadLevel1=2\r\nThreadLevel2=-1\r\nCycleTime1=50\r\nCycleTime2=700\r\n"
                         "IntermitCheck=1\r\nInitFlag=0\r\n",
                         0),
              0u)
        << file;

    // Once the flag is cleared (the option sheet's Apply), they are written.
    settings.IntermitCheck = 0;
    SaveAppliedSettings(settings, ini);
    AppSettings reloaded;
    LoadSettings(reloaded, ini);
    EXPECT_EQ(reloaded.ThreadLevel1.load(), 15);
    EXPECT_EQ(reloaded.ThreadLevel2.load(), -15);
    EXPECT_EQ(reloaded.CycleTime1.load(), 1);
    EXPECT_EQ(reloaded.CycleTime2.load(), 1);
    EXPECT_EQ(reloaded.IntermitCheck.load(), 1) << "IntermitCheck itself is never written";
}

TEST(Settings, NegativeNumbersRoundTrip) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    WriteBytes(ini, "[Setting]\r\nThreadLevel1=-15\r\nLogSetDays=-2\r\n");
    AppSettings settings;
    LoadSettings(settings, ini);
    EXPECT_EQ(settings.ThreadLevel1.load(), -15);
    EXPECT_EQ(settings.LogSetDays.load(), -2) << "loading applies no range check";
    SaveSettings(settings, ini);
    const std::string file = ReadBytes(ini);
    EXPECT_EQ(file.rfind("[Setting]\r\nThreadLevel1=-15\r\nLogSetDays=-2\r\n", 0), 0u) << file;
}

TEST(Settings, TextKeysMissingOrEmpty) {
    TempDir dir;
    const std::string missing = dir.File("missing.ini");
    const std::string empty = dir.File("empty.ini");
    const std::string longer = dir.File("long.ini");
    WriteBytes(missing, "[Setting]\r\nLogOut=1\r\n");
    WriteBytes(empty, "[Setting]\r\nDisJuncFileStr=\r\nMsgFrom=\r\n");
    WriteBytes(longer, "[Setting]\r\nDisJuncOkPcStr=" + std::string(5000, 'P') + "\r\n");

    AppSettings a;
    LoadSettings(a, missing);
    EXPECT_EQ(a.DisJuncFileStr.Get(), "eml");
    AppSettings b;
    LoadSettings(b, empty);
    EXPECT_EQ(b.DisJuncFileStr.Get(), "") << "a key present with an empty value is empty, not the default";
    AppSettings c;
    LoadSettings(c, longer);
    EXPECT_EQ(c.DisJuncOkPcStr.Get(), std::string(4095, 'P'));
}

TEST(Settings, ApplyLeavesMsgFromOut) {
    TempDir dir;
    const std::string fresh = dir.File("fresh.ini");
    const std::string existing = dir.File("existing.ini");
    WriteBytes(existing, "[Setting]\r\nMsgFrom=old sender\r\n");
    AppSettings settings;
    LoadSettings(settings, existing);
    settings.MsgFrom.Set("new sender");

    SaveAppliedSettings(settings, fresh);
    EXPECT_EQ(ReadBytes(fresh).find("MsgFrom"), std::string::npos);
    SaveAppliedSettings(settings, existing);
    EXPECT_EQ(platform::ProfileGetString(existing, "Setting", "MsgFrom", ""), "old sender");
    SaveSettings(settings, existing);
    EXPECT_EQ(platform::ProfileGetString(existing, "Setting", "MsgFrom", ""), "new sender");
}

// The user-interface thread replaces the list texts while the poll reads them: every read must be one
// whole value that was written, never a mix. Runs under ThreadSanitizer in the native build.
TEST(Settings, ListTextsReadWhileReplacedAreNeverTorn) {
    AppSettings settings;
    const std::vector<std::string> values = {
        "", "PC1", "PC1;PC2;PC3", std::string(3000, 'A') + ";" + std::string(3000, 'B'), "\x95\x5C\x8E\xA6;PC9"};
    settings.DisJuncOkPcStr.Set(values[0]);
    settings.DisJuncNgPcStr.Set(values[0]);
    settings.DisJuncFileStr.Set(values[0]);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    auto isWritten = [&values](const std::string& text) {
        for (const std::string& v : values) {
            if (v == text) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const auto ok = settings.DisJuncOkPcStr.Snapshot();
                const std::string ng = settings.DisJuncNgPcStr.Get();
                const std::string files = settings.DisJuncFileStr.Get();
                if (!isWritten(*ok) || !isWritten(ng) || !isWritten(files)) {
                    torn.fetch_add(1);
                }
                reads.fetch_add(1);
            }
        });
    }
    for (int i = 0; i < 3000; ++i) {
        const std::string& v = values[static_cast<std::size_t>(i) % values.size()];
        settings.DisJuncOkPcStr.Set(v);
        settings.DisJuncNgPcStr.Set(v);
        settings.DisJuncFileStr.Set(v);
    }
    // Let the readers overlap at least a few of the writes before stopping them.
    while (reads.load() < 100) {
        std::this_thread::yield();
    }
    done = true;
    for (std::thread& t : readers) {
        t.join();
    }
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(settings.DisJuncOkPcStr.Get(), values[2999 % values.size()]);
}

} // namespace
} // namespace glimmerfen
