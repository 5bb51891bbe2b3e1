#include "platform/localtime_cache.h"

#include <limits>

namespace glimmerfen::platform {
namespace {

LocalDateHour DateHourOf(std::int32_t seconds) {
    const LocalTimeParts parts = ToLocalTime(seconds);
    return {parts.year, parts.month, parts.day, parts.hour};
}

} // namespace

LocalDateHour LocalTimeCache::OfAnother(std::int32_t seconds, std::int32_t quarter) {
    if (!haveLast_ || quarter != lastQuarter_) {
        last_ = QuarterOf(quarter);
        lastQuarter_ = quarter;
        haveLast_ = true;
    }
    return last_.uniform ? last_.local : DateHourOf(seconds);
}

const LocalTimeCache::Quarter& LocalTimeCache::QuarterOf(std::int32_t quarter) {
    auto [it, added] = quarters_.try_emplace(quarter);
    if (added) {
        const std::int64_t first = std::int64_t{quarter} * kQuarterSeconds;
        const std::int64_t last = first + kQuarterSeconds - 1;
        if (first >= std::numeric_limits<std::int32_t>::min() && last <= std::numeric_limits<std::int32_t>::max()) {
            const LocalDateHour a = DateHourOf(static_cast<std::int32_t>(first));
            if (a == DateHourOf(static_cast<std::int32_t>(last))) {
                it->second = {true, a};
            }
        }
    }
    return it->second;
}

} // namespace glimmerfen::platform
