// The log viewer's CSV export of a listing of 100,000 lines (the busiest date of the generated log),
// beside writing the same bytes to a new file with one fwrite and beside `cp` of the written file.
// Prints medians of several rounds.
//
//   TZ=Asia/Tokyo csv_bench [rounds]                       (default 5; code page 1252)
//   TZ=Asia/Tokyo LANG=ja_JP.UTF-8 csv_bench [rounds]      (code page 932: the conversion goes through iconv)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generate_log.h"
#include "monitor/log/LoadedLog.h"
#include "monitor/log/LogCsv.h"
#include "platform/codepage.h"

#include "timing.h"

namespace {

using namespace glimmerfen;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using bench::Median;
using bench::SecondsSince;

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / ("glimmerfen-csv-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string exeDir = (dir / "").string();
    bench::Generate(dir / "log.txt");
    LoadedLog log;
    if (log.Load(exeDir) != LogLoad::Loaded) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    std::uint32_t busiest = 0;
    for (std::uint32_t d = 0; d < log.Dates().size(); ++d) {
        if (log.Dates()[d].rows > log.Dates()[busiest].rows) {
            busiest = d;
        }
    }
    const std::vector<std::uint32_t> rows = log.ListedRows(LogSelection::Date(log.Dates()[busiest].text));
    const std::vector<std::string> headers = {"Client name",         "User name",   "Connection start time",
                                              "User Identification", "Client type", "Process ID",
                                              "Operation",           "Path name",   "Message for disconnect"};
    const std::string csv = (dir / "export.csv").string();
    const std::string plain = (dir / "plain.csv").string();
    const std::string copy = (dir / "copy.csv").string();
    const std::string cp = "cp '" + csv + "' '" + copy + "'";

    std::vector<double> exportTimes, fwriteTimes, cpTimes;
    std::uintmax_t size = 0;
    for (int round = 0; round < rounds; ++round) {
        fs::remove(csv);
        auto start = Clock::now();
        if (!WriteLogCsv(csv, headers, log, rows)) {
            std::fprintf(stderr, "export failed\n");
            return 1;
        }
        exportTimes.push_back(SecondsSince(start));
        size = fs::file_size(csv);

        // The same bytes, already made, written to a new file at once.
        std::string bytes(size, '\0');
        std::FILE* in = std::fopen(csv.c_str(), "rb");
        const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), in);
        std::fclose(in);
        fs::remove(plain);
        start = Clock::now();
        std::FILE* out = std::fopen(plain.c_str(), "wb");
        const std::size_t put = std::fwrite(bytes.data(), 1, got, out);
        std::fclose(out);
        fwriteTimes.push_back(SecondsSince(start));
        if (put != size) {
            std::fprintf(stderr, "fwrite failed\n");
            return 1;
        }

        fs::remove(copy);
        start = Clock::now();
        if (std::system(cp.c_str()) != 0) {
            std::fprintf(stderr, "cp failed\n");
            return 1;
        }
        cpTimes.push_back(SecondsSince(start));
    }
    const double exportTime = Median(exportTimes);
    std::printf("code page %u: %zu lines, %.1f MB of CSV, medians of %d rounds\n", platform::AnsiCodePage(),
                rows.size(), static_cast<double>(size) / 1e6, rounds);
    std::printf("export              %8.1f ms\n", exportTime * 1e3);
    std::printf("one fwrite          %8.1f ms  (export takes %.1f times as long)\n", Median(fwriteTimes) * 1e3,
                exportTime / Median(fwriteTimes));
    std::printf("cp of the CSV file  %8.1f ms  (export takes %.1f times as long)\n", Median(cpTimes) * 1e3,
                exportTime / Median(cpTimes));
    fs::remove_all(dir);
    return 0;
}
