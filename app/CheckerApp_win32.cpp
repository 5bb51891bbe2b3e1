// The Win32 side of start-up: the system's version, the executable's path, the single-instance mutex,
// the usage box, the event source's registration and the modal run of the main window.
#include "app/CheckerApp_win32.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "app/ServiceHost.h"
#include "monitor/EngineWatch.h"
#include "monitor/EventReporter.h"
#include "monitor/pipe/ServiceWatch.h"
#include "platform/eventlog.h"
#include "platform/netnames.h"
#include "platform/pipe.h"
#include "platform/service.h"
#include "res/event_ids.h"
#include "platform/netserver.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "settings/Paths.h"
#include "ui/tray/TrayDlg.h"

namespace glimmerfen {
namespace {

// How long the service's window waits for a free instance of the service's pipe.
constexpr auto kPipeConnectWait = std::chrono::milliseconds(2000);

} // namespace

std::optional<unsigned long> Win32StartupHost::SystemPlatform() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info; // 148 bytes
    if (!GetVersionExA(&info)) {
        return std::nullopt;
    }
    return info.dwPlatformId;
}

std::string Win32StartupHost::ModulePath() {
    // The whole path, however long: a path cut at the buffer's end would name another folder. A path
    // too long for the program's files is refused by start-up with a message.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
}

std::string Win32StartupHost::CommandLineText() {
    const char* line = GetCommandLineA();
    return line != nullptr ? line : "";
}

StartupHost::MutexResult Win32StartupHost::CreateInstanceMutex(const std::string& name) {
    // Held until the program's run has ended: a second start is refused for as long as it runs.
    win32::UniqueMutex mutex(CreateMutexA(nullptr, TRUE, name.c_str()));
    const DWORD error = GetLastError();
    if (!mutex) {
        // Made by a copy in another user's logon session, whose default security lets no one else open
        // it: that copy runs all the same.
        return error == ERROR_ACCESS_DENIED ? MutexResult::AlreadyExists : MutexResult::Failed;
    }
    instanceMutexes_.push_back(std::move(mutex));
    return error == ERROR_ALREADY_EXISTS ? MutexResult::AlreadyExists : MutexResult::Created;
}

void Win32StartupHost::RunMainWindow(CCheckerApp& app) {
    const std::unique_ptr<Watch> watch = MakeWatch(app);
    {
        ui::CTrayDlg mainWindow(MainWindowContext(app, *this, *watch));
        mainWindow.RunModal(nullptr);
    }
    // The watch was stopped by the close (or at the latest when the window was destroyed).
    engineAbandoned_ = watch->Abandoned();
}

void Win32StartupHost::ShowUsage(const std::string& badWords, const std::string& caption) {
    if (badWords.empty()) {
        ShowMessage(platform::LoadText(IDS_USAGE), caption, platform::MessageIcon::Information);
        return;
    }
    ShowMessage(platform::LoadText(IDS_USAGE_NOT_UNDERSTOOD) + " " + badWords + "\n\n" + platform::LoadText(IDS_USAGE),
                caption, platform::MessageIcon::Warning);
}

void Win32StartupHost::UnregisterEventSource(const std::string& exePath, const std::string& caption) {
    // One key serves every copy: another copy's stays, so that its events keep their texts.
    const std::optional<platform::SourceKey> key = platform::ReadSourceKey();
    if (platform::DecideUnregistration(key, exePath) == platform::UnregisterDecision::LeaveOther) {
        ShowMessage(platform::LoadText(IDS_UNREGISTER_OTHER_COPY) + "\n" + key->messageFile, caption,
                    platform::MessageIcon::Information);
        return;
    }
    switch (platform::DeleteSourceKey()) {
    case platform::Registration::Done:
        ShowMessage(platform::LoadText(IDS_UNREGISTER_DONE), caption, platform::MessageIcon::Information);
        break;
    case platform::Registration::NoRights:
        ShowMessage(platform::LoadText(IDS_UNREGISTER_NO_RIGHTS), caption, platform::MessageIcon::Warning);
        break;
    case platform::Registration::Failed:
        ShowMessage(platform::LoadText(IDS_UNREGISTER_FAILED), caption, platform::MessageIcon::Warning);
        break;
    }
}

void Win32StartupHost::RegisterEventSource(const std::string& exePath, bool tellPathRefused,
                                           const std::string& caption) {
    // Only an elevated start may write the key; any other start leaves it as it is, and the events
    // still reach the log (the event viewer then shows them without their texts).
    if (platform::RegisterEventSource(exePath) == platform::RegisterOutcome::PathHasList && tellPathRefused) {
        ShowMessage(platform::LoadText(IDS_EVENT_SOURCE_PATH_LIST), caption, platform::MessageIcon::Warning);
    }
}

std::unique_ptr<platform::ServiceManager> Win32StartupHost::ServiceManager() {
    return platform::OpenServiceManager();
}

void Win32StartupHost::BeginServiceMode(const std::string&) {
    // A service has no desktop anyone looks at: a box would wait there for ever. What the program and
    // its engine would show goes to the Application log instead, as one event with the text.
    struct Messages {
        std::mutex mutex; // one report at a time
        std::unique_ptr<platform::EventSink> sink = platform::OpenEventSource();
    };
    auto messages = std::make_shared<Messages>();
    platform::SetMessageSink([messages](const std::string& text, const std::string&, platform::MessageIcon icon) {
        std::lock_guard<std::mutex> lock(messages->mutex);
        if (!messages->sink) {
            return;
        }
        std::vector<std::string> strings(kEventStringCount);
        strings[6] = text;
        const platform::EventType type = icon == platform::MessageIcon::Error     ? platform::EventType::Error
                                         : icon == platform::MessageIcon::Warning ? platform::EventType::Warning
                                                                                  : platform::EventType::Information;
        messages->sink->Report(type, kEventProgramMessage, strings);
    });
}

void Win32StartupHost::RunService(CCheckerApp& app, const std::string& serviceName) {
    const ServiceHostContext context{
        app.settings,
        app.iniPath,
        app.exePath,
        platform::ServerFor(app.watchedComputer),
        LogPathIn(app.exeDir),
        app.appName,
        app.timerResolution,
        app.watchedComputer,
        [&serviceName](std::uint32_t& error) { return platform::ListenOnPipe(serviceName, error); }};
    int code = 0;
    const bool dispatched = platform::RunAsService(serviceName, [&](platform::ServiceControl& control) {
        code = RunServiceHost(context, control);
        return code;
    });
    if (!dispatched) {
        // Started by hand, from a desktop: this one is told in a box.
        platform::SetMessageSink({});
        ShowMessage(platform::LoadText(IDS_SERVICE_NOT_DISPATCHED), app.appName, platform::MessageIcon::Warning);
    }
    engineAbandoned_ = code != 0;
}

std::unique_ptr<Watch> MakeWatch(CCheckerApp& app) {
    if (!app.servicePipe.empty()) {
        // The service's window: the table comes through the pipe, and no log or events are written here.
        auto connect = [name = app.servicePipe](platform::PipeConnect& outcome) {
            return platform::ConnectToPipe(name, kPipeConnectWait, outcome);
        };
        return std::make_unique<pipe::ServiceWatch>(app.settings, std::move(connect), app.appName);
    }
    return std::make_unique<EngineWatch>(EngineWatchContext{app.settings, platform::ServerFor(app.watchedComputer),
                                                            LogPathIn(app.exeDir), app.appName, app.timerResolution,
                                                            app.watchedComputer});
}

ui::TrayContext MainWindowContext(CCheckerApp& app, StartupHost& host, Watch& watch) {
    const ProgramPaths paths{app.exePath, app.exeDir, app.iniPath, app.appName};
    ui::ListViewContext list{app.settings, app.iniPath, watch, app.appName, app.watchedComputer};
    ui::TrayContext context{app.settings, paths, app.timerResolution, std::move(list),
                            [&app, &host] { host.SaveSettings(app.settings, app.iniPath); }};
    if (!app.unknownSwitches.empty()) {
        context.afterStart = [&app, &host] { host.ShowUsage(app.unknownSwitches, app.appName); };
    }
    return context;
}

} // namespace glimmerfen
