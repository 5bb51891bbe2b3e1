// The service manager: installing, stopping and removing the program's service, and the run of a
// process that the service manager started. Declared here so that the decisions around the calls can
// be exercised without the operating system; only the Win32 layer talks to the real manager.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace glimmerfen::platform {

// The outcome of one call to the service manager.
enum class ServiceCall {
    Done,
    Missing,  // no service of that name
    Exists,   // a service of that name is there already
    NoRights, // access denied: the caller is not an administrator
    Failed,   // any other refusal, or a stop that did not end in time
};

// What a new service is made of. Texts in the ANSI code page.
struct ServiceDefinition {
    std::string name;        // the service's key name, without blanks
    std::string displayName; // what the Services console lists
    std::string description;
    std::string commandLine; // the quoted program path and its switches
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // Whether the service exists; when it does, its command line (binary path) into commandLine.
    virtual ServiceCall Query(const std::string& name, std::string& commandLine) = 0;
    // Creates the service: started automatically, as LocalSystem, restarted after a failure.
    virtual ServiceCall Create(const ServiceDefinition& definition) = 0;
    // Asks the service to stop and waits until it has, at most for the given time. A service that
    // does not run counts as stopped.
    virtual ServiceCall Stop(const std::string& name, std::chrono::milliseconds wait) = 0;
    virtual ServiceCall Delete(const std::string& name) = 0;
};

// The system's service manager (Win32 builds only).
std::unique_ptr<ServiceManager> OpenServiceManager();

// What the body of a running service uses to talk to the service manager.
class ServiceControl {
public:
    virtual ~ServiceControl() = default;
    // Start-up is done: the manager shows the service as running and sends it Stop and pre-shutdown.
    virtual void ReportRunning() = 0;
    // Waits for Stop or pre-shutdown at most for the given time; true once one has come.
    virtual bool WaitForStop(std::chrono::milliseconds wait) = 0;
    // One more step of the stop done; the next is expected within waitHint.
    virtual void ReportStopping(std::chrono::milliseconds waitHint) = 0;
};

// Connects the process to the service manager as the service of that name and runs body on the
// service's thread; returns once the body has returned and the manager was told the service stopped
// (with the body's result as its exit code, 0 for success). False when the process was not started
// by the service manager.
bool RunAsService(const std::string& name, const std::function<int(ServiceControl&)>& body);

} // namespace glimmerfen::platform
