// Local dates and hours of many instants, converted once per quarter hour instead of once per instant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "platform/clock.h"

namespace glimmerfen::platform {

// The civil date and time (proleptic Gregorian) of a number of seconds since 1970-01-01 00:00: the UTC
// parts of an instant, or the local parts of an instant already moved by its distance from UTC.
LocalTimeParts CivilTime(std::int64_t seconds);

// The local date and hour of an instant: the parts of ToLocalTime that a quarter hour shares.
struct LocalDateHour {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    bool operator==(const LocalDateHour&) const = default;
};

// Every time zone's offsets and changes fall on quarter hours, so when both ends of a quarter hour give
// the same local date and hour, every instant inside it does too: the first instant of a quarter hour
// converts its two ends, every later one costs a lookup. A quarter hour whose ends differ (a zone of
// old whose offset was not a whole number of quarter hours, or the last one a 32-bit count holds) is
// converted instant by instant, so the result is always what ToLocalTime gives.
//
// Instants mostly come in order (a log's lines), but need not: each quarter hour seen is remembered
// (up to kRemembered of them; then it starts afresh). The zone it learnt is not watched for changes.
//
// Parts gives the whole local time the same way: an instant of a quarter hour whose two ends lie the
// same distance from UTC is moved by that distance; any other is converted on its own.
class LocalTimeCache {
public:
    LocalDateHour Of(std::int32_t seconds) {
        // Floor division, so that negative instants also fall in whole quarter hours.
        const std::int32_t quarter = seconds / kQuarterSeconds - ((seconds % kQuarterSeconds) < 0 ? 1 : 0);
        // Inline for the common case: the quarter hour of the instant before.
        if (haveLast_ && quarter == lastQuarter_ && last_.uniform) {
            return last_.local;
        }
        return OfAnother(seconds, quarter);
    }
    LocalTimeParts Parts(std::int32_t seconds);

    static constexpr std::size_t kRemembered = 65536;

private:
    static constexpr std::int32_t kQuarterSeconds = 900;

    struct Quarter {
        bool uniform = false; // one local date and hour
        LocalDateHour local;
        bool oneOffset = false; // one distance from UTC, offset
        std::int64_t offset = 0;
    };
    LocalDateHour OfAnother(std::int32_t seconds, std::int32_t quarter);
    const Quarter& QuarterOf(std::int32_t quarter);

    std::unordered_map<std::int32_t, Quarter> quarters_;
    bool haveLast_ = false;
    std::int32_t lastQuarter_ = 0;
    Quarter last_;
};

} // namespace glimmerfen::platform
