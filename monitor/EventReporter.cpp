#include "monitor/EventReporter.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <utility>

#include "monitor/AccessTable.h"
#include "platform/localtime_cache.h"
#include "res/event_ids.h"

namespace glimmerfen {
namespace {

constexpr auto kDrainAtEnd = std::chrono::seconds(2);
// How long the writer may take past the drain's end for the count of what it dropped.
constexpr auto kLastEvent = std::chrono::milliseconds(500);

void AppendField(std::string& fields, std::string_view text) {
    // The texts come from the server's C strings and hold no '\0' of their own.
    fields.append(text);
    fields.push_back('\0');
}

} // namespace

void AppendIsoUtcText(std::string& out, std::int64_t instant) {
    const platform::LocalTimeParts t = platform::CivilTime(instant);
    // Years 0 to 9999 are all an instant of 32 or even 37 bits can name.
    auto digits = [&out](std::int64_t value, int width) {
        char text[8];
        for (int i = width - 1; i >= 0; --i) {
            text[i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        out.append(text, static_cast<std::size_t>(width));
    };
    digits(t.year, 4);
    out.push_back('-');
    digits(t.month, 2);
    out.push_back('-');
    digits(t.day, 2);
    out.push_back('T');
    digits(t.hour, 2);
    out.push_back(':');
    digits(t.minute, 2);
    out.push_back(':');
    digits(t.second, 2);
    out.push_back('Z');
}

std::string IsoUtcText(std::int64_t instant) {
    std::string text;
    AppendIsoUtcText(text, instant);
    return text;
}

void EventBatch::Add(platform::EventType type, std::uint32_t id, const EventFields& f) {
    heads_.push_back({type, id, text_.size(), f.locks, f.connectionStart});
    for (const std::string_view text : {f.client, f.clientName, f.user, f.path, f.operation, f.message}) {
        AppendField(text_, text);
    }
}

void EventBatch::AddAccess(const AccessEntry& entry, std::string_view resolvedName) {
    EventFields fields;
    fields.client = entry.clientName;
    fields.clientName = resolvedName;
    fields.user = entry.userName;
    fields.path = entry.pathName;
    fields.operation = entry.operation;
    if (!entry.pathName.empty()) {
        fields.locks = entry.lockCount;
    }
    fields.connectionStart = entry.startTime;
    Add(platform::EventType::Information, kEventAccess, fields);
}

void EventBatch::Clear() {
    text_.clear();
    heads_.clear();
}

void EventBatch::Truncate(std::size_t count) {
    if (count < heads_.size()) {
        text_.resize(heads_[count].offset);
        heads_.resize(count);
    }
}

void EventBatch::Strings(std::size_t i, const std::string& computer, std::vector<std::string>& out) const {
    const Head& head = heads_[i];
    out.resize(9);
    std::size_t begin = head.offset;
    for (const std::size_t field : {0, 1, 2, 3, 4, 6}) {
        const std::size_t end = text_.find('\0', begin);
        out[field].assign(text_, begin, end - begin);
        begin = end + 1;
    }
    out[5].clear();
    if (head.locks) {
        out[5] += std::to_string(*head.locks);
    }
    out[7].clear();
    if (head.connectionStart) {
        AppendIsoUtcText(out[7], *head.connectionStart);
    }
    out[8] = computer;
}

struct EventReporter::Channel {
    Channel(std::shared_ptr<platform::EventSink> s, std::string c, std::size_t b)
        : sink(std::move(s)), computer(std::move(c)), bound(b) {}
    const std::shared_ptr<platform::EventSink> sink;
    const std::string computer;
    const std::size_t bound;

    std::mutex mutex;
    struct Pending {
        EventBatch events;
        std::size_t droppedAfter = 0; // events dropped at the bound right after these
    };
    std::deque<Pending> queue; // under mutex
    std::size_t queued = 0;    // events in queue
    EventBatch spare;          // written, emptied, its storage kept for the next Post
    bool draining = false;     // a drain is queued or runs; under mutex
    // When Finish gives up on what is left, in steady-clock ticks; 0 until Finish. Read by the writer
    // between events without the lock.
    std::atomic<std::int64_t> deadline{0};

    bool PastDeadline() const {
        const std::int64_t end = deadline.load();
        return end != 0 && static_cast<std::int64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) > end;
    }
    // The "events dropped" event for count events.
    void ReportDropped(std::size_t count, std::vector<std::string>& strings) const {
        EventBatch gap;
        EventFields fields;
        const std::string text = std::to_string(count);
        fields.message = text;
        gap.Add(platform::EventType::Warning, kEventEventsDropped, fields);
        gap.Strings(0, computer, strings);
        sink->Report(gap.Type(0), gap.Id(0), strings);
    }
};

EventReporter::EventReporter(std::unique_ptr<platform::EventSink> sink, std::string computer, std::size_t bound)
    : sink_(std::move(sink)), computer_(std::move(computer)), bound_(bound == 0 ? 1 : bound) {
    if (sink_) {
        channel_ = std::make_shared<Channel>(sink_, computer_, bound_);
        writer_ = std::make_unique<Worker>("the event writer");
    }
}

EventReporter::~EventReporter() {
    Finish();
}

void EventReporter::Start() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!sink_) {
        return;
    }
    if (!channel_) {
        channel_ = std::make_shared<Channel>(sink_, computer_, bound_);
        writer_ = std::make_unique<Worker>("the event writer");
    }
    writer_->Start();
}

bool EventReporter::Finish() {
    std::shared_ptr<Channel> channel;
    std::unique_ptr<Worker> writer;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        channel = std::move(channel_);
        writer = std::move(writer_);
    }
    if (!writer) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + kDrainAtEnd;
    channel->deadline = static_cast<std::int64_t>(deadline.time_since_epoch().count());
    // The drain gives up at the deadline; the count of what it dropped is one more event, which gets
    // a little while of its own before the writer is left behind.
    return writer->Stop(kDrainAtEnd + kLastEvent);
}

void EventReporter::Post(EventBatch& events) {
    if (events.Empty()) {
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!channel_) {
        events.Clear();
        return;
    }
    Channel& c = *channel_;
    bool drain = false;
    {
        const std::lock_guard<std::mutex> queueLock(c.mutex);
        const std::size_t room = c.queued < c.bound ? c.bound - c.queued : 0;
        const std::size_t dropped = events.Size() > room ? events.Size() - room : 0;
        events.Truncate(room);
        if (!events.Empty()) {
            c.queued += events.Size();
            c.queue.push_back({std::move(events), dropped});
            events = std::move(c.spare);
            c.spare = EventBatch();
        } else {
            // No room means the queue holds bound events: the gap follows the newest of them.
            c.queue.back().droppedAfter += dropped;
        }
        drain = !c.draining;
        c.draining = true;
    }
    events.Clear();
    if (drain && !writer_->Post([channel = channel_] { Drain(*channel); })) {
        // Not queued (the writer is stopping): the next Post queues a drain again.
        const std::lock_guard<std::mutex> channelLock(c.mutex);
        c.draining = false;
    }
}

void EventReporter::Post(platform::EventType type, std::uint32_t id, const EventFields& fields) {
    EventBatch one;
    one.Add(type, id, fields);
    Post(one);
}

void EventReporter::Drain(Channel& c) {
    std::unique_lock<std::mutex> lock(c.mutex);
    std::vector<std::string> strings;
    for (;;) {
        if (c.queue.empty()) {
            c.draining = false; // the next Post queues another drain
            return;
        }
        Channel::Pending pending = std::move(c.queue.front());
        c.queue.pop_front();
        c.queued -= pending.events.Size();
        lock.unlock();
        // The deadline is looked at before every event, so a large batch cannot hold up the end.
        const EventBatch& batch = pending.events;
        std::size_t written = 0;
        while (written < batch.Size() && !c.PastDeadline()) {
            batch.Strings(written, c.computer, strings);
            c.sink->Report(batch.Type(written), batch.Id(written), strings);
            ++written;
        }
        std::size_t dropped = pending.droppedAfter + (batch.Size() - written);
        const bool late = written < batch.Size() || c.PastDeadline();
        if (late) {
            // Nothing more is written but the count of everything still waiting, in one event. Only
            // Finish sets a deadline, and nothing is posted to this channel after it.
            lock.lock();
            for (const Channel::Pending& rest : c.queue) {
                dropped += rest.events.Size() + rest.droppedAfter;
            }
            c.queue.clear();
            c.queued = 0;
            lock.unlock();
        }
        if (dropped != 0) {
            c.ReportDropped(dropped, strings);
        }
        if (late) {
            return;
        }
        pending.events.Clear();
        lock.lock();
        if (pending.events.Capacity() > c.spare.Capacity()) {
            c.spare = std::move(pending.events);
        }
    }
}

} // namespace glimmerfen
