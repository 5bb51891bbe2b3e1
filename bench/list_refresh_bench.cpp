// The access list's refresh outside the control: the rows made from the table's entries and their
// difference from the rows on show, for 10,000 rows that all changed (every file's operation and
// picture) and for 10,000 rows replaced by new entries. Reference: copying the 10,000 rows, the least any refresh
// that hands the rows to the window's thread does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "monitor/AccessTable.h"
#include "ui/list/ListLogic.h"

namespace glimmerfen::ui {
namespace {

constexpr int kRows = 10000;

std::vector<AccessEntry> Entries(int firstKey, std::uint32_t connected, const char* operation) {
    std::vector<AccessEntry> entries(kRows);
    char text[64];
    for (int i = 0; i < kRows; ++i) {
        AccessEntry& e = entries[static_cast<std::size_t>(i)];
        e.key = firstKey + i;
        std::snprintf(text, sizeof text, "PC%05d", firstKey + i);
        e.clientName = text;
        std::snprintf(text, sizeof text, "user%05d", firstKey + i);
        e.userName = text;
        e.openCount = i % 7;
        e.startTimeText = "2026/12/07 09:00:00";
        e.connectedSeconds = connected + static_cast<std::uint32_t>(i);
        std::snprintf(text, sizeof text, "%u:%02u:%02u", e.connectedSeconds / 3600, e.connectedSeconds / 60 % 60,
                      e.connectedSeconds % 60);
        e.connectedText = text;
        e.idleText = "0:00:00";
        e.clientType = "Windows 10 Pro";
        e.operation = operation;
        std::snprintf(text, sizeof text, "C:\\share\\dir%d\\report%05d.docx", i % 50, i);
        e.pathName = text;
        e.staleSeconds = operation[5] == 'W' ? 2.0f : 0.0f;
    }
    return entries;
}

std::vector<ListRow> Rows(const std::vector<AccessEntry>& entries) {
    std::vector<ListRow> rows;
    rows.reserve(entries.size());
    for (const AccessEntry& e : entries) {
        rows.push_back(MakeListRow(e));
    }
    return rows;
}

void Refresh(benchmark::State& state, int nextFirstKey, const char* nextOperation) {
    const std::vector<ListRow> shown = Rows(Entries(0, 100, "FILE READ"));
    const std::vector<AccessEntry> next = Entries(nextFirstKey, 101, nextOperation);
    std::size_t changes = 0;
    for (auto _ : state) {
        const std::vector<ListRow> wanted = Rows(next);
        const std::vector<RowChange> diff = DiffRows(shown, wanted);
        changes = diff.size();
        benchmark::DoNotOptimize(diff.data());
    }
    state.counters["changes"] = static_cast<double>(changes);
}

void BM_AllRowsChanged(benchmark::State& state) {
    Refresh(state, 0, "FILE WRITE");
}
BENCHMARK(BM_AllRowsChanged)->Unit(benchmark::kMillisecond);

void BM_AllRowsReplaced(benchmark::State& state) {
    Refresh(state, kRows, "FILE READ");
}
BENCHMARK(BM_AllRowsReplaced)->Unit(benchmark::kMillisecond);

void BM_Reference_CopyRows(benchmark::State& state) {
    const std::vector<ListRow> rows = Rows(Entries(0, 100, "FILE READ"));
    for (auto _ : state) {
        std::vector<ListRow> copy = rows;
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_Reference_CopyRows)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace glimmerfen::ui

BENCHMARK_MAIN();
