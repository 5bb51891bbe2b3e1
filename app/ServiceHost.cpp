#include "app/ServiceHost.h"

#include <array>
#include <atomic>
#include <memory>

#include "monitor/EngineWatch.h"
#include "monitor/pipe/PipeServer.h"
#include "monitor/pipe/TrayConversation.h"
#include "platform/eventlog.h"
#include "platform/notify.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "settings/Settings.h"

namespace glimmerfen {
namespace {

// Each step of the stop (the trays, the monitor threads, the log, the event writer) takes at most about
// this long.
constexpr std::chrono::milliseconds kStopStepHint{2000};

// The pipe of the trays: refusals are told once per reason and run, in the Application log.
std::unique_ptr<pipe::PipeServer> StartPipe(const ServiceHostContext& context, EngineWatch& watch,
                                            std::atomic<bool>& settingsChanged) {
    if (!context.listen) {
        return nullptr;
    }
    std::uint32_t error = 0;
    std::unique_ptr<platform::PipeListener> listener = context.listen(error);
    if (!listener) {
        platform::ShowMessage(platform::LoadText(IDS_PIPE_FAILED) + std::to_string(error) + ")", context.appName,
                              platform::MessageIcon::Warning);
        return nullptr;
    }
    auto told = std::make_shared<std::array<std::atomic<bool>, 8>>();
    auto server = std::make_unique<pipe::PipeServer>(
        std::move(listener),
        [&watch, &settingsChanged, computer = context.computer] {
            return std::make_unique<pipe::TrayConversation>(watch, computer,
                                                            [&settingsChanged] { settingsChanged = true; });
        },
        [told, caption = context.appName](pipe::Refusal reason) {
            const auto index = static_cast<std::size_t>(reason) % told->size();
            if (!(*told)[index].exchange(true)) {
                platform::ShowMessage(platform::LoadText(IDS_PIPE_REFUSED) + pipe::RefusalName(reason), caption,
                                      platform::MessageIcon::Warning);
            }
        });
    server->Start();
    return server;
}

} // namespace

int RunServiceHost(const ServiceHostContext& context, platform::ServiceControl& control) {
    AppSettings& settings = context.settings;
    // The stamp is taken before the settings were read: a write that lands while they are read is seen.
    std::uint64_t stamp = platform::ProfileFileStamp(context.iniPath);
    // Outlive this call when a tray's command is left running at the stop: the process ends right after.
    auto watch = std::make_unique<EngineWatch>(EngineWatchContext{
        settings, context.server, context.logPath, context.appName, context.timerResolution, context.computer});
    watch->Start({});
    auto settingsChanged = std::make_unique<std::atomic<bool>>(false);
    std::unique_ptr<pipe::PipeServer> pipe = StartPipe(context, *watch, *settingsChanged);
    control.ReportRunning();

    while (!control.WaitForStop(kSettingsCheckPeriod)) {
        const std::uint64_t now = platform::ProfileFileStamp(context.iniPath);
        if (now == stamp && !settingsChanged->exchange(false)) {
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
        watch->SettingsApplied();
    }

    control.ReportStopping(kStopStepHint);
    // The trays first: a command they asked for may be waiting for the server, like a poll.
    const bool pipeEnded = !pipe || pipe->Stop(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
    control.ReportStopping(kStopStepHint);
    // What waits for a held log goes to the side file, the events still queued are written.
    const bool watchEnded = watch->Stop([&control] { control.ReportStopping(kStopStepHint); });
    if (!pipeEnded) {
        // A tray's conversation still uses the watch and the flag.
        (void)pipe.release();
        (void)settingsChanged.release();
        (void)watch.release();
    }
    return pipeEnded && watchEnded ? 0 : 1;
}

} // namespace glimmerfen
