#include "app/ServiceHost.h"

#include <array>
#include <atomic>
#include <memory>
#include <variant>

#include "monitor/AccessMonitor.h"
#include "monitor/ByHand.h"
#include "monitor/EventReporter.h"
#include "monitor/MonitorThreads.h"
#include "monitor/log/AccessLog.h"
#include "monitor/pipe/PipeServer.h"
#include "monitor/pipe/TableDelta.h"
#include "platform/eventlog.h"
#include "platform/netnames.h"
#include "platform/notify.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "res/event_ids.h"
#include "res/resource.h"
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

// The answer to a command about a row this table no longer lists.
constexpr std::uint32_t kNotListed = 2;

// What the service answers one tray: the table as changes since what it sent this tray last, and the
// row commands, carried out here (one poller of the server, one writer of the log).
class TrayConversation final : public pipe::PipeConversation {
public:
    TrayConversation(const ServiceHostContext& context, AccessMonitor& monitor, AccessLog& log, EventReporter& events,
                     std::atomic<bool>& settingsChanged)
        : context_(context), monitor_(monitor), log_(log), events_(events), settingsChanged_(settingsChanged) {}

    pipe::Reply Answer(const pipe::Request& request) override {
        return std::visit([this](const auto& r) { return AnswerOne(r); }, request);
    }

private:
    pipe::Reply AnswerOne(const pipe::Hello&) { return pipe::HelloAnswer{context_.computer}; }

    pipe::Reply AnswerOne(const pipe::GetChanges& request) {
        pipe::TableDelta delta = monitor_.Read([&](const AccessTable* table, std::int32_t entryCount, std::int32_t) {
            pipe::TableDelta d = source_.Changes(request.generation, table);
            d.state.hasTable = table != nullptr;
            d.state.entryCount = entryCount;
            return d;
        });
        delta.state.server = monitor_.LastServerState();
        delta.state.waitingLines = log_.WaitingLines();
        delta.state.cuts = monitor_.Cuts();
        return delta;
    }

    pipe::Reply AnswerOne(const pipe::Disconnect& request) {
        // Only what this table lists is ended: the names a tray sends pick a row, they are not a request
        // to end whatever they name.
        const std::string& client = request.entry.client;
        const std::string& user = request.entry.user;
        const bool listed = monitor_.Read([&](const AccessTable* table, std::int32_t, std::int32_t) {
            if (table == nullptr) {
                return false;
            }
            if (!client.empty()) {
                return table->FindByClientUser(client, user).has_value();
            }
            bool found = false;
            table->ForEach([&](const AccessEntry& entry) { found = found || entry.userName == user; });
            return found;
        });
        if (!listed) {
            return pipe::CommandResult{pipe::MessageType::Disconnect, kNotListed};
        }
        const std::string error = DisconnectByHand(Context(request.log), request.entry.client, request.entry.user);
        return pipe::CommandResult{pipe::MessageType::Disconnect, error.empty() ? 0u : 1u};
    }

    pipe::Reply AnswerOne(const pipe::CloseFile& request) {
        // The file's id is the one this table holds for the row's user and path now: what the tray
        // names is looked up, not taken on trust.
        const std::optional<std::uint32_t> fileId =
            monitor_.Read([&](const AccessTable* table, std::int32_t, std::int32_t) -> std::optional<std::uint32_t> {
                const std::optional<std::int32_t> key =
                    table != nullptr ? table->FindByUserPath(request.entry.user, request.entry.path) : std::nullopt;
                const AccessEntry* entry = key ? table->FindEntry(*key) : nullptr;
                return entry != nullptr ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(entry->fileId))
                                        : std::nullopt;
            });
        if (!fileId) {
            // Gone with the last poll: the file is closed already.
            return pipe::CommandResult{pipe::MessageType::CloseFile, kNotListed};
        }
        const std::string error =
            CloseFileByHand(Context(true), request.entry.client, request.entry.user, request.entry.path, *fileId);
        return pipe::CommandResult{pipe::MessageType::CloseFile, error.empty() ? 0u : 1u};
    }

    pipe::Reply AnswerOne(const pipe::SettingsChanged&) {
        settingsChanged_ = true;
        return pipe::CommandResult{pipe::MessageType::SettingsChanged, 0};
    }

    ByHandContext Context(bool log) {
        return {context_.server, context_.settings, log ? &log_ : nullptr, log ? &events_ : nullptr};
    }

    const ServiceHostContext& context_;
    AccessMonitor& monitor_;
    AccessLog& log_;
    EventReporter& events_;
    std::atomic<bool>& settingsChanged_;
    pipe::DeltaSource source_;
};

// The pipe of the trays: refusals are told once per reason and run, in the Application log.
std::unique_ptr<pipe::PipeServer> StartPipe(const ServiceHostContext& context, AccessMonitor& monitor, AccessLog& log,
                                            EventReporter& events, std::atomic<bool>& settingsChanged) {
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
        [&context, &monitor, &log, &events, &settingsChanged] {
            return std::make_unique<TrayConversation>(context, monitor, log, events, settingsChanged);
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
    auto settingsChanged = std::make_unique<std::atomic<bool>>(false);
    std::unique_ptr<pipe::PipeServer> pipe = StartPipe(context, *monitor, *log, *events, *settingsChanged);
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
        threads->ApplyPriorities();
        ApplyEventLog(settings, *events);
    }

    control.ReportStopping(kStopStepHint);
    // The trays first: a command they asked for may be waiting for the server, like a poll.
    const bool pipeEnded = !pipe || pipe->Stop(std::chrono::steady_clock::now() + std::chrono::milliseconds(500));
    const bool wasRunning = threads->MonitorRunning() != 0;
    const bool ended = threads->Stop() && pipeEnded;
    control.ReportStopping(kStopStepHint);
    if (wasRunning && settings.EventLog.load() != 0) {
        events->Post(platform::EventType::Information, kEventMonitoringEnded, {});
    }
    // As at the program's close: what waits for a held log goes to the side file.
    log->KeepWaitingLines();
    control.ReportStopping(kStopStepHint);
    events->Finish();
    if (!ended) {
        (void)pipe.release();
        (void)settingsChanged.release();
        (void)threads.release();
        (void)monitor.release();
        (void)log.release();
        (void)events.release();
        return 1;
    }
    return 0;
}

} // namespace glimmerfen
