// Find in the log on a large log: SearchRows on the generated 1,000,000-line log (about 120 MB) for a
// word no line holds, a rare word, a common word and two words, each beside a plain scan of the same
// loaded bytes in the same run: memmem counting every occurrence of the word as the log spells it
// (case-sensitive, no fields, no rows; for two words, one scan per word). The rows found are checked
// against the straightforward search (each searched field of each row upper-cased and searched), whose
// time is printed too. Prints medians of several rounds and the memory each search's result takes,
// then the time the activity strip's counts take for the busiest date and for a search's many rows.
//
//   TZ=Asia/Tokyo search_bench [rounds [query...]]                  (default 5; code page 1252)
//   TZ=Asia/Tokyo LANG=ja_JP.UTF-8 search_bench [rounds [query...]]  (code page 932: boundaries checked)
// A query given on the command line is searched too, and scanned by memmem as typed.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "generate_log.h"
#include "monitor/log/LoadedLog.h"
#include "monitor/log/LogActivity.h"
#include "monitor/log/LogSearch.h"
#include "platform/ansitext.h"
#include "platform/codepage.h"

#include "timing.h"

namespace {

using namespace glimmerfen;
using namespace glimmerfen::bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::size_t CountOccurrences(std::string_view bytes, const std::string& word) {
    std::size_t count = 0;
    const char* at = bytes.data();
    const char* end = bytes.data() + bytes.size();
    while (at < end) {
        const void* hit = memmem(at, static_cast<std::size_t>(end - at), word.data(), word.size());
        if (hit == nullptr) {
            break;
        }
        ++count;
        at = static_cast<const char*>(hit) + 1;
    }
    return count;
}

// The search written the straightforward way: an upper-cased copy of each searched field of each row.
std::vector<std::uint32_t> PlainSearch(const LoadedLog& log, const std::vector<std::string>& words) {
    std::vector<std::string> upper;
    for (const std::string& word : words) {
        upper.push_back(AnsiUpper(word));
    }
    std::vector<std::uint32_t> rows;
    for (std::size_t row = 0; row < log.RowCount(); ++row) {
        if (log.IsMarked(row)) {
            continue;
        }
        std::string fields[5];
        int k = 0;
        for (int field : {1, 2, 7, 8, 9}) {
            fields[k++] = AnsiUpper(log.Field(row, field));
        }
        const bool all = std::all_of(upper.begin(), upper.end(), [&](const std::string& word) {
            return std::any_of(std::begin(fields), std::end(fields),
                               [&](const std::string& field) { return field.find(word) != std::string::npos; });
        });
        if (all) {
            rows.push_back(static_cast<std::uint32_t>(row));
        }
    }
    return rows;
}

struct Case {
    const char* what;
    std::string typed;              // as a user types it
    std::vector<std::string> words; // the words as the log spells them, for memmem and the plain search
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const fs::path dir = fs::temp_directory_path() / ("glimmerfen-search-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::uintmax_t size = Generate(dir / "log.txt");
    LoadedLog log;
    if (log.Load((dir / "").string()) != LogLoad::Loaded) {
        std::fprintf(stderr, "load failed\n");
        return 1;
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    std::printf("log: %zu lines, %.1f MB; code page %u\n", log.RowCount(), static_cast<double>(size) / 1e6,
                platform::AnsiCodePage());

    const std::vector<Case> cases = {
        {"a word no line holds", "budget.xls", {"budget.xls"}},
        {"a rare word (a computer)", "pc-117", {"PC-117"}},
        {"a common word (an operation)", "file", {"FILE"}},
        {"two words (a user, a folder)", "user007 minutes", {"user007", "minutes"}},
    };
    // More queries from the command line, scanned by memmem as typed.
    std::vector<Case> all = cases;
    for (int i = 2; i < argc; ++i) {
        Case extra{"given", argv[i], {}};
        std::string word;
        for (const char* p = argv[i];; ++p) {
            if (*p == ' ' || *p == '\t' || *p == '\0') {
                if (!word.empty()) {
                    extra.words.push_back(word);
                }
                word.clear();
                if (*p == '\0') {
                    break;
                }
            } else {
                word.push_back(*p);
            }
        }
        all.push_back(extra);
    }
    std::printf("medians of %d rounds:\n", rounds);
    std::printf("| query | rows found | SearchRows | memmem of the same bytes | memmem / SearchRows | "
                "straightforward search | result's memory |\n|---|---:|---:|---:|---:|---:|---:|\n");
    for (const Case& c : all) {
        const LogQuery query(c.typed);
        std::vector<double> searchTimes, scanTimes, plainTimes;
        std::vector<std::uint32_t> found;
        std::size_t capacity = 0;
        std::size_t occurrences = 0;
        for (int round = 0; round < rounds; ++round) {
            auto start = Clock::now();
            std::optional<std::vector<std::uint32_t>> rows = SearchRows(log, query, [] { return false; });
            searchTimes.push_back(SecondsSince(start));
            found = std::move(*rows);
            capacity = found.capacity();

            start = Clock::now();
            occurrences = 0;
            for (const std::string& word : c.words) {
                occurrences += CountOccurrences(log.Bytes(), word);
            }
            scanTimes.push_back(SecondsSince(start));
        }
        // The check against the straightforward search, timed once: it is slow.
        const auto start = Clock::now();
        const std::vector<std::uint32_t> plain = PlainSearch(log, c.words);
        plainTimes.push_back(SecondsSince(start));
        if (plain != found) {
            std::fprintf(stderr, "\"%s\": %zu rows, the straightforward search found %zu\n", c.typed.c_str(),
                         found.size(), plain.size());
            return 1;
        }
        const double search = Median(searchTimes), scan = Median(scanTimes);
        std::printf("| \"%s\" (%s) | %zu | %.1f ms | %.1f ms (%zu occurrences) | %.2f | %.0f ms | %zu rows x 4 B = "
                    "%.2f MB (capacity %.2f MB) |\n",
                    c.typed.c_str(), c.what, found.size(), search * 1e3, scan * 1e3, occurrences, scan / search,
                    plainTimes.front() * 1e3, found.size(), found.size() * 4 / 1e6, capacity * 4 / 1e6);
    }

    // The strip's counts, made on the window's thread once per selection or search.
    const std::vector<std::uint32_t> order = log.DateOrder();
    std::uint32_t busiest = order.front();
    for (std::uint32_t d : order) {
        if (log.Dates()[d].rows > log.Dates()[busiest].rows) {
            busiest = d;
        }
    }
    const std::vector<std::uint32_t> day = log.ListedRows(LogSelection::Date(log.Dates()[busiest].text));
    const std::vector<std::uint32_t> common = *SearchRows(log, LogQuery("file"));
    std::vector<double> hourTimes, dateTimes;
    std::uint64_t total = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (const HourBin& bin : CountByHour(log, day)) {
            total += bin.accesses + bin.disconnections;
        }
        hourTimes.push_back(SecondsSince(start));
        start = Clock::now();
        for (const DateBin& bin : CountByDate(log, common)) {
            total += bin.lines;
        }
        dateTimes.push_back(SecondsSince(start));
    }
    std::printf("activity counts: per hour of the busiest date (%zu rows) %.2f ms; per date of the %zu rows of "
                "\"file\" %.2f ms (%llu lines counted)\n",
                day.size(), Median(hourTimes) * 1e3, common.size(), Median(dateTimes) * 1e3,
                static_cast<unsigned long long>(total));
    return 0;
}
