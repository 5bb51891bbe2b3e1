#include "app/CheckerApp.h"

#include <new>

#include "app/InstanceNames.h"
#include "app/ServiceSetup.h"
#include "monitor/log/LogRetention.h"
#include "platform/ansitext.h"
#include "platform/netnames.h"
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

void StartupHost::BeginServiceMode(const std::string&) {}

void StartupHost::RunService(CCheckerApp&, const std::string&) {}

void StartupHost::ShowUsage(const std::string&, const std::string&) {}

void StartupHost::UnregisterEventSource(const std::string&, const std::string&) {}

void StartupHost::RegisterEventSource(const std::string&, bool, const std::string&) {}

std::vector<std::string> StartupHost::ComputerNames() {
    return platform::OwnComputerNames();
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

    // Read before anything can be told, so that /quiet keeps every box away from an installer's run.
    const CommandLine commandLine = ParseCommandLine(ArgumentsAfterProgram(host.CommandLineText(), modulePath));
    quiet_ = commandLine.quiet;

    platformId = PlatformIdFrom(host.SystemPlatform());
    if (platformId != kPlatformNt) {
        Refuse(host, kWrongPlatformMessage);
        return false;
    }

    if (commandLine.runService) {
        host.BeginServiceMode(appName);
    }
    if (commandLine.help) {
        host.ShowUsage({}, appName);
        return false;
    }
    if (commandLine.unregister) {
        host.UnregisterEventSource(modulePath, appName);
        return false;
    }

    std::optional<ProgramPaths> paths;
    std::string reason;
    try {
        paths = ComputeProgramPaths(modulePath, &reason);
    } catch (const std::bad_alloc&) {
        Refuse(host, kNoMemoryMessage);
        return false;
    }
    if (!paths) {
        // A folder too long for the INI path's buffer: refused rather than cut, so that no file of
        // the program lands in some other place.
        Refuse(host, reason);
        return false;
    }
    unknownSwitches.clear();
    for (const std::string& word : commandLine.unknownSwitches) {
        unknownSwitches += (unknownSwitches.empty() ? "" : " ") + word;
    }
    exePath = paths->exePath;
    exeDir = paths->exeDir;
    iniPath = paths->iniPath;

    // Reading the settings writes nothing, so a second instance refused below leaves every file alone;
    // the instance's name needs the computer that the INI file may name.
    host.LoadSettings(settings, iniPath);
    watchedComputer = commandLine.hasServer ? commandLine.server : WatchedComputerName(settings.Computer.Get());
    if (!watchedComputer.empty() && platform::NamesThisComputer(watchedComputer, host.ComputerNames())) {
        // Watched under any name, this computer is one computer: one instance, and no "\\name" in the
        // captions.
        watchedComputer.clear();
    }
    if (!watchedComputer.empty() && !platform::IsWellFormedComputerName(watchedComputer)) {
        Refuse(host, platform::LoadText(IDS_BAD_COMPUTER_NAME) + "\n" + watchedComputer);
        return false;
    }

    const std::string serviceName = ServiceName(watchedComputer);
    if (commandLine.installService || commandLine.uninstallService) {
        exitCode_ = SetUpService(host, commandLine.installService, serviceName);
        return false;
    }
    if (!commandLine.runService && ServiceWatches(host, serviceName)) {
        // The service of this folder watches: this tray is its window and starts no watch of its own.
        // One window per service; the service's own instance names stay the service's.
        servicePipe = serviceName;
        if (host.CreateInstanceMutex(ServiceWindowMutexName(serviceName)) == StartupHost::MutexResult::AlreadyExists) {
            Tell(host, platform::LoadText(IDS_ALREADY_RUNNING), platform::MessageIcon::Information);
            return false;
        }
    } else {
        // The folder first: a second copy in it is refused whatever it would watch.
        for (const std::string& name : {FolderMutexName(exeDir), ComputerMutexName(watchedComputer)}) {
            if (host.CreateInstanceMutex(name) == StartupHost::MutexResult::AlreadyExists) {
                host.ShowMessage(platform::LoadText(IDS_ALREADY_RUNNING), appName, platform::MessageIcon::Information);
                return false;
            }
        }
    }
    reachedSettings_ = true;
    // Only a copy that writes events registers itself. Why a path cannot be registered is told at the
    // folder's first start (the one that asks the first-run question) rather than at every start;
    // ticking the option tells it again.
    // The service registers itself and trims the log it writes; its window leaves both alone.
    if (settings.EventLog.load() == 1 && servicePipe.empty()) {
        host.RegisterEventSource(exePath, settings.InitFlag.load() == 0, appName);
    }
    if (servicePipe.empty()) {
        host.TrimLog(exeDir, settings.LogSetDays.load());
    }

    const std::optional<unsigned> resolution = host.TimerResolution();
    if (!resolution) {
        return false;
    }
    timerResolution = *resolution;
    periodBegun_ = host.BeginTimerPeriod(timerResolution);

    if (commandLine.runService) {
        ranService_ = true;
        host.RunService(*this, serviceName);
        return false;
    }
    host.RunMainWindow(*this);
    return false;
}

int CCheckerApp::SetUpService(StartupHost& host, bool install, const std::string& serviceName) {
    const std::unique_ptr<platform::ServiceManager> manager = host.ServiceManager();
    ServiceSetup outcome = ServiceSetup::Failed;
    std::string installed;
    if (manager && install) {
        std::string displayName = "Glimmerfen Checker";
        if (!watchedComputer.empty()) {
            displayName += " (\\\\" + watchedComputer + ")";
        }
        const platform::ServiceDefinition definition{serviceName, displayName,
                                                     platform::LoadText(IDS_SERVICE_DESCRIPTION),
                                                     ServiceCommandLine(exePath, watchedComputer)};
        outcome = InstallService(*manager, definition, exePath, installed);
    } else if (manager) {
        outcome = RemoveService(*manager, serviceName, exePath, installed);
    }
    const bool done = ServiceSetupExitCode(outcome) == 0;
    Tell(host,
         platform::LoadText(ServiceSetupTextId(outcome)) + "\n" +
             (outcome == ServiceSetup::OtherCopy ? installed : serviceName),
         done ? platform::MessageIcon::Information : platform::MessageIcon::Warning);
    return ServiceSetupExitCode(outcome);
}

void CCheckerApp::Tell(StartupHost& host, const std::string& text, platform::MessageIcon icon) {
    if (!quiet_) {
        host.ShowMessage(text, appName, icon);
    }
}

void CCheckerApp::Refuse(StartupHost& host, const std::string& text) {
    // A script that asked for the service must not read a refused start as done.
    exitCode_ = kExitRefused;
    Tell(host, text, platform::MessageIcon::Warning);
}

bool CCheckerApp::ServiceWatches(StartupHost& host, const std::string& serviceName) {
    const std::unique_ptr<platform::ServiceManager> manager = host.ServiceManager();
    std::string commandLine;
    return manager && manager->Query(serviceName, commandLine) == platform::ServiceCall::Done &&
           ServiceRunsProgram(commandLine, exePath);
}

int CCheckerApp::Exit(StartupHost& host) {
    if (reachedSettings_ && !ranService_) {
        host.SaveSettings(settings, iniPath);
    }
    if (periodBegun_) {
        host.EndTimerPeriod(timerResolution);
        periodBegun_ = false;
    }
    return exitCode_;
}

CCheckerApp& TheApp() {
    static CCheckerApp app;
    return app;
}

} // namespace glimmerfen
