#include "app/ServiceSetup.h"

#include "platform/ansitext.h"
#include "res/resource.h"

namespace glimmerfen {

std::string ServiceCommandLine(const std::string& exePath, const std::string& watchedComputer) {
    std::string line = "\"" + exePath + "\" /service";
    if (!watchedComputer.empty()) {
        line += " /server:" + watchedComputer;
    }
    return line;
}

bool ServiceRunsProgram(const std::string& commandLine, const std::string& exePath) {
    std::string_view line = commandLine;
    if (!line.empty() && line.front() == '"') {
        line.remove_prefix(1);
        line = line.substr(0, line.find('"'));
    } else {
        line = line.substr(0, line.find(' '));
    }
    return AnsiEqualNoCase(line, exePath);
}

ServiceSetup InstallService(platform::ServiceManager& manager, const platform::ServiceDefinition& definition,
                            const std::string& exePath, std::string& installedCommandLine) {
    using platform::ServiceCall;
    switch (manager.Query(definition.name, installedCommandLine)) {
    case ServiceCall::Done:
        return ServiceRunsProgram(installedCommandLine, exePath) ? ServiceSetup::AlreadyInstalled
                                                                 : ServiceSetup::OtherCopy;
    case ServiceCall::Missing:
        break;
    case ServiceCall::NoRights:
        return ServiceSetup::NoRights;
    default:
        return ServiceSetup::Failed;
    }
    switch (manager.Create(definition)) {
    case ServiceCall::Done:
        return ServiceSetup::Installed;
    case ServiceCall::Exists: // made meanwhile by someone else
        installedCommandLine.clear();
        return ServiceSetup::AlreadyInstalled;
    case ServiceCall::NoRights:
        return ServiceSetup::NoRights;
    default:
        return ServiceSetup::Failed;
    }
}

ServiceSetup RemoveService(platform::ServiceManager& manager, const std::string& name, const std::string& exePath,
                           std::string& installedCommandLine) {
    using platform::ServiceCall;
    switch (manager.Query(name, installedCommandLine)) {
    case ServiceCall::Done:
        if (!ServiceRunsProgram(installedCommandLine, exePath)) {
            return ServiceSetup::OtherCopy;
        }
        break;
    case ServiceCall::Missing:
        return ServiceSetup::NotInstalled;
    case ServiceCall::NoRights:
        return ServiceSetup::NoRights;
    default:
        return ServiceSetup::Failed;
    }
    const ServiceCall stop = manager.Stop(name, kServiceStopWait);
    if (stop == ServiceCall::NoRights) {
        return ServiceSetup::NoRights;
    }
    // A service that did not stop in time is still deleted: the manager removes it once it has ended.
    switch (manager.Delete(name)) {
    case ServiceCall::Done:
        return stop == ServiceCall::Done || stop == ServiceCall::Missing ? ServiceSetup::Removed
                                                                         : ServiceSetup::RemovalPending;
    case ServiceCall::Missing:
        return ServiceSetup::NotInstalled;
    case ServiceCall::NoRights:
        return ServiceSetup::NoRights;
    default:
        return ServiceSetup::Failed;
    }
}

int ServiceSetupExitCode(ServiceSetup outcome) {
    switch (outcome) {
    case ServiceSetup::Installed:
    case ServiceSetup::Removed:
    case ServiceSetup::RemovalPending:
        return 0;
    case ServiceSetup::AlreadyInstalled:
    case ServiceSetup::NotInstalled:
        return 2;
    case ServiceSetup::OtherCopy:
        return 3;
    case ServiceSetup::NoRights:
        return 5;
    case ServiceSetup::Failed:
        break;
    }
    return 1;
}

unsigned ServiceSetupTextId(ServiceSetup outcome) {
    switch (outcome) {
    case ServiceSetup::Installed:
        return IDS_SERVICE_INSTALLED;
    case ServiceSetup::AlreadyInstalled:
        return IDS_SERVICE_ALREADY_INSTALLED;
    case ServiceSetup::OtherCopy:
        return IDS_SERVICE_OTHER_COPY;
    case ServiceSetup::Removed:
        return IDS_SERVICE_REMOVED;
    case ServiceSetup::RemovalPending:
        return IDS_SERVICE_REMOVAL_PENDING;
    case ServiceSetup::NotInstalled:
        return IDS_SERVICE_NOT_INSTALLED;
    case ServiceSetup::NoRights:
        return IDS_SERVICE_NO_RIGHTS;
    case ServiceSetup::Failed:
        break;
    }
    return IDS_SERVICE_FAILED;
}

} // namespace glimmerfen
