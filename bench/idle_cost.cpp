// What the engine costs when nobody is connected: both monitors run with the default periods (a poll
// every 20 ms, a list refresh every second) against the local server for a while, and the process's
// CPU time (user + system) is set against the wall time. On Linux it also lists each thread's
// wake-ups (context switches) per second and CPU time, read from /proc: the main thread, the timer
// service's thread (found by a timer that notes where it runs) and the two worker threads.
//
//   idle_cost [seconds]     (default 30)
//
// Natively the local server has no sessions; on Windows it is the system folder's netapi32 (under Wine,
// the stand-in put there, with WINEDLLOVERRIDES=netapi32=n, or Wine's own).
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

#include "timing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <unistd.h>
#endif

namespace {

using namespace glimmerfen;

using bench::ProcessCpuSeconds;

#ifndef _WIN32
// Per thread of this process: context switches and CPU seconds so far.
struct TaskStat {
    long switches = 0;
    double cpuSeconds = 0.0;
};

std::map<long, TaskStat> ReadTasks() {
    std::map<long, TaskStat> tasks;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        const long tid = std::stol(entry.path().filename().string());
        TaskStat stat;
        std::ifstream status(entry.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                stat.switches += std::stol(line.substr(line.find(':') + 1));
            }
        }
        // The first field of schedstat: nanoseconds on a processor (stat's clock ticks are too coarse).
        std::ifstream schedstat(entry.path() / "schedstat");
        double nanoseconds = 0.0;
        schedstat >> nanoseconds;
        stat.cpuSeconds = nanoseconds / 1e9;
        tasks[tid] = stat;
    }
    return tasks;
}

std::atomic<long> serviceTid{0};

void NoteServiceThread(platform::TimerId, void*) {
    serviceTid = static_cast<long>(gettid());
}
#endif

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

#ifndef _WIN32
    // The timer service's thread exists from the first timer on; this one tells which it is.
    platform::SetOneShotTimer(1, *resolution, &NoteServiceThread, nullptr);
    while (serviceTid.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::map<long, TaskStat> tasksBefore = ReadTasks();
#endif
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    threads.Start();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::int32_t entries = monitor.EntryCount(); // 0 when the server really was idle
#ifndef _WIN32
    const std::map<long, TaskStat> tasksAfter = ReadTasks();
    const double measured = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
#endif
    const auto stopBegan = std::chrono::steady_clock::now();
    threads.Stop();
    const double stopMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopBegan).count();
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
    std::printf("Stop took         %.2f ms\n", stopMs);
#ifndef _WIN32
    std::printf("\nthread              wake-ups/s   cpu ms\n");
    for (const auto& [tid, after] : tasksAfter) {
        const auto before = tasksBefore.find(tid);
        const TaskStat start = before != tasksBefore.end() ? before->second : TaskStat{};
        const char* role = tid == static_cast<long>(getpid()) ? "main"
                           : tid == serviceTid.load()         ? "timer service"
                           : before == tasksBefore.end()      ? "worker"
                                                              : "other";
        std::printf("%-18s %11.1f %8.1f\n", role, (after.switches - start.switches) / measured,
                    1000.0 * (after.cpuSeconds - start.cpuSeconds));
    }
#endif
    return 0;
}
