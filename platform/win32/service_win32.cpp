// The service manager on Win32: creating, stopping and deleting the program's service, and the
// dispatcher, control handler and status reports of a process started as that service.
#include "platform/service.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/fault.h"
#include "platform/win32/checks.h"
#include "platform/win32/handles.h"

namespace glimmerfen::platform {
namespace {

std::wstring Wide(const std::string& text) {
    const std::u16string wide = AnsiToWide(text);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(const wchar_t* text) {
    const std::wstring_view view(text != nullptr ? text : L"");
    return WideToAnsi(std::u16string(view.begin(), view.end()));
}

ServiceCall FromError(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return ServiceCall::NoRights;
    case ERROR_SERVICE_DOES_NOT_EXIST:
        return ServiceCall::Missing;
    case ERROR_SERVICE_EXISTS:
    case ERROR_DUPLICATE_SERVICE_NAME:
        return ServiceCall::Exists;
    default:
        return ServiceCall::Failed;
    }
}

// After a failure the manager starts the service again: at once twice, then after a minute; a day
// without a failure starts the count anew.
void SetRecovery(SC_HANDLE service) {
    SC_ACTION actions[3] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 24 * 60 * 60;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    if (!GF_CHECK_BOOL(::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))) {
        return;
    }
    // Also when the process ends with a failure code of its own, not only when it crashes.
    SERVICE_FAILURE_ACTIONS_FLAG flag{};
    flag.fFailureActionsOnNonCrashFailures = TRUE;
    GF_CHECK_BOOL(::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag));
}

class Win32ServiceManager : public ServiceManager {
public:
    ServiceCall Query(const std::string& name, std::string& commandLine) override {
        win32::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager) {
            return FromError(::GetLastError());
        }
        win32::UniqueServiceHandle service(::OpenServiceW(manager.get(), Wide(name).c_str(), SERVICE_QUERY_CONFIG));
        if (!service) {
            return FromError(::GetLastError());
        }
        DWORD needed = 0;
        ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
        std::vector<unsigned char> buffer(needed + sizeof(QUERY_SERVICE_CONFIGW));
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (!::QueryServiceConfigW(service.get(), config, static_cast<DWORD>(buffer.size()), &needed)) {
            return FromError(::GetLastError());
        }
        commandLine = Narrow(config->lpBinaryPathName);
        return ServiceCall::Done;
    }

    ServiceCall Create(const ServiceDefinition& d) override {
        win32::UniqueServiceHandle manager(
            ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
        if (!manager) {
            return FromError(::GetLastError());
        }
        // No account: LocalSystem.
        win32::UniqueServiceHandle service(
            ::CreateServiceW(manager.get(), Wide(d.name).c_str(), Wide(d.displayName).c_str(), SERVICE_ALL_ACCESS,
                             SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                             Wide(d.commandLine).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service) {
            return FromError(::GetLastError());
        }
        // The service runs without its description or its restarts too: both failures are recorded
        // (win32/checks.h), and the service that was made is kept.
        std::wstring description = Wide(d.description);
        SERVICE_DESCRIPTIONW text{description.data()};
        GF_CHECK_BOOL(::ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &text));
        SetRecovery(service.get());
        return ServiceCall::Done;
    }

    ServiceCall Stop(const std::string& name, std::chrono::milliseconds wait) override {
        win32::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager) {
            return FromError(::GetLastError());
        }
        win32::UniqueServiceHandle service(
            ::OpenServiceW(manager.get(), Wide(name).c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
        if (!service) {
            return FromError(::GetLastError());
        }
        SERVICE_STATUS status{};
        if (!::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_SERVICE_NOT_ACTIVE) {
                return ServiceCall::Done;
            }
            if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL) { // a stop already under way is waited for
                return FromError(error);
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (!::QueryServiceStatus(service.get(), &status)) {
                return FromError(::GetLastError());
            }
            if (status.dwCurrentState == SERVICE_STOPPED) {
                return ServiceCall::Done;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return ServiceCall::Failed;
            }
            ::Sleep(100);
        }
    }

    ServiceCall Delete(const std::string& name) override {
        win32::UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        if (!manager) {
            return FromError(::GetLastError());
        }
        win32::UniqueServiceHandle service(::OpenServiceW(manager.get(), Wide(name).c_str(), DELETE));
        if (!service) {
            return FromError(::GetLastError());
        }
        if (!::DeleteService(service.get())) {
            const DWORD error = ::GetLastError();
            return error == ERROR_SERVICE_MARKED_FOR_DELETE ? ServiceCall::Done : FromError(error);
        }
        return ServiceCall::Done;
    }
};

// The one service this process runs: the dispatcher calls ServiceMain without a context.
struct RunningService final : ServiceControl {
    std::wstring name;
    const std::function<int(ServiceControl&)>* body = nullptr;
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    SERVICE_STATUS status{};
    std::mutex mutex; // guards status and stopRequested
    std::condition_variable stopped;
    bool stopRequested = false;

    void Report(DWORD state, DWORD exitCode, DWORD waitHintMs) {
        std::lock_guard<std::mutex> lock(mutex);
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN : 0;
        status.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
        status.dwServiceSpecificExitCode = exitCode;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
        status.dwWaitHint = pending ? waitHintMs : 0;
        GF_CHECK_BOOL(::SetServiceStatus(statusHandle, &status));
    }

    void ReportRunning() override { Report(SERVICE_RUNNING, 0, 0); }

    bool WaitForStop(std::chrono::milliseconds wait) override {
        std::unique_lock<std::mutex> lock(mutex);
        return stopped.wait_for(lock, wait, [this] { return stopRequested; });
    }

    void ReportStopping(std::chrono::milliseconds waitHint) override {
        Report(SERVICE_STOP_PENDING, 0, static_cast<DWORD>(waitHint.count()));
    }
};

RunningService* g_service = nullptr;

DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_PRESHUTDOWN:
        g_service->Report(SERVICE_STOP_PENDING, 0, 2000);
        {
            std::lock_guard<std::mutex> lock(g_service->mutex);
            g_service->stopRequested = true;
        }
        g_service->stopped.notify_all();
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    RunningService& service = *g_service;
    service.statusHandle = ::RegisterServiceCtrlHandlerExW(service.name.c_str(), ControlHandler, nullptr);
    if (service.statusHandle == nullptr) {
        return;
    }
    service.Report(SERVICE_START_PENDING, 0, 5000);
    // A fault on any thread of the service, this one included, is the program's contained fault: told
    // to the Application log (the message sink of service mode), then to the service manager as a stop
    // with the fault's exit code, which makes the manager start the service again; then the process ends.
    const FaultExit before =
        SetFaultExit([&service] { service.Report(SERVICE_STOPPED, static_cast<DWORD>(kFaultExitCode), 0); });
    int code = kFaultExitCode;
    ContainFault("the service", [&] { code = (*service.body)(service); });
    SetFaultExit(before);
    service.Report(SERVICE_STOPPED, static_cast<DWORD>(code), 0);
}

} // namespace

std::unique_ptr<ServiceManager> OpenServiceManager() {
    return std::make_unique<Win32ServiceManager>();
}

bool RunAsService(const std::string& name, const std::function<int(ServiceControl&)>& body) {
    static RunningService service;
    service.name = Wide(name);
    service.body = &body;
    g_service = &service;
    SERVICE_TABLE_ENTRYW table[] = {{service.name.data(), ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) != FALSE;
}

} // namespace glimmerfen::platform
