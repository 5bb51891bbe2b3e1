// What the engine costs when nobody is connected: both monitors run with the default periods (a poll
// every 20 ms, a list refresh every second) against the local server for a while, and the process's
// CPU time (user + system) is set against the wall time.
//
//   idle_cost [seconds]     (default 30)
//
// Natively the local server has no sessions; on Windows it is netapi32 (under Wine, the stand-in
// beside the executable with WINEDLLOVERRIDES=netapi32=n, or Wine's own).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"
#include "monitor/MonitorThreads.h"
#include "platform/netserver.h"
#include "platform/timer.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

using namespace glimmerfen;

double ProcessCpuSeconds() {
#ifdef _WIN32
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7; // 100 ns units
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
#endif
}

class CountingMonitor final : public AccessMonitor {
public:
    using AccessMonitor::AccessMonitor;
    std::atomic<long> polls{0};

protected:
    void ApplyDisconnectRules() override { ++polls; }
};

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: idle_cost [seconds]\n");
        return 2;
    }
    const std::optional<unsigned> resolution = platform::TimerResolution();
    if (!resolution) {
        std::fprintf(stderr, "the timer device cannot be asked\n");
        return 1;
    }
    platform::BeginTimerPeriod(*resolution);

    AppSettings settings;
    settings.CycleTime1 = 20;
    settings.CycleTime2 = 1000;
    settings.ViewTime = 30;
    CountingMonitor monitor(settings, platform::LocalServer());
    monitor.CreateTable();
    std::atomic<long> refreshes{0};
    MonitorThreads threads(settings, monitor, *resolution);
    threads.SetListRefresh([&] {
        (void)monitor.Snapshot();
        ++refreshes;
    });

    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    threads.Start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::int32_t entries = monitor.EntryCount(); // 0 when the server really was idle
    threads.Stop();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    platform::EndTimerPeriod(*resolution);

    std::printf("timer resolution  %u ms\n", *resolution);
    std::printf("polls             %ld (%.1f per second)\n", monitor.polls.load(), monitor.polls.load() / wall);
    std::printf("list refreshes    %ld\n", refreshes.load());
    std::printf("accesses at end   %d\n", static_cast<int>(entries));
    std::printf("wall time         %.3f s\n", wall);
    std::printf("cpu time          %.3f s (user + system)\n", cpu);
    std::printf("cpu / wall        %.3f %%\n", 100.0 * cpu / wall);
    return 0;
}
