// What events cost a poll: polls that each find `entries` new accesses, alternately with events off
// and on, in the same process (the poll with events off is the reference). With events on, the poll
// composes one event per access line and hands them over; the writer thread reports them to the
// system's event log. Also measured: how long the writer takes to drain one poll's events.
//
//   event_poll [entries] [rounds]     (defaults 10000 and 9)
//
// Builds on both layers; under Wine the writer reports through the real event-log calls:
//   scripts/wine-run build/win/bench/event_poll.exe
// (natively there is no event log: the writer only counts, so the drain is the queue's own cost).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "FakeServer.h"
#include "monitor/AccessMonitor.h"
#include "monitor/EventReporter.h"
#include "monitor/log/AccessLog.h"
#include "platform/eventlog.h"
#include "settings/Settings.h"

#include "new_sessions.h"
#include "timing.h"

namespace {

using namespace glimmerfen;
using bench::Clock;
using bench::Median;
using bench::Milliseconds;

// Passes every event on to the system's source (when there is one) and counts it.
class CountingSink final : public platform::EventSink {
public:
    explicit CountingSink(std::unique_ptr<platform::EventSink> system) : system_(std::move(system)) {}
    bool Report(platform::EventType type, std::uint32_t id, const std::vector<std::string>& strings) override {
        const bool ok = system_ ? system_->Report(type, id, strings) : !strings.empty();
        std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
        changed_.notify_all();
        return ok;
    }
    void WaitFor(std::size_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return count_ >= count; });
    }
    bool HasSystemSource() const { return system_ != nullptr; }

private:
    std::unique_ptr<platform::EventSink> system_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t count_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("glimmerfen-events-" + std::to_string(std::rand()));
    std::filesystem::create_directories(dir);

    AppSettings settings;
    settings.LogOut = 1;
    settings.CycleTime1 = 1000;
    settings.ViewTime = 0; // the previous population goes in the first poll that misses it
    testing::FakeServer server;
    AccessLog log((dir / "log.txt").string(), "event_poll", AccessLog::Limits{});
    auto counting = std::make_unique<CountingSink>(platform::OpenEventSource());
    CountingSink& sink = *counting;
    const bool systemSource = sink.HasSystemSource();
    EventReporter events(std::move(counting), "FS01");
    AccessMonitor monitor(settings, server, &log);
    monitor.SetEventReporter(&events);
    monitor.CreateTable();

    std::vector<double> off;
    std::vector<double> on;
    std::vector<double> drain;
    std::size_t reported = 0;
    int generation = 0;
    bench::PopulateNewSessions(server, entries, generation++);
    monitor.PollQuietly(); // warm-up: the table and the log file exist
    for (int r = 0; r < rounds; ++r) {
        for (const int eventLog : {0, 1}) {
            settings.EventLog = eventLog;
            bench::PopulateNewSessions(server, entries, generation++);
            const Clock::time_point start = Clock::now();
            monitor.PollQuietly();
            const Clock::time_point end = Clock::now();
            (eventLog != 0 ? on : off).push_back(Milliseconds(end - start));
            if (eventLog != 0) {
                reported += static_cast<std::size_t>(entries);
                sink.WaitFor(reported);
                drain.push_back(Milliseconds(Clock::now() - end));
            }
        }
    }
    std::filesystem::remove_all(dir);

    const double offMedian = Median(off);
    const double onMedian = Median(on);
    std::printf("%d new accesses per poll, %d rounds each, log on, events to %s\n", entries, rounds,
                systemSource ? "the system's event log" : "a counter (no event log on this system)");
    std::printf("poll with events off: median %.1f ms\n", offMedian);
    std::printf("poll with events on:  median %.1f ms (%+.1f %%)\n", onMedian, 100.0 * (onMedian / offMedian - 1.0));
    std::printf("writer drains one poll's %d events: median %.1f ms after the poll\n", entries, Median(drain));
    return 0;
}
