// What the log records, also as events in the system's event log: composed where the log lines are,
// handed over after the poll, and written by a thread of their own so that a slow event log never
// holds up a poll.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/Worker.h"
#include "platform/eventlog.h"

namespace glimmerfen {

struct AccessEntry;

// "2026-12-07T12:34:56Z" of an instant (seconds since 1970, UTC).
std::string IsoUtcText(std::int64_t instant);
void AppendIsoUtcText(std::string& out, std::int64_t instant);

// What an event says besides the watched server. Every event carries nine insertion strings, in
// this order: %1 client (as the server names it: a computer name or an address), %2 its name
// resolved from the address, %3 user, %4 the open file's full path, %5 operation, %6 locks,
// %7 message (the rule's message, a result, an error code or a count), %8 the connection's start
// (ISO 8601, UTC), %9 the watched server.
struct EventFields {
    std::string_view client;
    std::string_view clientName;
    std::string_view user;
    std::string_view path;
    std::string_view operation;
    std::optional<std::int32_t> locks;
    std::string_view message;
    std::optional<std::int64_t> connectionStart;
};

// Events in order, their texts in one buffer: composing one inside a poll costs no allocation of its
// own, and the numbers are turned into text by the writer, not by the poll.
class EventBatch {
public:
    void Add(platform::EventType type, std::uint32_t id, const EventFields& fields);
    // The event of a new access (a session or an open file).
    void AddAccess(const AccessEntry& entry, std::string_view resolvedName);

    std::size_t Size() const { return heads_.size(); }
    std::size_t Capacity() const { return heads_.capacity(); }
    bool Empty() const { return heads_.empty(); }
    void Clear();
    // Keeps the first count events.
    void Truncate(std::size_t count);

    platform::EventType Type(std::size_t i) const { return heads_[i].type; }
    std::uint32_t Id(std::size_t i) const { return heads_[i].id; }
    // The nine insertion strings of event i, %1 first, into out (whose strings keep their storage).
    void Strings(std::size_t i, const std::string& computer, std::vector<std::string>& out) const;

private:
    static constexpr std::size_t kTextFields = 6; // client, name, user, path, operation, message
    struct Head {
        platform::EventType type;
        std::uint32_t id;
        std::size_t offset; // of its texts in text_, each ended by '\0'
        std::optional<std::int32_t> locks;
        std::optional<std::int64_t> connectionStart;
    };
    std::string text_;
    std::vector<Head> heads_;
};

// Events are written by a worker of their own (see Worker), which exists only while events are on:
// from the construction or Start to Finish.
class EventReporter {
public:
    // computer: the watched server as the events name it (%9). At most bound (at least 1) events wait;
    // past it new events are dropped, and their number is written as one event where they would have
    // been. Events are on; the writer's thread starts with the first of them. Without a sink nothing
    // is ever written.
    EventReporter(std::unique_ptr<platform::EventSink> sink, std::string computer, std::size_t bound = 100000);
    // Finish.
    ~EventReporter();
    EventReporter(const EventReporter&) = delete;
    EventReporter& operator=(const EventReporter&) = delete;

    // Events go on: the writer's thread starts now unless it runs; after Finish a new writer takes
    // what is posted from now on.
    void Start();

    // Events go off: writes what is queued, for at most two seconds (the log file holds the record;
    // the events are a copy), then ends the writer. The two seconds hold inside a batch too: what is
    // still unwritten then is dropped and its number written as one event, as at the bound. Events
    // posted after it are dropped unwritten, until Start. False when the writer did not end in time
    // (the event log does not answer) and was left to end on its own.
    bool Finish();

    // Queues the events; never waits for the event log. The batch comes back empty, with the storage
    // of one that the writer has finished when there is one, so that a busy poll after a busy poll
    // composes its events into memory already in use.
    void Post(EventBatch& events);
    void Post(platform::EventType type, std::uint32_t id, const EventFields& fields);

private:
    // One writer's queue, from Start to Finish, shared with its thread.
    struct Channel;
    static void Drain(Channel& channel);

    const std::shared_ptr<platform::EventSink> sink_;
    const std::string computer_;
    const std::size_t bound_;

    std::mutex mutex_;
    std::shared_ptr<Channel> channel_; // null while events are off
    std::unique_ptr<Worker> writer_;   // runs the drains of channel_
};

} // namespace glimmerfen
