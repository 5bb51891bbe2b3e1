#include "monitor/log/LogActivity.h"

#include <limits>

#include "monitor/log/LoadedLog.h"
#include "platform/clock.h"

namespace glimmerfen {
namespace {

constexpr int kMessageField = 9;

// Local hours of times that mostly come in order. Every time zone's offsets and changes fall on
// quarter hours, so when both ends of a quarter hour give the same local hour, every time inside it
// does too: a run of lines converts once per quarter hour, not once per line.
class LocalHours {
public:
    int Of(std::int32_t time) {
        constexpr std::int32_t kQuarter = 900;
        const std::int32_t bucket = time / kQuarter - ((time % kQuarter) < 0 ? 1 : 0);
        if (!known_ || bucket != bucket_) {
            known_ = true;
            bucket_ = bucket;
            hour_ = kMixed;
            const std::int64_t first = std::int64_t{bucket} * kQuarter;
            const std::int64_t last = first + kQuarter - 1;
            if (first >= std::numeric_limits<std::int32_t>::min() && last <= std::numeric_limits<std::int32_t>::max()) {
                const int a = platform::ToLocalTime(static_cast<std::int32_t>(first)).hour;
                if (a == platform::ToLocalTime(static_cast<std::int32_t>(last)).hour) {
                    hour_ = a;
                }
            }
        }
        return hour_ != kMixed ? hour_ : platform::ToLocalTime(time).hour;
    }

private:
    static constexpr int kMixed = -1;
    bool known_ = false;
    std::int32_t bucket_ = 0;
    int hour_ = kMixed;
};

} // namespace

std::array<HourBin, 24> CountByHour(const LoadedLog& log, const std::vector<std::uint32_t>& listed) {
    std::array<HourBin, 24> bins{};
    LocalHours hours;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::uint32_t row = listed[i];
        if (log.IsMarked(row)) {
            continue;
        }
        const int hour = hours.Of(LogFieldTime(log.Field(row, 0)));
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
