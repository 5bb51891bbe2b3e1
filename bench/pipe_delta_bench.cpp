// One refresh of the tray through the pipe at 10,000 entries: the service's delta (hashes of every
// entry against what it sent last), its frame, the tray's decoding and its mirror's update, when
// nothing changed and when every row changed. Reference: the whole table in one frame at every
// refresh, encoded and decoded, which a pipe without deltas would carry. The counter "wire" is the
// frame's bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "monitor/AccessTable.h"
#include "monitor/pipe/PipeProtocol.h"
#include "monitor/pipe/TableDelta.h"

namespace glimmerfen::pipe {
namespace {

constexpr int kRows = 10000;

std::vector<AccessEntry> Entries(const char* operation) {
    std::vector<AccessEntry> entries(kRows);
    char text[64];
    for (int i = 0; i < kRows; ++i) {
        AccessEntry& e = entries[static_cast<std::size_t>(i)];
        e.key = kRows - i;
        std::snprintf(text, sizeof text, "PC%05d", i);
        e.clientName = text;
        std::snprintf(text, sizeof text, "user%05d", i);
        e.userName = text;
        e.openCount = i % 7;
        e.startTimeText = "2026-12-07 09:00:00";
        e.connectedText = "01:02:03";
        e.idleText = "00:00:00";
        e.clientType = "Windows 10 Pro";
        e.operation = operation;
        std::snprintf(text, sizeof text, "C:\\share\\dir%d\\report%05d.docx", i % 50, i);
        e.pathName = text;
    }
    return entries;
}

TableDelta Delta(DeltaSource& source, std::uint64_t since, const std::vector<AccessEntry>& entries) {
    TableDelta delta = source.Changes(since, entries);
    delta.state = {true, kRows, {}, 0};
    return delta;
}

// What: 0 the service's delta alone, 1 the whole refresh (delta, frame, decoding, mirror).
void Refresh(benchmark::State& state, bool everyRowChanges) {
    const bool whole = state.range(0) == 1;
    const std::vector<AccessEntry> tables[2] = {Entries("FILE READ"), Entries("FILE WRITE")};
    DeltaSource source;
    TableMirror mirror;
    mirror.Apply(Delta(source, 0, tables[0]));
    std::size_t turn = 0;
    std::size_t wire = 0;
    for (auto _ : state) {
        turn = everyRowChanges ? turn ^ 1 : 0;
        TableDelta delta = Delta(source, mirror.Generation(), tables[turn]);
        if (!whole) {
            // The mirror follows without the pipe, so the next delta is again one refresh's.
            mirror.Apply(std::move(delta));
            continue;
        }
        const std::string frame = EncodeReply(delta);
        wire = frame.size();
        auto decoded = DecodeReply(frame);
        if (!decoded.message || !mirror.Apply(std::get<TableDelta>(std::move(*decoded.message)))) {
            state.SkipWithError("the mirror lost the table");
            break;
        }
    }
    if (mirror.Size() != kRows) {
        state.SkipWithError("the mirror does not hold the table");
    }
    state.counters["wire"] = static_cast<double>(wire);
}

void BM_NothingChanged(benchmark::State& state) {
    Refresh(state, false);
}
void BM_EveryRowChanged(benchmark::State& state) {
    Refresh(state, true);
}

// The reference: the whole table in one frame, encoded and decoded.
void BM_WholeTableEveryRefresh(benchmark::State& state) {
    TableDelta whole;
    whole.reset = true;
    whole.added = Entries("FILE READ");
    std::size_t wire = 0;
    for (auto _ : state) {
        const std::string frame = EncodeReply(whole);
        wire = frame.size();
        benchmark::DoNotOptimize(DecodeReply(frame));
    }
    state.counters["wire"] = static_cast<double>(wire);
}

BENCHMARK(BM_NothingChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EveryRowChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeTableEveryRefresh)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace glimmerfen::pipe

BENCHMARK_MAIN();
