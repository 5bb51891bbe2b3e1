#include "settings/Settings.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

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
    settings.EventLog.store(platform::ProfileGetInt(iniPath, kNetworkSection, "EventLog", 0));
    settings.Computer.Set(platform::ProfileGetString(iniPath, kNetworkSection, "Computer", "", kTextBuffer));
    settings.NoticeRuleCut.store(platform::ProfileGetInt(iniPath, kNoticeSection, "RuleCut", 1));
    settings.NoticeServer.store(platform::ProfileGetInt(iniPath, kNoticeSection, "Server", 1));
    settings.NoticeLog.store(platform::ProfileGetInt(iniPath, kNoticeSection, "Log", 1));
}

namespace {

// Every key that a save may write, with the field it comes from.
struct KeyField {
    const char* key;
    std::atomic<int> AppSettings::*number;
    SharedText AppSettings::*text;
};

const KeyField* FindKey(std::string_view key) {
    static const KeyField fields[] = {
        {"InitFlag", &AppSettings::InitFlag, nullptr},
        {"LogOut", &AppSettings::LogOut, nullptr},
        {"LogSetDays", &AppSettings::LogSetDays, nullptr},
        {"LogChkOkPc", &AppSettings::LogChkOkPc, nullptr},
        {"LogChkDisMsg", &AppSettings::LogChkDisMsg, nullptr},
        {"ViewTime", &AppSettings::ViewTime, nullptr},
        {"StartDlg", &AppSettings::StartDlg, nullptr},
        {"TopDlg", &AppSettings::TopDlg, nullptr},
        {"DlgPopFlag", &AppSettings::DlgPopFlag, nullptr},
        {"DlgPopTime", &AppSettings::DlgPopTime, nullptr},
        {"DlgPopChkOkPc", &AppSettings::DlgPopChkOkPc, nullptr},
        {"DlgPopCloseFlag", &AppSettings::DlgPopCloseFlag, nullptr},
        {"DisJuncPcFlag", &AppSettings::DisJuncPcFlag, nullptr},
        {"DisJuncOkPcFlag", &AppSettings::DisJuncOkPcFlag, nullptr},
        {"DisJuncNgPcFlag", &AppSettings::DisJuncNgPcFlag, nullptr},
        {"DisJuncOkPcStr", nullptr, &AppSettings::DisJuncOkPcStr},
        {"DisJuncNgPcStr", nullptr, &AppSettings::DisJuncNgPcStr},
        {"DisJuncFileFlag", &AppSettings::DisJuncFileFlag, nullptr},
        {"DisJuncFileStr", nullptr, &AppSettings::DisJuncFileStr},
        {"DisJuncTimerFlag", &AppSettings::DisJuncTimerFlag, nullptr},
        {"DisJuncTimer", &AppSettings::DisJuncTimer, nullptr},
        {"ThreadLevel1", &AppSettings::ThreadLevel1, nullptr},
        {"ThreadLevel2", &AppSettings::ThreadLevel2, nullptr},
        {"CycleTime1", &AppSettings::CycleTime1, nullptr},
        {"CycleTime2", &AppSettings::CycleTime2, nullptr},
        {"MsgFrom", nullptr, &AppSettings::MsgFrom},
        {"ChkStartUp", &AppSettings::ChkStartUp, nullptr},
    };
    for (const KeyField& field : fields) {
        if (key == field.key) {
            return &field;
        }
    }
    return nullptr;
}

// Writes the keys in the order given; the four thread keys only while IntermitCheck is 0, since with
// it set the thread settings of this run are momentary and the file keeps its own.
void WriteKeys(const AppSettings& settings, const std::string& iniPath, std::initializer_list<std::string_view> keys) {
    const SettingWriter write(iniPath);
    const bool momentary = settings.IntermitCheck.load() != 0;
    for (std::string_view key : keys) {
        const KeyField* field = FindKey(key);
        if (field == nullptr) {
            continue;
        }
        if (momentary &&
            (key == "ThreadLevel1" || key == "ThreadLevel2" || key == "CycleTime1" || key == "CycleTime2")) {
            continue;
        }
        if (field->number != nullptr) {
            write.Int(settings.*(field->number), field->key);
        } else {
            write.Text(settings.*(field->text), field->key);
        }
    }
    platform::ProfileWriteInt(iniPath, kNetworkSection, "EventLog", settings.EventLog.load());
    platform::ProfileWriteInt(iniPath, kNoticeSection, "RuleCut", settings.NoticeRuleCut.load());
    platform::ProfileWriteInt(iniPath, kNoticeSection, "Server", settings.NoticeServer.load());
    platform::ProfileWriteInt(iniPath, kNoticeSection, "Log", settings.NoticeLog.load());
}

} // namespace

void SaveSettings(const AppSettings& settings, const std::string& iniPath) {
    WriteKeys(settings, iniPath,
              {"InitFlag",       "LogOut",          "LogSetDays",      "LogChkOkPc",      "LogChkDisMsg",
               "ViewTime",       "StartDlg",        "TopDlg",          "DlgPopFlag",      "DlgPopTime",
               "DlgPopChkOkPc",  "DlgPopCloseFlag", "DisJuncPcFlag",   "DisJuncOkPcFlag", "DisJuncNgPcFlag",
               "DisJuncOkPcStr", "DisJuncNgPcStr",  "DisJuncFileFlag", "DisJuncFileStr",  "DisJuncTimerFlag",
               "DisJuncTimer",   "ThreadLevel1",    "ThreadLevel2",    "CycleTime1",      "CycleTime2",
               "MsgFrom",        "ChkStartUp"});
}

void SaveAppliedSettings(const AppSettings& settings, const std::string& iniPath) {
    WriteKeys(settings, iniPath,
              {"InitFlag",        "LogOut",         "LogSetDays",      "LogChkOkPc",      "LogChkDisMsg",
               "ViewTime",        "StartDlg",       "TopDlg",          "DlgPopFlag",      "DlgPopTime",
               "DlgPopCloseFlag", "DlgPopChkOkPc",  "DisJuncPcFlag",   "DisJuncOkPcFlag", "DisJuncNgPcFlag",
               "DisJuncOkPcStr",  "DisJuncNgPcStr", "DisJuncFileFlag", "DisJuncFileStr",  "DisJuncTimerFlag",
               "DisJuncTimer",    "ChkStartUp",     "ThreadLevel1",    "ThreadLevel2",    "CycleTime1",
               "CycleTime2"});
}

} // namespace glimmerfen
