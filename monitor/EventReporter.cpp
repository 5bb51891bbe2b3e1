#include "monitor/EventReporter.h"

#include <chrono>
#include <utility>

#include "monitor/AccessTable.h"
#include "res/event_ids.h"

namespace glimmerfen {
namespace {

constexpr auto kDrainAtEnd = std::chrono::seconds(2);

void AppendField(std::string& fields, std::string_view text) {
    // The texts come from the server's C strings and hold no '\0' of their own.
    fields.append(text);
    fields.push_back('\0');
}

} // namespace

void AppendIsoUtcText(std::string& out, std::int64_t instant) {
    // Days since 1970-01-01 into a civil date (proleptic Gregorian), without the C library's gmtime,
    // which is neither thread-safe everywhere nor defined for every instant.
    std::int64_t days = instant / 86400;
    std::int64_t seconds = instant % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    // Years 0 to 9999 are all an instant of 32 or even 37 bits can name.
    auto digits = [&out](std::int64_t value, int width) {
        char text[8];
        for (int i = width - 1; i >= 0; --i) {
            text[i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        out.append(text, static_cast<std::size_t>(width));
    };
    digits(year, 4);
    out.push_back('-');
    digits(month, 2);
    out.push_back('-');
    digits(day, 2);
    out.push_back('T');
    digits(seconds / 3600, 2);
    out.push_back(':');
    digits(seconds / 60 % 60, 2);
    out.push_back(':');
    digits(seconds % 60, 2);
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

EventReporter::EventReporter(std::unique_ptr<platform::EventSink> sink, std::string computer, std::size_t bound)
    : sink_(std::move(sink)), computer_(std::move(computer)), bound_(bound == 0 ? 1 : bound) {
    if (sink_) {
        writer_ = std::thread([this] { Run(); });
    }
}

EventReporter::~EventReporter() {
    Finish();
}

void EventReporter::Finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stop_) {
            const auto deadline = std::chrono::steady_clock::now() + kDrainAtEnd;
            deadline_ = static_cast<std::int64_t>(deadline.time_since_epoch().count());
        }
        stop_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
}

void EventReporter::Post(EventBatch& events) {
    if (events.Empty() || !sink_) {
        events.Clear();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) {
            events.Clear();
            return;
        }
        const std::size_t room = queued_ < bound_ ? bound_ - queued_ : 0;
        const std::size_t dropped = events.Size() > room ? events.Size() - room : 0;
        events.Truncate(room);
        if (!events.Empty()) {
            queued_ += events.Size();
            queue_.push_back({std::move(events), dropped});
            events = std::move(spare_);
            spare_ = EventBatch();
        } else {
            // No room means the queue holds bound events: the gap follows the newest of them.
            queue_.back().droppedAfter += dropped;
        }
    }
    events.Clear();
    changed_.notify_one();
}

void EventReporter::Post(platform::EventType type, std::uint32_t id, const EventFields& fields) {
    EventBatch one;
    one.Add(type, id, fields);
    Post(one);
}

bool EventReporter::PastDeadline() const {
    const std::int64_t deadline = deadline_.load();
    return deadline != 0 &&
           static_cast<std::int64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) > deadline;
}

void EventReporter::ReportDropped(std::size_t count, std::vector<std::string>& strings) {
    EventBatch gap;
    EventFields fields;
    const std::string text = std::to_string(count);
    fields.message = text;
    gap.Add(platform::EventType::Warning, kEventEventsDropped, fields);
    gap.Strings(0, computer_, strings);
    sink_->Report(gap.Type(0), gap.Id(0), strings);
}

void EventReporter::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<std::string> strings;
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return; // stopped, everything written
        }
        Pending pending = std::move(queue_.front());
        queue_.pop_front();
        queued_ -= pending.events.Size();
        lock.unlock();
        // The deadline is looked at before every event, so a large batch cannot hold up the end.
        const EventBatch& batch = pending.events;
        std::size_t written = 0;
        while (written < batch.Size() && !PastDeadline()) {
            batch.Strings(written, computer_, strings);
            sink_->Report(batch.Type(written), batch.Id(written), strings);
            ++written;
        }
        std::size_t dropped = pending.droppedAfter + (batch.Size() - written);
        const bool late = written < batch.Size() || PastDeadline();
        if (late) {
            // Nothing more is written but the count of everything still waiting, in one event.
            lock.lock();
            for (const Pending& rest : queue_) {
                dropped += rest.events.Size() + rest.droppedAfter;
            }
            queue_.clear();
            queued_ = 0;
            lock.unlock();
        }
        if (dropped != 0) {
            ReportDropped(dropped, strings);
        }
        if (late) {
            return;
        }
        pending.events.Clear();
        lock.lock();
        if (pending.events.Capacity() > spare_.Capacity()) {
            spare_ = std::move(pending.events);
        }
    }
}

} // namespace glimmerfen
