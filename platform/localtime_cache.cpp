#include "platform/localtime_cache.h"

#include <limits>

namespace glimmerfen::platform {
namespace {

constexpr std::int64_t kDay = 86400;

LocalDateHour DateHourOf(const LocalTimeParts& parts) {
    return {parts.year, parts.month, parts.day, parts.hour};
}

LocalDateHour DateHourOf(std::int32_t seconds) {
    return DateHourOf(ToLocalTime(seconds));
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian), and back.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// Local minus UTC of a converted instant, in seconds.
std::int64_t OffsetOf(const LocalTimeParts& local, std::int64_t instant) {
    return DaysFromCivil(local.year, static_cast<unsigned>(local.month), static_cast<unsigned>(local.day)) * kDay +
           local.hour * 3600 + local.minute * 60 + local.second - instant;
}

} // namespace

LocalTimeParts CivilTime(std::int64_t seconds) {
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

LocalDateHour LocalTimeCache::OfAnother(std::int32_t seconds, std::int32_t quarter) {
    if (!haveLast_ || quarter != lastQuarter_) {
        last_ = QuarterOf(quarter);
        lastQuarter_ = quarter;
        haveLast_ = true;
    }
    return last_.uniform ? last_.local : DateHourOf(seconds);
}

LocalTimeParts LocalTimeCache::Parts(std::int32_t seconds) {
    const std::int32_t quarter = seconds / kQuarterSeconds - ((seconds % kQuarterSeconds) < 0 ? 1 : 0);
    if (!haveLast_ || quarter != lastQuarter_) {
        last_ = QuarterOf(quarter);
        lastQuarter_ = quarter;
        haveLast_ = true;
    }
    return last_.oneOffset ? CivilTime(seconds + last_.offset) : ToLocalTime(seconds);
}

const LocalTimeCache::Quarter& LocalTimeCache::QuarterOf(std::int32_t quarter) {
    if (quarters_.size() >= kRemembered) {
        quarters_.clear();
    }
    auto [it, added] = quarters_.try_emplace(quarter);
    if (added) {
        const std::int64_t first = std::int64_t{quarter} * kQuarterSeconds;
        const std::int64_t last = first + kQuarterSeconds - 1;
        // Before 1970 the system gives no local time (all zeros), which no offset describes.
        if (first >= 0 && last <= std::numeric_limits<std::int32_t>::max()) {
            const LocalTimeParts a = ToLocalTime(static_cast<std::int32_t>(first));
            const LocalTimeParts b = ToLocalTime(static_cast<std::int32_t>(last));
            Quarter& q = it->second;
            q.uniform = DateHourOf(a) == DateHourOf(b);
            q.local = DateHourOf(a);
            q.offset = OffsetOf(a, first);
            q.oneOffset = a.year != 0 && q.offset == OffsetOf(b, last);
        }
    }
    return it->second;
}

} // namespace glimmerfen::platform
