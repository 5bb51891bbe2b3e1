// The watch run by this process: the access log, the event writer, the access monitor with its table,
// the two monitor threads and the thread of the row commands' server calls, built and ended in one
// place for the tray and for the service.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "monitor/ByHand.h"
#include "monitor/Watch.h"

namespace glimmerfen {

struct AppSettings;
class AccessLog;
class AccessMonitor;
class EventReporter;
class MonitorThreads;
class Worker;
struct EngineCommandParts;
namespace platform {
class ServerPlatform;
}

struct EngineWatchContext {
    AppSettings& settings;
    platform::ServerPlatform& server;
    std::string logPath; // empty: nothing is logged
    std::string appName; // caption of the log's failure message
    unsigned timerResolution = 1;
    // The watched computer as the events name it, empty for this computer (then named by its own name).
    std::string computer;
};

// How a command about a row came out.
enum class CommandOutcome {
    Done,
    Failed,    // the server refused or could not be reached: its error text is logged
    NotListed, // the table lists no such row (any more): nothing was asked of the server
};

class EngineWatch final : public Watch {
public:
    explicit EngineWatch(EngineWatchContext context);
    // Stops the watch if it runs. After an abandoned stop, what the call left running uses is kept.
    ~EngineWatch() override;
    EngineWatch(const EngineWatch&) = delete;
    EngineWatch& operator=(const EngineWatch&) = delete;

    void Start(WatchHooks hooks) override;
    bool Stop() override;
    // The same, with progress called between its steps (the monitor threads, the commands, the log and
    // the event writer each take at most about two seconds).
    bool Stop(const std::function<void()>& progress);
    bool Abandoned() const override { return abandoned_; }

    WatchState State() const override;
    void Read(const EntryReader& read) const override;
    void Disconnect(const std::string& client, const std::string& user) override;
    void CloseFile(const std::string& client, const std::string& user, const std::string& path) override;
    // Takes up ThreadLevel1, ThreadLevel2 and EventLog as they now stand: the event writer runs while
    // EventLog is 1 and is ended (after writing what waits, for a bounded time) while it is 0.
    void SettingsApplied() override;
    std::string ClientDisplay(const std::string& client) override;
    void ShowLogFailure() override;

    // The commands carried out on the calling thread, which waits for the server: what the service
    // answers a tray, and what Disconnect and CloseFile run on their own thread. writeLog: the line and
    // the event are written.
    CommandOutcome DisconnectNow(const std::string& client, const std::string& user, bool writeLog);
    CommandOutcome CloseFileNow(const std::string& client, const std::string& user, const std::string& path);

    // The engine, for what reads its table as it is (the pipe's changes since a tray's last look).
    AccessMonitor& Monitor() noexcept { return *monitor_; }

private:
    EngineCommandParts Parts() const;
    // "Monitoring started" or "ended", while events are on.
    void ReportMonitoring(std::uint32_t eventId);

    EngineWatchContext context_;
    std::unique_ptr<AccessLog> log_;
    std::unique_ptr<EventReporter> events_; // declared before monitor_, which holds it
    std::unique_ptr<AccessMonitor> monitor_;
    std::unique_ptr<MonitorThreads> threads_; // declared after monitor_: stopped before it goes
    // The row commands' server calls, each followed by its log line, in the order given.
    std::unique_ptr<Worker> commands_;
    bool started_ = false;
    bool stopped_ = false;
    bool abandoned_ = false;
};

} // namespace glimmerfen
