// /install-service and /uninstall-service: what to ask of the service manager, in which order, and
// what to tell the user and the calling script.
#pragma once

#include <chrono>
#include <string>

#include "platform/service.h"

namespace glimmerfen {

enum class ServiceSetup {
    Installed,
    AlreadyInstalled, // this copy's service is there already
    OtherCopy,        // the name is taken by the service of another program folder: left as it is
    Removed,
    RemovalPending, // marked for deletion, but it did not stop in time: it goes once it has stopped
    NotInstalled,
    NoRights,
    Failed,
};

// How long removal waits for the service to stop.
inline constexpr std::chrono::milliseconds kServiceStopWait{10000};

// The command line the service manager starts: the quoted program, /service, and /server:NAME when
// another computer is watched.
std::string ServiceCommandLine(const std::string& exePath, const std::string& watchedComputer);
// Whether a service's command line starts this program (its path, letter case aside).
bool ServiceRunsProgram(const std::string& commandLine, const std::string& exePath);

ServiceSetup InstallService(platform::ServiceManager& manager, const platform::ServiceDefinition& definition,
                            const std::string& exePath, std::string& installedCommandLine);
ServiceSetup RemoveService(platform::ServiceManager& manager, const std::string& name, const std::string& exePath,
                           std::string& installedCommandLine);

// The process's exit code for scripts: 0 done, 1 failed, 2 already installed or not installed, 3 the
// service of another copy, 5 no administrator rights.
int ServiceSetupExitCode(ServiceSetup outcome);
// The string table's text telling the outcome.
unsigned ServiceSetupTextId(ServiceSetup outcome);

} // namespace glimmerfen
