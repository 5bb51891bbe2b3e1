#include "monitor/EngineWatch.h"

#include <utility>
#include <vector>

#include "monitor/AccessMonitor.h"
#include "monitor/EventReporter.h"
#include "monitor/MonitorThreads.h"
#include "monitor/Worker.h"
#include "monitor/log/AccessLog.h"
#include "platform/eventlog.h"
#include "platform/netnames.h"
#include "platform/notify.h"
#include "res/event_ids.h"
#include "settings/Settings.h"

namespace glimmerfen {
namespace {

// Events name the watched server, this computer by its own name.
std::string EventComputer(const std::string& watched) {
    return watched.empty() ? platform::ThisComputerName() : watched;
}

} // namespace

EngineWatch::EngineWatch(EngineWatchContext context) : context_(std::move(context)) {
    if (!context_.logPath.empty()) {
        log_ = std::make_unique<AccessLog>(context_.logPath, context_.appName, AccessLog::Limits{});
    }
    events_ = std::make_unique<EventReporter>(platform::OpenEventSource(), EventComputer(context_.computer));
    monitor_ = std::make_unique<AccessMonitor>(context_.settings, context_.server, log_.get());
    monitor_->SetEventReporter(events_.get());
    commands_ = std::make_unique<Worker>("a server task");
    // The poll and the commands hold on to the reporter; only its writer comes and goes.
    SettingsApplied();
}

EngineWatch::~EngineWatch() {
    Stop();
    if (!abandoned_) {
        return;
    }
    // A server call left running uses them whenever the server answers; the process is ending. The
    // event writer has ended: what such a call posts later stays unwritten.
    (void)threads_.release();
    (void)monitor_.release();
    (void)log_.release();
    (void)events_.release();
}

void EngineWatch::Start(WatchHooks hooks) {
    if (started_) {
        return;
    }
    started_ = true;
    if (log_ && hooks.logHeld) {
        log_->SetReporter(std::move(hooks.logHeld));
    }
    monitor_->CreateTable();
    threads_ = std::make_unique<MonitorThreads>(context_.settings, *monitor_, context_.timerResolution);
    if (hooks.refresh) {
        threads_->SetListRefresh(std::move(hooks.refresh));
    }
    // Ahead of the first poll's events in the writer's queue.
    ReportMonitoring(kEventMonitoringStarted);
    threads_->Start();
}

bool EngineWatch::Stop() {
    return Stop({});
}

bool EngineWatch::Stop(const std::function<void()>& progress) {
    if (stopped_) {
        return !abandoned_;
    }
    stopped_ = true;
    const auto step = [&] {
        if (progress) {
            progress();
        }
    };
    const bool running = threads_ && threads_->MonitorRunning() != 0;
    if (threads_ && !threads_->Stop()) {
        abandoned_ = true;
    }
    step();
    if (!commands_->Stop(kCommandGrace)) {
        abandoned_ = true;
    }
    if (running) {
        // After the last poll's events.
        ReportMonitoring(kEventMonitoringEnded);
    }
    // No poll runs any more: what still waits for the log is written now, or kept for the next start.
    if (log_) {
        log_->KeepWaitingLines();
    }
    step();
    events_->Finish();
    return !abandoned_;
}

void EngineWatch::ReportMonitoring(std::uint32_t eventId) {
    if (context_.settings.EventLog.load() != 0) {
        events_->Post(platform::EventType::Information, eventId, {});
    }
}

WatchState EngineWatch::State() const {
    WatchState state;
    state.entryCount = monitor_->EntryCount();
    state.serverCode = monitor_->LastServerState().code;
    state.waitingLines = log_ ? log_->WaitingLines() : 0;
    state.cuts = monitor_->Cuts();
    return state;
}

void EngineWatch::Read(const EntryReader& read) const {
    monitor_->Read([&](const AccessTable* table, std::int32_t entryCount, std::int32_t) {
        read(table != nullptr, static_cast<int>(entryCount), [table](const EntryVisit& visit) {
            if (table != nullptr) {
                table->ForEach(visit);
            }
        });
    });
}

// What a command uses: what outlives the watch when a command is left running at the stop.
struct EngineCommandParts {
    AccessMonitor& monitor;
    ByHandContext byHand; // with the log and the events
};

namespace {

CommandOutcome DisconnectIn(const EngineCommandParts& parts, const std::string& client, const std::string& user,
                            bool writeLog) {
    // Only what this table lists is ended: the names pick a row, they are not a request to end whatever
    // they name.
    const bool listed = parts.monitor.Read([&](const AccessTable* table, std::int32_t, std::int32_t) {
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
        return CommandOutcome::NotListed;
    }
    ByHandContext byHand = parts.byHand;
    if (!writeLog) {
        byHand.log = nullptr;
        byHand.events = nullptr;
    }
    return DisconnectByHand(byHand, client, user).empty() ? CommandOutcome::Done : CommandOutcome::Failed;
}

CommandOutcome CloseFileIn(const EngineCommandParts& parts, const std::string& client, const std::string& user,
                           const std::string& path) {
    // The file's id is the one this table holds for the user and path now; the server is asked with
    // the table free.
    const std::optional<std::uint32_t> fileId =
        parts.monitor.Read([&](const AccessTable* table, std::int32_t, std::int32_t) -> std::optional<std::uint32_t> {
            const std::optional<std::int32_t> key = table != nullptr ? table->FindByUserPath(user, path) : std::nullopt;
            const AccessEntry* entry = key ? table->FindEntry(*key) : nullptr;
            return entry != nullptr ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(entry->fileId))
                                    : std::nullopt;
        });
    if (!fileId) {
        return CommandOutcome::NotListed; // gone with the last poll: the file is closed already
    }
    return CloseFileByHand(parts.byHand, client, user, path, *fileId).empty() ? CommandOutcome::Done
                                                                              : CommandOutcome::Failed;
}

} // namespace

EngineCommandParts EngineWatch::Parts() const {
    return {*monitor_, {context_.server, context_.settings, log_.get(), events_.get()}};
}

CommandOutcome EngineWatch::DisconnectNow(const std::string& client, const std::string& user, bool writeLog) {
    return DisconnectIn(Parts(), client, user, writeLog);
}

CommandOutcome EngineWatch::CloseFileNow(const std::string& client, const std::string& user, const std::string& path) {
    return CloseFileIn(Parts(), client, user, path);
}

void EngineWatch::Disconnect(const std::string& client, const std::string& user) {
    // The task holds nothing of this object itself, which is gone when the task is left running at
    // the stop; the parts it uses are kept then (abandoned_).
    (void)commands_->Post([parts = Parts(), client, user] { (void)DisconnectIn(parts, client, user, true); });
}

void EngineWatch::CloseFile(const std::string& client, const std::string& user, const std::string& path) {
    (void)commands_->Post([parts = Parts(), client, user, path] { (void)CloseFileIn(parts, client, user, path); });
}

void EngineWatch::SettingsApplied() {
    if (threads_) {
        threads_->ApplyPriorities();
    }
    if (context_.settings.EventLog.load() != 0) {
        events_->Start();
    } else {
        events_->Finish();
    }
}

std::string EngineWatch::ClientDisplay(const std::string& client) {
    return monitor_->Names().Display(client);
}

void EngineWatch::ShowLogFailure() {
    if (log_) {
        platform::ShowMessage(log_->FailureText(), log_->Caption(), platform::MessageIcon::Warning);
    }
}

} // namespace glimmerfen
