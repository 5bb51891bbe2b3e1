#include "monitor/EventReporter.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "monitor/AccessTable.h"
#include "res/event_ids.h"

namespace glimmerfen {
namespace {

constexpr auto kDrainAtEnd = std::chrono::seconds(2);

void AppendField(std::string& fields, std::string_view text) {
    // A '\0' inside a name would end the insertion string early and shift the rest: it is cut there.
    fields.append(text.substr(0, text.find('\0')));
    fields.push_back('\0');
}

} // namespace

std::string IsoUtcText(std::int64_t instant) {
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
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::vector<std::string> Event::Strings() const {
    std::vector<std::string> strings;
    std::size_t begin = 0;
    while (begin < fields.size()) {
        const std::size_t end = fields.find('\0', begin);
        strings.emplace_back(fields, begin, end - begin);
        begin = end + 1;
    }
    return strings;
}

EventReporter::EventReporter(std::unique_ptr<platform::EventSink> sink, std::string computer, std::size_t bound)
    : sink_(std::move(sink)), computer_(std::move(computer)), bound_(bound) {
    if (sink_) {
        writer_ = std::thread([this] { Run(); });
    }
}

EventReporter::~EventReporter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
}

Event EventReporter::Compose(platform::EventType type, std::uint32_t id, const EventFields& f) const {
    Event event;
    event.type = type;
    event.id = id;
    event.fields.reserve(f.client.size() + f.clientName.size() + f.user.size() + f.path.size() + f.operation.size() +
                         f.locks.size() + f.message.size() + f.connectionStart.size() + computer_.size() + 9);
    for (const std::string_view text : {f.client, f.clientName, f.user, f.path, f.operation, std::string_view(f.locks),
                                        f.message, std::string_view(f.connectionStart), std::string_view(computer_)}) {
        AppendField(event.fields, text);
    }
    return event;
}

Event EventReporter::Access(const AccessEntry& entry, std::string_view resolvedName) const {
    EventFields fields;
    fields.client = entry.clientName;
    fields.clientName = resolvedName;
    fields.user = entry.userName;
    fields.path = entry.pathName;
    fields.operation = entry.operation;
    if (!entry.pathName.empty()) {
        fields.locks = std::to_string(entry.lockCount);
    }
    fields.connectionStart = IsoUtcText(entry.startTime);
    return Compose(platform::EventType::Information, kEventAccess, fields);
}

void EventReporter::Post(std::vector<Event>& events) {
    if (events.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t room = queue_.size() < bound_ ? bound_ - queue_.size() : 0;
        const std::size_t taken = events.size() < room ? events.size() : room;
        queue_.insert(queue_.end(), std::make_move_iterator(events.begin()),
                      std::make_move_iterator(events.begin() + static_cast<std::ptrdiff_t>(taken)));
        dropped_ += events.size() - taken;
    }
    events.clear();
    changed_.notify_one();
}

void EventReporter::Post(Event event) {
    std::vector<Event> one;
    one.push_back(std::move(event));
    Post(one);
}

void EventReporter::Run() {
    std::vector<Event> batch;
    std::unique_lock<std::mutex> lock(mutex_);
    std::chrono::steady_clock::time_point deadline{};
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty() || dropped_ != 0; });
        if (stop_ && deadline == std::chrono::steady_clock::time_point{}) {
            deadline = std::chrono::steady_clock::now() + kDrainAtEnd;
        }
        batch.swap(queue_);
        const std::size_t dropped = dropped_;
        dropped_ = 0;
        lock.unlock();
        // In order; the gap of dropped events is told where it is, after the events queued before it.
        for (const Event& event : batch) {
            if (deadline != std::chrono::steady_clock::time_point{} && std::chrono::steady_clock::now() > deadline) {
                break;
            }
            sink_->Report(event.type, event.id, event.Strings());
        }
        if (dropped != 0) {
            EventFields fields;
            const std::string count = std::to_string(dropped);
            fields.message = count;
            const Event gap = Compose(platform::EventType::Warning, kEventEventsDropped, fields);
            sink_->Report(gap.type, gap.id, gap.Strings());
        }
        batch.clear();
        lock.lock();
        if (stop_ && (queue_.empty() || std::chrono::steady_clock::now() > deadline)) {
            return;
        }
    }
}

} // namespace glimmerfen
