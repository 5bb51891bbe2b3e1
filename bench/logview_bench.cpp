// The log viewer's model on a large log, each step beside a reference in the same run:
// - loading and grouping a log of 1,000,000 lines (about 120 MB, a few hundred dates and users)
//   beside reading the same file once into memory, and beside `wc -l` of it;
// - the rows of the largest date (100,000 lines) selected;
// - Apply deletions (one user of one date marked) beside `cp` of the same file, with a thread that
//   appends a line every millisecond meanwhile, as the poll does, and the longest wait it met.
// Prints medians of several rounds and the peak resident set size that the load adds.
//
//   TZ=Asia/Tokyo logview_bench [rounds]     (default 5)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "generate_log.h"
#include "monitor/log/AccessLog.h"
#include "monitor/log/LoadedLog.h"

#include "timing.h"

namespace {

using namespace glimmerfen;
using namespace glimmerfen::bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Settle(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

double TimeCommand(const std::string& command) {
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    return status == 0 ? SecondsSince(start) : -1.0;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / ("glimmerfen-logview-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path source = dir / "source.txt";
    const fs::path log = dir / "log.txt";
    const fs::path copy = dir / "copy.txt";
    const std::string exeDir = (dir / "").string();
    const std::uintmax_t bytes = Generate(source);
    fs::copy_file(source, log, fs::copy_options::overwrite_existing);
    Settle(log);
    std::printf("log: %d lines, %.1f MB\n", kLines, static_cast<double>(bytes) / 1e6);

    // Memory first, in a process that has held nothing large yet.
    const long rssBefore = PeakRssKiB();
    std::size_t dates = 0;
    std::size_t users = 0;
    {
        LoadedLog loaded;
        if (loaded.Load(exeDir) != LogLoad::Loaded) {
            std::fprintf(stderr, "load failed\n");
            return 1;
        }
        dates = loaded.DateOrder().size();
        users = loaded.Users().size();
    }
    const long rssLoad = PeakRssKiB() - rssBefore;
    std::printf("%zu dates, %zu date/user groups; the load added %.1f MB to the peak resident set (%.2f times the "
                "file)\n",
                dates, users, rssLoad / 1024.0, rssLoad * 1024.0 / static_cast<double>(bytes));

    std::vector<double> readTimes, wcTimes, loadTimes, listTimes, cpTimes, applyTimes, waitTimes;
    std::vector<int> appendCounts;
    std::size_t listed = 0;
    std::size_t kept = 0;
    const std::string wc = "wc -l '" + log.string() + "' > /dev/null";
    const std::string cp = "cp '" + log.string() + "' '" + copy.string() + "'";
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        if (ReadOnce(log.string(), bytes) != bytes) {
            std::fprintf(stderr, "read failed\n");
            return 1;
        }
        readTimes.push_back(SecondsSince(start));
        wcTimes.push_back(TimeCommand(wc));

        LoadedLog loaded;
        start = Clock::now();
        loaded.Load(exeDir);
        const std::vector<std::uint32_t> order = loaded.DateOrder(); // what the tree is filled from
        loadTimes.push_back(SecondsSince(start));

        // The busiest date, as the tree would show it.
        std::uint32_t busiest = order.front();
        for (std::uint32_t d : order) {
            if (loaded.Dates()[d].rows > loaded.Dates()[busiest].rows) {
                busiest = d;
            }
        }
        start = Clock::now();
        listed = loaded.ListedRows(LogSelection::Date(loaded.Dates()[busiest].text)).size();
        listTimes.push_back(SecondsSince(start));

        // cp and Apply deletions, each from a log at rest and with nothing left to write back: the
        // result of each is written out (untimed) before the next step.
        std::error_code ignored;
        fs::remove(copy, ignored);
        ::sync();
        cpTimes.push_back(TimeCommand(cp));
        Settle(copy);
        const std::uint32_t user = loaded.Dates()[busiest].users.front();
        const std::size_t marked = loaded.MarkDeleted(
            LogSelection::User(loaded.Dates()[busiest].text, std::string(loaded.Users()[user].user)));
        ::sync();
        // Meanwhile the poll appends a line every millisecond; its longest wait is what Apply costs it.
        std::atomic<bool> applying{true};
        double longestWait = 0;
        int appends = 0;
        std::thread poll([&] {
            AccessLog appender(LogPathIn(exeDir), "logview_bench", AccessLog::Limits{});
            while (applying.load()) {
                const auto asked = Clock::now();
                appender.AppendLine(AccessLog::ComposeDisconnectLine(1700000000, "PC", "u", "m"));
                longestWait = std::max(longestWait, SecondsSince(asked));
                ++appends;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        start = Clock::now();
        const LogApply result = loaded.ApplyDeletions(exeDir, kLogChunkSize);
        applyTimes.push_back(SecondsSince(start));
        applying = false;
        poll.join();
        waitTimes.push_back(longestWait);
        appendCounts.push_back(appends);
        Settle(log);
        if (result != LogApply::Replaced) {
            std::fprintf(stderr, "apply failed\n");
            return 1;
        }
        kept = kLines - marked;
        fs::copy_file(source, log, fs::copy_options::overwrite_existing);
        Settle(log);
    }
    const double read = Median(readTimes), wcl = Median(wcTimes), load = Median(loadTimes);
    const double list = Median(listTimes), cpt = Median(cpTimes), apply = Median(applyTimes);
    const double wait = *std::max_element(waitTimes.begin(), waitTimes.end());
    std::printf("medians of %d rounds:\n", rounds);
    std::printf("  load and group %.1f ms; reading the file once %.1f ms (%.2f times); wc -l %.1f ms (%.2f times)\n",
                load * 1e3, read * 1e3, load / read, wcl * 1e3, load / wcl);
    std::printf("  rows of the busiest date (%zu) %.1f ms\n", listed, list * 1e3);
    std::printf("  Apply deletions (%zu lines kept) %.1f ms; cp %.1f ms (%.2f times as long)\n", kept, apply * 1e3,
                cpt * 1e3, apply / cpt);
    std::printf("  longest wait of an append (one every ms, %d to %d per Apply) while Apply ran: %.1f ms over all "
                "rounds\n",
                *std::min_element(appendCounts.begin(), appendCounts.end()),
                *std::max_element(appendCounts.begin(), appendCounts.end()), wait * 1e3);
    std::sort(applyTimes.begin(), applyTimes.end());
    std::sort(cpTimes.begin(), cpTimes.end());
    std::printf("  Apply deletions from %.1f to %.1f ms, cp from %.1f to %.1f ms\n", applyTimes.front() * 1e3,
                applyTimes.back() * 1e3, cpTimes.front() * 1e3, cpTimes.back() * 1e3);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
