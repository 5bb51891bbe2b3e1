// The application object: the settings, where the program's files lie, the timer resolution, and the
// start and exit routines that set them up and put them away again.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "settings/Paths.h"
#include "settings/Settings.h"
#include "platform/notify.h"
#include "platform/service.h"

// <windows.h> defines RegisterEventSource as a macro for its A and W functions; here the name is ours.
#ifdef RegisterEventSource
#undef RegisterEventSource
#endif

namespace glimmerfen {

class CCheckerApp;

// The operating-system services that start-up and exit use, one call per step, so that the order of
// the steps and their early exits can be exercised without the operating system. The engine's steps
// (settings, log trimming, timer resolution, messages) have working defaults on the platform layer;
// the Win32 program supplies the rest.
class StartupHost {
public:
    enum class MutexResult {
        Created,       // this process is the first
        AlreadyExists, // another process holds the name: a second start
        Failed,        // no mutex; start-up goes on all the same
    };

    virtual ~StartupHost() = default;

    // The system's platform id (dwPlatformId of GetVersionExA), nothing when it cannot be asked.
    virtual std::optional<unsigned long> SystemPlatform() = 0;
    // The executable's full path.
    virtual std::string ModulePath() = 0;
    // Creates a single-instance mutex, initially owned and held until the process ends. A mutex that
    // exists but may not be opened (made by another user's logon session) counts as AlreadyExists.
    virtual MutexResult CreateInstanceMutex(const std::string& name) = 0;
    // The names this computer answers to besides "localhost" and its loopback addresses.
    virtual std::vector<std::string> ComputerNames();
    // Runs the main window modally; returns when it has ended.
    virtual void RunMainWindow(CCheckerApp& app) = 0;
    // The process's whole command line, the program's name included (nothing by default).
    virtual std::string CommandLineText() { return {}; }
    // Shows how the program is started; badWords are the switches that were not understood (empty
    // for /?), named above it.
    virtual void ShowUsage(const std::string& badWords, const std::string& caption);
    // /unregister: removes the event source's registration when it names this executable (or
    // nothing), telling the user the outcome; another copy's registration is left and named.
    virtual void UnregisterEventSource(const std::string& exePath, const std::string& caption);
    // A start with events on: registers the event source for this executable when the key is missing
    // or names a file that is gone. Without rights nothing happens and nothing is told; a path the key
    // cannot hold is told only when tellPathRefused is set.
    virtual void RegisterEventSource(const std::string& exePath, bool tellPathRefused, const std::string& caption);

    // The service manager for /install-service, /uninstall-service and the tray's look for the service
    // of its folder; null where there is none.
    virtual std::unique_ptr<platform::ServiceManager> ServiceManager() { return nullptr; }
    // A start by the service manager (/service): from here on no box is shown, what would have been
    // one goes to the event log.
    virtual void BeginServiceMode(const std::string& caption);
    // Runs the watch as the service of that name, without windows; returns when it has stopped.
    virtual void RunService(CCheckerApp& app, const std::string& serviceName);

    virtual void ShowMessage(const std::string& text, const std::string& caption, platform::MessageIcon icon);
    virtual void LoadSettings(AppSettings& settings, const std::string& iniPath);
    virtual void TrimLog(const std::string& exeDir, int logSetDays);
    virtual std::optional<unsigned> TimerResolution();
    virtual bool BeginTimerPeriod(unsigned periodMs);
    virtual void EndTimerPeriod(unsigned periodMs);
    virtual void SaveSettings(const AppSettings& settings, const std::string& iniPath);
};

// Values of platformId.
inline constexpr int kPlatformWin32s = 0;
inline constexpr int kPlatformWindows95 = 1;
inline constexpr int kPlatformNt = 2;
inline constexpr int kPlatformOther = -1;

// The exit code of a start refused before it could do anything (wrong system, no memory, a folder too
// long, a malformed computer name), as the service switches' "failed".
inline constexpr int kExitRefused = 1;

// The messages of start-up that are not in the string table.
inline constexpr const char* kWrongPlatformMessage = "This software does not operate in usage's OS. m(_ _)m";
inline constexpr const char* kNoMemoryMessage = "It is a memory insufficient error.";

// The platform id as start-up keeps it: 0, 1 and 2 as the system gives them, -1 for anything else
// (an unknown platform, or a system that could not be asked).
int PlatformIdFrom(std::optional<unsigned long> systemPlatform);

class CCheckerApp {
public:
    CCheckerApp() = default;
    CCheckerApp(const CCheckerApp&) = delete;
    CCheckerApp& operator=(const CCheckerApp&) = delete;

    // The start routine: platform check, command line, paths, settings, single instance (per program
    // folder and per watched computer), event source, log trimming, timer resolution, then the modal run
    // of the main window. Switches the command line does not know stop nothing: they are kept in
    // unknownSwitches for the main window to name once the watch runs. Every path ends start-up, so the
    // result is always false (no message loop is wanted after it).
    bool Start(StartupHost& host);
    // The exit routine: writes the settings back if start-up got as far as loading them (and the process
    // was no service), and ends the timer period if one was begun. Returns the process exit code: that of
    // /install-service and /uninstall-service (ServiceSetupExitCode), kExitRefused for a start refused
    // with a warning, otherwise 0.
    int Exit(StartupHost& host);

    // Whether the process ran as the service (so that the exit routine leaves the INI file as it is:
    // the service reads it, the option sheet of a tray writes it).
    bool RanService() const { return ranService_; }

    AppSettings settings;
    int platformId = kPlatformOther;
    std::string appName; // executable's file name without extension
    std::string exePath; // full path of the executable
    // The service's pipe when the service of this folder watches and this tray is its window; empty
    // when the program runs its own watch.
    std::string servicePipe;
    std::string exeDir;  // drive and directory of the executable, ending with a separator
    std::string iniPath; // exeDir + "Glimmerfen.ini"
    // The computer whose shared folders are watched (/server: before the INI's Computer key), without
    // leading backslashes; empty: this computer, also when it was named (".", "localhost", its own name).
    std::string watchedComputer;
    // The command line's switches that were not understood, separated by blanks; empty when there were
    // none. Told to the user once the watch has started.
    std::string unknownSwitches;
    // The timer device's smallest period: the resolution of every one-shot timer of the program.
    unsigned timerResolution = 1;

private:
    // /install-service or /uninstall-service: the outcome told in a box; returns the exit code.
    int SetUpService(StartupHost& host, bool install, const std::string& serviceName);
    // Whether this copy's service is installed for the watched computer.
    bool ServiceWatches(StartupHost& host, const std::string& serviceName);
    // A box captioned with the program's name, unless /quiet asked for none.
    void Tell(StartupHost& host, const std::string& text, platform::MessageIcon icon);
    // A start that cannot go on: told as a warning, and the process ends with kExitRefused.
    void Refuse(StartupHost& host, const std::string& text);

    bool reachedSettings_ = false; // so that the exit routine saves the settings
    bool periodBegun_ = false;
    bool ranService_ = false;
    bool quiet_ = false;
    int exitCode_ = 0;
};

// The one application object of the process.
CCheckerApp& TheApp();

} // namespace glimmerfen
