// Local time of many instants through the system's conversion of a few.
#include "platform/clock.h"

#include <limits>

namespace glimmerfen::platform {
namespace {

constexpr std::int64_t kQuarter = 900;
constexpr std::int64_t kDay = 86400;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

LocalTimeParts CivilFromSeconds(std::int64_t seconds) {
    std::int64_t days = seconds / kDay;
    std::int64_t rest = seconds % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    LocalTimeParts parts;
    parts.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    parts.year = static_cast<int>(yearOfEra + era * 400 + (parts.month <= 2 ? 1 : 0));
    parts.hour = static_cast<int>(rest / 3600);
    parts.minute = static_cast<int>(rest / 60 % 60);
    parts.second = static_cast<int>(rest % 60);
    return parts;
}

// Local minus UTC at an instant, in seconds; false when the system could not convert it.
bool OffsetAt(std::int64_t instant, std::int64_t& offset) {
    const LocalTimeParts t = ToLocalTime(static_cast<std::int32_t>(instant));
    if (t.year == 0) {
        return false;
    }
    const std::int64_t local =
        DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) * kDay + t.hour * 3600 +
        t.minute * 60 + t.second;
    offset = local - instant;
    return true;
}

} // namespace

LocalTimeParts LocalTimeCache::Of(std::int32_t seconds) {
    const std::int64_t quarter = (seconds >= 0 ? seconds : seconds - (kQuarter - 1)) / kQuarter;
    Slot& slot = slots_[static_cast<std::uint64_t>(quarter) % (sizeof slots_ / sizeof slots_[0])];
    if (slot.quarter != quarter) {
        slot.quarter = quarter;
        const std::int64_t first = quarter * kQuarter;
        const std::int64_t last = first + kQuarter - 1;
        std::int64_t atLast = 0;
        slot.uniform = first >= 0 && last <= std::numeric_limits<std::int32_t>::max() && OffsetAt(first, slot.offset) &&
                       OffsetAt(last, atLast) && slot.offset == atLast;
    }
    return slot.uniform ? CivilFromSeconds(seconds + slot.offset) : ToLocalTime(seconds);
}

} // namespace glimmerfen::platform
