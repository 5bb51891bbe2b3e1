// The watch: the accesses of one computer and the commands on them, as the tray and the list window
// see them. Two kinds stand behind it, chosen once by the application: the engine in this process
// (EngineWatch: poll, rules, log, events) and the service's window, which shows the service's table
// over the pipe (pipe::ServiceWatch). No window asks which kind it holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "monitor/AccessTable.h"
#include "monitor/RuleCuts.h"

namespace glimmerfen {

namespace pipe {
// The service's window's link to the service.
enum class ServiceLink {
    Connecting,   // not asked yet
    Connected,    // the last exchange got its answer
    NotRunning,   // nobody listens on the pipe
    NotAnswering, // the pipe is there but refuses this process, is busy, or gave no (good) answer
};
} // namespace pipe

// What the tray shows of the watch at its tick.
struct WatchState {
    int entryCount = 0;           // the hit count
    std::uint32_t serverCode = 0; // the server's enumerations fail with this code (0: they do not)
    std::size_t waitingLines = 0; // log lines waiting for a log file that another program holds
    // The service's link while the watch is the service's; none with an engine of this process.
    std::optional<pipe::ServiceLink> service;
    // The sessions the rules closed.
    RuleCutRecord cuts;

    // Whether the last poll saw the server: a poll whose enumerations failed (or a service out of reach)
    // sees nobody, which says nothing about who is connected.
    bool SeesServer() const { return serverCode == 0 && (!service || *service == pipe::ServiceLink::Connected); }
};

// What a watch calls on threads of its own.
struct WatchHooks {
    // After every list refresh period (CycleTime2): the rows may have changed. It may send messages to
    // the user-interface thread and wait for the answer.
    std::function<void()> refresh;
    // Lines began to wait for a log file that another program holds; ShowLogFailure tells the user,
    // on the thread the owner chooses. Without it the log tells the user itself.
    std::function<void()> logHeld;
};

// How long a watch's stop waits for a row command still waiting for the server (or the service) before
// leaving it running.
inline constexpr std::chrono::milliseconds kCommandGrace{500};

class Watch {
public:
    using EntryVisit = std::function<void(const AccessEntry&)>;
    // Visits the entries newest first.
    using ForEachEntry = std::function<void(const EntryVisit&)>;
    using EntryReader = std::function<void(bool hasTable, int entryCount, const ForEachEntry& forEach)>;

    virtual ~Watch() = default;

    // Begins watching: the table is created, the polls (or the service's view) start. Once only.
    virtual void Start(WatchHooks hooks) = 0;
    // Ends the watch, for a bounded time: on the user-interface thread it keeps answering the messages
    // a refresh sends meanwhile. After it nothing refreshes. False when a call that waits for the server
    // (or the service) was left running: what it uses is then kept until the process ends, also when
    // this object is destroyed, and the process must end without running its static destructors.
    // Later calls return the same.
    virtual bool Stop() = 0;
    virtual bool Abandoned() const = 0;

    virtual WatchState State() const = 0;
    // read(hasTable, entryCount, forEach) under the table's lock: copy what is needed, call nothing
    // that waits.
    virtual void Read(const EntryReader& read) const = 0;

    // The row commands, carried out off the caller's thread (the server may be a distant computer that
    // answers after a network timeout), each with its log line and event. Disconnect ends the sessions
    // of client and user (of every client of the user when client is empty, as for an open-file row);
    // CloseFile closes the user's opening of path. A row the table no longer lists is left alone.
    virtual void Disconnect(const std::string& client, const std::string& user) = 0;
    virtual void CloseFile(const std::string& client, const std::string& user, const std::string& path) = 0;
    // The option sheet's Apply stored new settings (and wrote the INI file): the watch takes them up.
    virtual void SettingsApplied() = 0;

    // "192.168.1.20 (PC01)" for a client known by its address once its name is known; the client as
    // it is otherwise. Never waits.
    virtual std::string ClientDisplay(const std::string& client) = 0;
    // Tells the user that log lines wait for a held log file (after WatchHooks::logHeld).
    virtual void ShowLogFailure() {}
};

} // namespace glimmerfen
