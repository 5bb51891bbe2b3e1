// What the log records, also as events in the system's event log: composed where the log lines are,
// handed over after the poll, and written by a thread of their own so that a slow event log never
// holds up a poll.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/eventlog.h"

namespace glimmerfen {

struct AccessEntry;

// "2026-12-07T12:34:56Z" of an instant (seconds since 1970, UTC).
std::string IsoUtcText(std::int64_t instant);

// One event: its type, id and nine insertion strings, kept in one buffer (each ended by '\0') so
// that composing it inside a poll costs one allocation.
struct Event {
    platform::EventType type = platform::EventType::Information;
    std::uint32_t id = 0;
    std::string fields;

    // The insertion strings, %1 first.
    std::vector<std::string> Strings() const;
};

// The nine insertion strings of every event, in this order.
struct EventFields {
    std::string_view client;     // %1 IpAddress: the client as the server names it
    std::string_view clientName; // %2 ClientName: its name resolved from the address, when known
    std::string_view user;       // %3 SubjectUserName
    std::string_view path;       // %4 ObjectName: the open file's full path
    std::string_view operation;  // %5 Operation
    std::string locks;           // %6 Locks
    std::string_view message;    // %7 Message: the rule's message, a result, a code or a count
    std::string connectionStart; // %8 ConnectionStart, ISO 8601 UTC
};

class EventReporter {
public:
    // computer: the watched server as the events name it (%9). At most bound events wait; past it new
    // events are dropped and their number is written as one event when the queue has room again.
    EventReporter(std::unique_ptr<platform::EventSink> sink, std::string computer, std::size_t bound = 100000);
    // Writes what is queued, for at most two seconds (the log file holds the record; the events are a
    // copy), then ends the writer.
    ~EventReporter();
    EventReporter(const EventReporter&) = delete;
    EventReporter& operator=(const EventReporter&) = delete;

    // An event with the computer as %9.
    Event Compose(platform::EventType type, std::uint32_t id, const EventFields& fields) const;
    // The event of a new access (a session or an open file).
    Event Access(const AccessEntry& entry, std::string_view resolvedName) const;

    // Queues the events (emptying the vector); never waits for the event log.
    void Post(std::vector<Event>& events);
    void Post(Event event);

private:
    void Run();

    std::unique_ptr<platform::EventSink> sink_;
    const std::string computer_;
    const std::size_t bound_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> queue_;
    std::size_t dropped_ = 0; // dropped since the writer last reported a drop
    bool stop_ = false;
    std::thread writer_;
};

} // namespace glimmerfen
