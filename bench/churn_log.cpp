// What a poll costs when every one of many entries is new and logged: the whole population is
// replaced before each poll, so each poll appends one access line per entry to a real "log.txt".
// Beside it, in the same process, the same number of lines appended one exclusive opening per line,
// which is how the poll used to write them. Then the same polls while another opening holds the log
// (the lines wait, up to 100,000), and the first poll after it lets go.
//
//   churn_log [entries] [rounds]     (defaults 10000 and 5)
//
// Builds on both layers; under Wine it measures the Win32 file layer:
//   scripts/wine-run build/win/bench/churn_log.exe
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeServer.h"
#include "monitor/log/AccessLog.h"
#include "monitor/AccessMonitor.h"
#include "platform/exclusive_file.h"
#include "settings/Settings.h"

#include "new_sessions.h"
#include "timing.h"

namespace {

using namespace glimmerfen;
using bench::Clock;
using bench::Median;
using bench::Milliseconds;

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("glimmerfen-churn-" + std::to_string(std::rand()));
    std::filesystem::create_directories(dir);
    const std::string logPath = (dir / "log.txt").string();

    AppSettings settings;
    settings.LogOut = 1;
    settings.CycleTime1 = 1000;
    settings.ViewTime = 0; // the previous population goes in the first poll that misses it
    testing::FakeServer server;
    AccessLog log(logPath, "churn_log", AccessLog::Limits{});
    AccessMonitor monitor(settings, server, &log);
    monitor.CreateTable();

    std::vector<double> polls;
    std::vector<double> perLine;
    bool lost = false;
    for (int r = 0; r < rounds; ++r) {
        bench::PopulateNewSessions(server, entries, r);
        const Clock::time_point start = Clock::now();
        lost = monitor.PollQuietly() || lost;
        polls.push_back(Milliseconds(Clock::now() - start));

        // The reference: the same lines, one opening each.
        const TableSnapshot table = monitor.Snapshot();
        std::vector<std::string> lines;
        for (const AccessEntry& e : table.entries) {
            lines.push_back(AccessLog::ComposeAccessLine(e));
        }
        const Clock::time_point refStart = Clock::now();
        for (const std::string& line : lines) {
            lost = !log.AppendLine(line) || lost;
        }
        perLine.push_back(Milliseconds(Clock::now() - refStart));
    }

    // Another program holds the log for heldRounds polls: the lines wait (up to the bound of 100,000
    // lines), and the first poll after it lets go writes them all ahead of its own.
    const int heldRounds = 100000 / entries + 1;
    auto countLines = [&] {
        std::FILE* file = std::fopen(logPath.c_str(), "rb");
        std::size_t lines = 0;
        for (int c; file != nullptr && (c = std::fgetc(file)) != EOF;) {
            lines += c == '\n' ? 1 : 0;
        }
        if (file != nullptr) {
            std::fclose(file);
        }
        return lines;
    };
    const std::size_t linesBefore = countLines();
    std::vector<double> heldPolls;
    platform::ExclusiveFile holder;
    holder.Open(logPath, platform::FileOpenMode::ReadWriteAlways);
    for (int r = 0; r < heldRounds; ++r) {
        bench::PopulateNewSessions(server, entries, rounds + r);
        const Clock::time_point start = Clock::now();
        monitor.PollQuietly();
        heldPolls.push_back(Milliseconds(Clock::now() - start));
    }
    const std::size_t waiting = log.WaitingLines();
    holder.Close();
    bench::PopulateNewSessions(server, entries, rounds + heldRounds);
    const Clock::time_point flushStart = Clock::now();
    monitor.PollQuietly();
    const double flush = Milliseconds(Clock::now() - flushStart);
    const std::size_t written = countLines() - linesBefore;
    const std::size_t dropped =
        static_cast<std::size_t>(heldRounds + 1) * static_cast<std::size_t>(entries) + 1 - written;

    const auto size = std::filesystem::file_size(logPath);
    std::filesystem::remove_all(dir);

    std::printf("%d new entries per poll, %d rounds, log %llu bytes at the end%s\n", entries, rounds,
                static_cast<unsigned long long>(size), lost ? ", LINES LOST" : "");
    std::printf("poll with its lines through one opening: median %.1f ms\n", Median(polls));
    std::printf("the same lines one opening each:        median %.1f ms\n", Median(perLine));
    std::printf("log held by another opening for %d polls: median poll %.1f ms, %zu lines waiting at the end\n",
                heldRounds, Median(heldPolls), waiting);
    std::printf("the first poll after it let go wrote %zu lines (the waiting ones, one for the %zu dropped, its own) "
                "in %.1f ms\n",
                written, dropped, flush);
    return lost ? 1 : 0;
}
