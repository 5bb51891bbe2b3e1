#include "monitor/log/LogActivity.h"

#include "monitor/log/LoadedLog.h"
#include "platform/localtime_cache.h"

namespace glimmerfen {
namespace {

constexpr int kMessageField = 9;

} // namespace

std::array<HourBin, 24> CountByHour(const LoadedLog& log, const std::vector<std::uint32_t>& listed) {
    std::array<HourBin, 24> bins{};
    platform::LocalTimeCache localTimes;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::uint32_t row = listed[i];
        if (log.IsMarked(row)) {
            continue;
        }
        const int hour = localTimes.Of(LogFieldTime(log.Field(row, 0))).hour;
        if (hour < 0 || hour >= 24) {
            continue; // no local hour the system knows of
        }
        HourBin& bin = bins[static_cast<std::size_t>(hour)];
        if (log.Field(row, kMessageField).empty()) {
            ++bin.accesses;
        } else {
            ++bin.disconnections;
        }
        if (bin.first == kNoListedLine) {
            bin.first = static_cast<std::uint32_t>(i);
        }
    }
    return bins;
}

std::vector<DateBin> CountByDate(const LoadedLog& log, const std::vector<std::uint32_t>& listed) {
    const std::vector<std::uint32_t> order = log.DateOrder();
    // Where each date's bin is, by the date's index.
    std::vector<std::uint32_t> binOf(log.Dates().size(), kNoListedLine);
    std::vector<DateBin> bins(order.size());
    for (std::size_t b = 0; b < order.size(); ++b) {
        bins[b].date = order[b];
        binOf[order[b]] = static_cast<std::uint32_t>(b);
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::uint32_t row = listed[i];
        if (log.IsMarked(row)) {
            continue;
        }
        const std::uint32_t b = binOf[log.Users()[log.GroupOf(row)].date];
        if (b == kNoListedLine) {
            continue;
        }
        ++bins[b].lines;
        if (bins[b].first == kNoListedLine) {
            bins[b].first = static_cast<std::uint32_t>(i);
        }
    }
    return bins;
}

} // namespace glimmerfen
