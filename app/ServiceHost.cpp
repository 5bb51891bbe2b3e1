#include "app/ServiceHost.h"

#include <memory>

#include "monitor/AccessMonitor.h"
#include "monitor/EventReporter.h"
#include "monitor/MonitorThreads.h"
#include "monitor/log/AccessLog.h"
#include "platform/eventlog.h"
#include "platform/netnames.h"
#include "platform/profile.h"
#include "res/event_ids.h"
#include "settings/Settings.h"

namespace glimmerfen {
namespace {

// Each step of the stop (the monitor threads, the log, the event writer) takes at most about this long.
constexpr std::chrono::milliseconds kStopStepHint{2000};

void ApplyEventLog(const AppSettings& settings, EventReporter& events) {
    if (settings.EventLog.load() != 0) {
        events.Start();
    } else {
        events.Finish();
    }
}

} // namespace

int RunServiceHost(const ServiceHostContext& context, platform::ServiceControl& control) {
    AppSettings& settings = context.settings;
    // Outlive this call when a poll is left running at the stop: the process ends right after.
    auto log = std::make_unique<AccessLog>(context.logPath, context.appName, AccessLog::Limits{});
    auto events = std::make_unique<EventReporter>(platform::OpenEventSource(), context.computer);
    auto monitor = std::make_unique<AccessMonitor>(settings, context.server, log.get());
    monitor->SetEventReporter(events.get());
    ApplyEventLog(settings, *events);
    monitor->CreateTable();
    auto threads = std::make_unique<MonitorThreads>(settings, *monitor, context.timerResolution);
    if (settings.EventLog.load() != 0) {
        events->Post(platform::EventType::Information, kEventMonitoringStarted, {});
    }
    // The stamp is taken before the settings were read: a write that lands while they are read is seen.
    std::uint64_t stamp = platform::ProfileFileStamp(context.iniPath);
    threads->Start();
    control.ReportRunning();

    while (!control.WaitForStop(kSettingsCheckPeriod)) {
        const std::uint64_t now = platform::ProfileFileStamp(context.iniPath);
        if (now == stamp) {
            continue;
        }
        stamp = now;
        // The option sheet's Apply of another process: the same fields, stored one by one as its own
        // Apply stores them, so the running threads see each as it comes.
        const bool eventsWereOn = settings.EventLog.load() != 0;
        LoadSettings(settings, context.iniPath);
        if (!eventsWereOn && settings.EventLog.load() != 0) {
            // As the option sheet's Apply does when the box is ticked; the service has the rights.
            platform::RegisterEventSource(context.exePath);
        }
        threads->ApplyPriorities();
        ApplyEventLog(settings, *events);
    }

    control.ReportStopping(kStopStepHint);
    const bool wasRunning = threads->MonitorRunning() != 0;
    const bool ended = threads->Stop();
    control.ReportStopping(kStopStepHint);
    if (wasRunning && settings.EventLog.load() != 0) {
        events->Post(platform::EventType::Information, kEventMonitoringEnded, {});
    }
    // As at the program's close: what waits for a held log goes to the side file.
    log->KeepWaitingLines();
    control.ReportStopping(kStopStepHint);
    events->Finish();
    if (!ended) {
        (void)threads.release();
        (void)monitor.release();
        (void)log.release();
        (void)events.release();
        return 1;
    }
    return 0;
}

} // namespace glimmerfen
