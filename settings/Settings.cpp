#include "settings/Settings.h"

#include <cstdio>

#include "platform/profile.h"

namespace glimmerfen {
namespace {

// Texts come back through a buffer of this many characters, so at most 4095 of them.
constexpr std::size_t kTextBuffer = 4096;

class SettingReader {
public:
    explicit SettingReader(const std::string& iniPath) : path_(iniPath) {}

    void Int(std::atomic<int>& field, const char* key, int defaultValue) const {
        field.store(platform::ProfileGetInt(path_, kSettingSection, key, defaultValue));
    }
    void Text(SharedText& field, const char* key, const char* defaultValue) const {
        field.Set(platform::ProfileGetString(path_, kSettingSection, key, defaultValue, kTextBuffer));
    }

private:
    const std::string& path_;
};

class SettingWriter {
public:
    explicit SettingWriter(const std::string& iniPath) : path_(iniPath) {}

    // A failed write is not reported: the record stays as it is, and the next save tries again.
    void Int(const std::atomic<int>& field, const char* key) const {
        platform::ProfileWriteInt(path_, kSettingSection, key, field.load());
    }
    void Text(const SharedText& field, const char* key) const {
        const auto value = field.Snapshot();
        platform::ProfileWriteString(path_, kSettingSection, key, value->c_str());
    }

private:
    const std::string& path_;
};

} // namespace

void LoadSettings(AppSettings& settings, const std::string& iniPath) {
    const SettingReader read(iniPath);
    read.Int(settings.InitFlag, "InitFlag", 0);
    read.Int(settings.LogOut, "LogOut", 1);
    read.Int(settings.LogSetDays, "LogSetDays", 3);
    read.Int(settings.LogChkOkPc, "LogChkOkPc", 0);
    read.Int(settings.LogChkDisMsg, "LogChkDisMsg", 0);
    read.Int(settings.ViewTime, "ViewTime", 30);
    read.Int(settings.StartDlg, "StartDlg", 0);
    read.Int(settings.TopDlg, "TopDlg", 1);
    read.Int(settings.DlgPopFlag, "DlgPopFlag", 0);
    read.Int(settings.DlgPopCloseFlag, "DlgPopCloseFlag", 0);
    read.Int(settings.DlgPopTime, "DlgPopTime", 10);
    read.Int(settings.DlgPopChkOkPc, "DlgPopChkOkPc", 0);
    read.Int(settings.DisJuncPcFlag, "DisJuncPcFlag", 0);
    read.Int(settings.DisJuncOkPcFlag, "DisJuncOkPcFlag", 0);
    read.Int(settings.DisJuncNgPcFlag, "DisJuncNgPcFlag", 1);
    read.Text(settings.DisJuncOkPcStr, "DisJuncOkPcStr", "");
    read.Text(settings.DisJuncNgPcStr, "DisJuncNgPcStr", "");
    read.Int(settings.DisJuncFileFlag, "DisJuncFileFlag", 0);
    read.Text(settings.DisJuncFileStr, "DisJuncFileStr", "eml");
    read.Int(settings.DisJuncTimerFlag, "DisJuncTimerFlag", 0);
    read.Int(settings.DisJuncTimer, "DisJuncTimer", 20);
    read.Int(settings.ThreadLevel1, "ThreadLevel1", 0);
    read.Int(settings.ThreadLevel2, "ThreadLevel2", 0);
    read.Int(settings.CycleTime1, "CycleTime1", 20);
    read.Int(settings.CycleTime2, "CycleTime2", 1000);
    read.Int(settings.CycleTime3, "CycleTime3", 1000);
    read.Int(settings.IntermitCheck, "IntermitCheck", 0);
    read.Text(settings.MsgFrom, "MsgFrom", "");
    read.Int(settings.ChkStartUp, "ChkStartUp", 0);
}

void SaveSettings(const AppSettings& settings, const std::string& iniPath, bool includeMsgFrom) {
    const SettingWriter write(iniPath);
    write.Int(settings.InitFlag, "InitFlag");
    write.Int(settings.LogOut, "LogOut");
    write.Int(settings.LogSetDays, "LogSetDays");
    write.Int(settings.LogChkOkPc, "LogChkOkPc");
    write.Int(settings.LogChkDisMsg, "LogChkDisMsg");
    write.Int(settings.ViewTime, "ViewTime");
    write.Int(settings.StartDlg, "StartDlg");
    write.Int(settings.TopDlg, "TopDlg");
    write.Int(settings.DlgPopFlag, "DlgPopFlag");
    write.Int(settings.DlgPopTime, "DlgPopTime");
    write.Int(settings.DlgPopChkOkPc, "DlgPopChkOkPc");
    write.Int(settings.DlgPopCloseFlag, "DlgPopCloseFlag");
    write.Int(settings.DisJuncPcFlag, "DisJuncPcFlag");
    write.Int(settings.DisJuncOkPcFlag, "DisJuncOkPcFlag");
    write.Int(settings.DisJuncNgPcFlag, "DisJuncNgPcFlag");
    write.Text(settings.DisJuncOkPcStr, "DisJuncOkPcStr");
    write.Text(settings.DisJuncNgPcStr, "DisJuncNgPcStr");
    write.Int(settings.DisJuncFileFlag, "DisJuncFileFlag");
    write.Text(settings.DisJuncFileStr, "DisJuncFileStr");
    write.Int(settings.DisJuncTimerFlag, "DisJuncTimerFlag");
    write.Int(settings.DisJuncTimer, "DisJuncTimer");
    // With IntermitCheck set, the thread settings of this run are momentary and the file keeps its own.
    if (settings.IntermitCheck.load() == 0) {
        write.Int(settings.ThreadLevel1, "ThreadLevel1");
        write.Int(settings.ThreadLevel2, "ThreadLevel2");
        write.Int(settings.CycleTime1, "CycleTime1");
        write.Int(settings.CycleTime2, "CycleTime2");
    }
    if (includeMsgFrom) {
        write.Text(settings.MsgFrom, "MsgFrom");
    }
    write.Int(settings.ChkStartUp, "ChkStartUp");
}

} // namespace glimmerfen
