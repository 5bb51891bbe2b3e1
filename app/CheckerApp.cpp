#include "app/CheckerApp.h"

#include <new>

#include "monitor/log/LogRetention.h"
#include "settings/Paths.h"
#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/strings.h"
#include "platform/timer.h"
#include "res/resource.h"

namespace glimmerfen {

void StartupHost::ShowMessage(const std::string& text, const std::string& caption, platform::MessageIcon icon) {
    platform::ShowMessage(text, caption, icon);
}

void StartupHost::LoadSettings(AppSettings& settings, const std::string& iniPath) {
    glimmerfen::LoadSettings(settings, iniPath);
}

void StartupHost::TrimLog(const std::string& exeDir, int logSetDays) {
    glimmerfen::TrimLog(exeDir, logSetDays, platform::NowSeconds());
}

std::optional<unsigned> StartupHost::TimerResolution() {
    return platform::TimerResolution();
}

bool StartupHost::BeginTimerPeriod(unsigned periodMs) {
    return platform::BeginTimerPeriod(periodMs);
}

void StartupHost::EndTimerPeriod(unsigned periodMs) {
    platform::EndTimerPeriod(periodMs);
}

void StartupHost::SaveSettings(const AppSettings& settings, const std::string& iniPath) {
    glimmerfen::SaveSettings(settings, iniPath);
}

int PlatformIdFrom(std::optional<unsigned long> systemPlatform) {
    if (!systemPlatform) {
        return kPlatformOther;
    }
    switch (*systemPlatform) {
    case 0:
        return kPlatformWin32s;
    case 1:
        return kPlatformWindows95;
    case 2:
        return kPlatformNt;
    default:
        return kPlatformOther;
    }
}

bool CCheckerApp::Start(StartupHost& host) {
    // The executable's name captions every message of start-up, the first one included.
    const std::string modulePath = host.ModulePath();
    appName = ApplicationNameFrom(modulePath);
    platform::SetFaultCaption(appName);

    platformId = PlatformIdFrom(host.SystemPlatform());
    if (platformId != kPlatformNt) {
        host.ShowMessage(kWrongPlatformMessage, appName, platform::MessageIcon::Warning);
        return false;
    }

    if (host.CreateInstanceMutex(appName) == StartupHost::MutexResult::AlreadyExists) {
        host.ShowMessage(platform::LoadText(IDS_ALREADY_RUNNING), appName, platform::MessageIcon::Information);
        return false;
    }

    std::optional<ProgramPaths> paths;
    std::string reason;
    try {
        paths = ComputeProgramPaths(modulePath, &reason);
    } catch (const std::bad_alloc&) {
        host.ShowMessage(kNoMemoryMessage, appName, platform::MessageIcon::Warning);
        return false;
    }
    if (!paths) {
        // A folder too long for the INI path's buffer: refused rather than cut, so that no file of
        // the program lands in some other place.
        host.ShowMessage(reason, appName, platform::MessageIcon::Warning);
        return false;
    }
    exePath = paths->exePath;
    exeDir = paths->exeDir;
    iniPath = paths->iniPath;

    host.LoadSettings(settings, iniPath);
    reachedSettings_ = true;

    host.TrimLog(exeDir, settings.LogSetDays.load());

    const std::optional<unsigned> resolution = host.TimerResolution();
    if (!resolution) {
        return false;
    }
    timerResolution = *resolution;
    periodBegun_ = host.BeginTimerPeriod(timerResolution);

    ranMainWindow_ = true;
    host.RunMainWindow(*this);
    return false;
}

int CCheckerApp::Exit(StartupHost& host) {
    if (reachedSettings_) {
        host.SaveSettings(settings, iniPath);
    }
    if (periodBegun_) {
        host.EndTimerPeriod(timerResolution);
        periodBegun_ = false;
    }
    return 0;
}

CCheckerApp& TheApp() {
    static CCheckerApp app;
    return app;
}

} // namespace glimmerfen
