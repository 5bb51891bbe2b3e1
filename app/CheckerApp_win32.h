// The operating-system services of start-up and exit on Win32.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CheckerApp.h"
#include "monitor/Watch.h"
#include "platform/win32/handles.h"
#include "ui/tray/TrayDlg.h"

// <windows.h> defines RegisterEventSource as a macro for its A and W functions; here the name is ours.
#ifdef RegisterEventSource
#undef RegisterEventSource
#endif

namespace glimmerfen {

class Win32StartupHost : public StartupHost {
public:
    std::optional<unsigned long> SystemPlatform() override;
    std::string ModulePath() override;
    std::string CommandLineText() override;
    MutexResult CreateInstanceMutex(const std::string& name) override;
    void RunMainWindow(CCheckerApp& app) override;
    void ShowUsage(const std::string& badWords, const std::string& caption) override;
    void UnregisterEventSource(const std::string& exePath, const std::string& caption) override;
    void RegisterEventSource(const std::string& exePath, bool tellPathRefused, const std::string& caption) override;
    std::unique_ptr<platform::ServiceManager> ServiceManager() override;
    void BeginServiceMode(const std::string& caption) override;
    void RunService(CCheckerApp& app, const std::string& serviceName) override;

    // Whether the run ended with a call left running on a thread of the watch.
    bool EngineAbandoned() const noexcept { return engineAbandoned_; }

private:
    std::vector<win32::UniqueMutex> instanceMutexes_; // the single-instance mutexes, held while the program runs
    bool engineAbandoned_ = false;
};

// The watch of this start, its kind chosen once: the service's window over its pipe when the service of
// this folder watches, otherwise the engine in this process, polling the watched server and writing
// "log.txt" beside the executable.
std::unique_ptr<Watch> MakeWatch(CCheckerApp& app);

// The windows' view of the running program: the application's settings and paths, the watch, the host's
// saving of the settings when the session ends, and the usage box naming the switches not understood,
// once the watch has started.
ui::TrayContext MainWindowContext(CCheckerApp& app, StartupHost& host, Watch& watch);

} // namespace glimmerfen
