// Start-up trimming of a large log beside a plain copy of the same file with cp, in the same run.
//
// A log of 1,000,000 realistic lines (about 120 MB) is generated once; its times run from six days
// before "now" to "now", so that LogSetDays 3 removes the older half. Each iteration restores
// log.txt from the generated file (untimed), copies it with cp to a new file and over that copy,
// restores it again and trims it. At the end the ratios of the medians and the peak resident set
// size of this process are printed: the trimming streams the file, so its memory must not grow with
// the file.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "monitor/log/LogRetention.h"

namespace glimmerfen {
namespace {

namespace fs = std::filesystem;

constexpr int kLines = 1000000;
constexpr std::int32_t kNow = 1700000000;
constexpr int kDays = 3;
constexpr std::int32_t kSpan = 6 * 86400;

struct Workspace {
    fs::path dir;
    fs::path source; // the generated log, never changed
    std::string exeDir;
    fs::path log;
    fs::path copy;
    std::uintmax_t bytes = 0;
    std::size_t keptLines = 0;
};

Workspace& Space() {
    static Workspace space;
    return space;
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Access lines of sessions and open files and a few disconnect lines, with the field contents a
// small office produces.
void Generate(Workspace& space) {
    static const char* const kClients[] = {"PC-ACCOUNTING01", "PC-SALES-12", "LAPTOP-7F3K2", "192.168.10.45",
                                           "CAD-WS3"};
    static const char* const kUsers[] = {"tanaka", "suzuki", "administrator", "j.smith", "guest"};
    static const char* const kOperations[] = {"FILE READ", "FILE WRITE", "FILE READ", "FILE CREATE"};
    static const char* const kPaths[] = {
        "C:\\Share\\Projects\\2023\\Customer estimates\\Northern region\\estimate_final_v3.xlsx",
        "C:\\Share\\Common\\General affairs\\minutes\\2023-11\\meeting-notes-1114-board.docx",
        "D:\\Public\\Photos\\2023 company event\\selected for the newsletter\\IMG_2041.JPG",
        "C:\\Share\\Projects\\2023\\Customer estimates"};
    std::mt19937 random(12345);
    std::ofstream out(space.source, std::ios::binary | std::ios::trunc);
    std::vector<char> buffer(1 << 20);
    out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::int64_t cutoff = std::int64_t{kNow} - kDays * 86400;
    char line[512];
    for (int i = 0; i < kLines; ++i) {
        const std::int32_t time = kNow - kSpan + static_cast<std::int32_t>(std::int64_t{kSpan} * i / kLines) -
                                  static_cast<std::int32_t>(random() % 600);
        const char* client = kClients[random() % 5];
        const char* user = kUsers[random() % 5];
        const unsigned kind = random() % 10;
        int length = 0;
        if (kind < 3) { // session
            length = std::snprintf(line, sizeof line,
                                   "%d\t%s\t%s\t2023-11-%02d %02d:%02d:%02d\tNOENCRYPTION\tWindows 10 "
                                   "Enterprise 19045\t0\t\t\t\t\r\n",
                                   time, client, user, 9 + i * 6 / kLines, i % 24, i % 60, (i * 7) % 60);
        } else if (kind < 9) { // open file
            length = std::snprintf(line, sizeof line, "%d\t\t%s\t2023-11-%02d %02d:%02d:%02d\t\t\t%u\t%s\t%s\t\t\r\n",
                                   time, user, 9 + i * 6 / kLines, i % 24, i % 60, (i * 7) % 60,
                                   static_cast<unsigned>(random() % 100000), kOperations[random() % 4],
                                   kPaths[random() % 4]);
        } else { // disconnection
            length = std::snprintf(line, sizeof line,
                                   "%d\t%s\t%s\t2023-11-%02d %02d:%02d:%02d\t\t\t\t\t\tDisconnect automatically for "
                                   "the Denied PC\t\r\n",
                                   time, client, user, 9 + i * 6 / kLines, i % 24, i % 60, (i * 7) % 60);
        }
        out.write(line, length);
        if (cutoff < time) {
            ++space.keptLines;
        }
    }
    out.close();
    space.bytes = fs::file_size(space.source);
}

// Waits until the file's data is on the disk. A log met at start-up has been at rest for a while;
// a file still being written back would slow down whatever runs beside the writeback.
void Settle(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void Restore(const Workspace& space, const fs::path& to) {
    fs::copy_file(space.source, to, fs::copy_options::overwrite_existing);
    Settle(to);
}

std::vector<double> trimSeconds;
std::vector<double> copySeconds;
std::vector<double> overwriteSeconds;
std::vector<double> removeSeconds;
std::vector<double> removeCpuSeconds;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double TimeCommand(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = SecondsSince(start);
    return status == 0 ? seconds : -1.0;
}

// Each iteration copies the log with cp twice, to a new file and then over that copy, and trims it,
// one right after the other, so that all three meet the same load on this shared machine. Every one
// starts from files at rest and a disk with nothing left to write. The second cp, like the trimming,
// has to discard a file of the log's size (the trimming discards the old log when the kept lines
// take its place). Last, a copy of the log at rest is removed: the trimming leaves that part, the
// release of the old log's storage, to a thread of its own. The iteration's time is that of the
// trimming.
void BM_TrimLogBesideCp(benchmark::State& state) {
    const Workspace& space = Space();
    const std::string command = "cp '" + space.log.string() + "' '" + space.copy.string() + "'";
    for (auto _ : state) {
        Restore(space, space.log);
        std::error_code ignored;
        fs::remove(space.copy, ignored);
        ::sync();
        const double copy = TimeCommand(command);
        Settle(space.copy);
        const double overwrite = TimeCommand(command);
        Settle(space.copy);
        if (copy < 0 || overwrite < 0) {
            state.SkipWithError("cp failed");
            return;
        }

        Restore(space, space.log);
        ::sync();
        const auto start = std::chrono::steady_clock::now();
        TrimLog(space.exeDir, kDays, kNow);
        const double trim = SecondsSince(start);
        Settle(space.log);

        ::sync();
        const auto removeStart = std::chrono::steady_clock::now();
        const double removeCpuStart = ThreadCpuSeconds();
        fs::remove(space.copy, ignored);
        const double remove = SecondsSince(removeStart);
        removeCpuSeconds.push_back(ThreadCpuSeconds() - removeCpuStart);

        state.SetIterationTime(trim);
        copySeconds.push_back(copy);
        overwriteSeconds.push_back(overwrite);
        trimSeconds.push_back(trim);
        removeSeconds.push_back(remove);
        state.counters["cp_new_ms"] = copy * 1e3;
        state.counters["cp_over_ms"] = overwrite * 1e3;
        state.counters["rm_ms"] = remove * 1e3;
        state.counters["trim_per_cp_new"] = trim / copy;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * space.bytes));
}

BENCHMARK(BM_TrimLogBesideCp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1)->Repetitions(9);

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Counts the lines of the trimmed log, to show the run did what it should.
std::size_t CountLines(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::size_t lines = 0;
    while (std::getline(in, line)) {
        ++lines;
    }
    return lines;
}

} // namespace
} // namespace glimmerfen

int main(int argc, char** argv) {
    using namespace glimmerfen;
    Workspace& space = Space();
    space.dir = fs::temp_directory_path() / ("glimmerfen-trim-bench-" + std::to_string(getpid()));
    fs::create_directories(space.dir);
    space.source = space.dir / "source.txt";
    space.exeDir = (space.dir / "").string();
    space.log = space.dir / "log.txt";
    space.copy = space.dir / "copy.txt";
    Generate(space);
    const long rssBefore = PeakRssKiB();
    std::printf("log: %d lines, %.1f MB, %zu younger than the cut-off\n", kLines, space.bytes / 1e6, space.keptLines);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const long rssAfter = PeakRssKiB();
    const std::size_t trimmedLines = CountLines(space.log);
    const double trim = Median(trimSeconds);
    const double copy = Median(copySeconds);
    const double overwrite = Median(overwriteSeconds);
    const double remove = Median(removeSeconds);
    std::printf("medians: TrimLog %.1f ms, cp to a new file %.1f ms, cp over an existing copy %.1f ms\n", trim * 1e3,
                copy * 1e3, overwrite * 1e3);
    std::printf("removing a copy of the log at rest (left to a background thread by the trimming): %.1f ms, "
                "of it %.1f ms CPU\n",
                remove * 1e3, Median(removeCpuSeconds) * 1e3);
    std::printf("trimming takes %.2f times as long as cp to a new file, %.2f times as long as cp over a copy\n",
                copy > 0 ? trim / copy : 0.0, overwrite > 0 ? trim / overwrite : 0.0);
    std::printf("peak RSS of this process: %ld KiB before the runs, %ld KiB after (file %.1f MB)\n", rssBefore,
                rssAfter, space.bytes / 1e6);
    std::printf("lines left after the last trim: %zu (expected %zu)\n", trimmedLines, space.keptLines);
    std::error_code ignored;
    fs::remove_all(space.dir, ignored);
    return trimmedLines == space.keptLines || trimSeconds.empty() ? 0 : 1;
}
