// Cost of one poll, the indexed engine beside the plain linear walk, both fed by the in-process server.
//
//   Steady: every session and open file is already in the table.
//   Churn:  every poll the whole population is replaced by clients not seen before, so each poll
//           inserts every entry and ages the previous ones out.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "FakeServer.h"
#include "LinearPoll.h"
#include "settings/Settings.h"
#include "monitor/AccessMonitor.h"

namespace glimmerfen {
namespace {

using testing::FakeServer;

void Populate(FakeServer& server, int sessions, int filesPerSession, int generation) {
    server.sessions.clear();
    server.Files().clear();
    char name[64];
    for (int s = 0; s < sessions; ++s) {
        std::snprintf(name, sizeof name, "PC%05d-%d", s, generation);
        std::string client = name;
        std::snprintf(name, sizeof name, "user%05d-%d", s, generation);
        std::string user = name;
        for (int f = 0; f < filesPerSession; ++f) {
            std::snprintf(name, sizeof name, "\\share\\projects\\dir%d\\document%02d.docx", s % 97, f);
            server.AddFile(user, name, static_cast<std::uint32_t>(s * 16 + f), 1, 0);
        }
        server.AddSession(std::move(client), std::move(user), 300, 20, 0, "Windows 10 Pro");
    }
}

void Configure(AppSettings& settings, bool churn) {
    // Churn removes the previous population in its first unseen poll.
    settings.CycleTime1 = churn ? 1000 : 20;
    settings.ViewTime = churn ? 0 : 30;
}

void Report(benchmark::State& state, const FakeServer& server, int filesPerSession) {
    state.counters["entries"] =
        static_cast<double>(server.sessions.size() * (filesPerSession == 0 ? 1 : filesPerSession));
}

// Runs poll(server, settings) once to fill the table, then once per iteration.
template <typename PollOnce>
void MeasurePolls(benchmark::State& state, bool churn, PollOnce&& poll) {
    const int sessions = static_cast<int>(state.range(0));
    const int files = static_cast<int>(state.range(1));
    AppSettings settings;
    Configure(settings, churn);
    FakeServer server;
    FakeServer other;
    Populate(server, sessions, files, 0);
    Populate(other, sessions, files, 1);
    // A third argument: microseconds every call to the server takes, as a remote call does.
    if (state.range(2) > 0) {
        server.callCost = other.callCost = std::chrono::microseconds(state.range(2));
    }
    poll(server, settings);
    const int callsBefore = server.calls;
    for (auto _ : state) {
        if (churn) {
            // The other population takes the server's place, outside the timing.
            state.PauseTiming();
            std::swap(server.sessions, other.sessions);
            std::swap(server.Files(), other.Files());
            state.ResumeTiming();
        }
        poll(server, settings);
    }
    Report(state, server, files);
    state.counters["calls/poll"] = static_cast<double>(server.calls - callsBefore) /
                                   static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
}

void IndexedPoll(benchmark::State& state, bool churn) {
    std::unique_ptr<AccessMonitor> monitor;
    MeasurePolls(state, churn, [&](FakeServer& server, AppSettings& settings) {
        if (!monitor) {
            monitor = std::make_unique<AccessMonitor>(settings, server);
            monitor->CreateTable();
        }
        monitor->Poll();
    });
    benchmark::DoNotOptimize(monitor->EntryCount());
}

void LinearWalkPoll(benchmark::State& state, bool churn) {
    testing::LinearPoll reference;
    MeasurePolls(state, churn, [&](FakeServer& server, AppSettings& settings) {
        reference.Poll(server, settings.CycleTime1, settings.ViewTime);
    });
    benchmark::DoNotOptimize(reference.entryCount);
}

void BM_SteadyPoll(benchmark::State& state) {
    IndexedPoll(state, false);
}
void BM_SteadyPollLinear(benchmark::State& state) {
    LinearWalkPoll(state, false);
}
void BM_ChurnPoll(benchmark::State& state) {
    IndexedPoll(state, true);
}
void BM_ChurnPollLinear(benchmark::State& state) {
    LinearWalkPoll(state, true);
}

void AllSizes(benchmark::internal::Benchmark* b) {
    for (int sessions : {10, 100, 1000, 10000}) {
        for (int files : {0, 10}) {
            b->Args({sessions, files, 0});
        }
    }
    b->ArgNames({"sessions", "files", "cost_us"})->Unit(benchmark::kMicrosecond);
}

// The linear walk is quadratic: 10,000 sessions with 10 files each would take minutes per poll.
void ReferenceSizes(benchmark::internal::Benchmark* b) {
    for (int sessions : {10, 100, 1000, 10000}) {
        for (int files : {0, 10}) {
            if (sessions * (files == 0 ? 1 : files) <= 10000) {
                b->Args({sessions, files, 0});
            }
        }
    }
    b->ArgNames({"sessions", "files", "cost_us"})->Unit(benchmark::kMicrosecond);
}

// A server whose every call takes 50 us: 1,000 sessions with 5 open files each.
void RemoteServer(benchmark::internal::Benchmark* b) {
    b->Args({1000, 5, 50})->ArgNames({"sessions", "files", "cost_us"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_SteadyPoll)->Apply(AllSizes);
BENCHMARK(BM_SteadyPollLinear)->Apply(ReferenceSizes);
BENCHMARK(BM_ChurnPoll)->Apply(AllSizes);
BENCHMARK(BM_ChurnPollLinear)->Apply(ReferenceSizes);
BENCHMARK(BM_SteadyPoll)->Apply(RemoteServer);
BENCHMARK(BM_SteadyPollLinear)->Apply(RemoteServer);

} // namespace
} // namespace glimmerfen

BENCHMARK_MAIN();
