// The clock's instants in local time. Expectations are for Asia/Tokyo (UTC+9, no daylight saving).
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "engine/time_zone_fixture.h"

namespace glimmerfen {
namespace {

using platform::LocalTimeParts;
using platform::ToLocalTime;

using TokyoTimeTest = test::TokyoZoneTest;

struct LocalCase {
    std::int32_t seconds;
    LocalTimeParts expected;
};

void ExpectParts(const LocalTimeParts& actual, const LocalTimeParts& expected, std::int32_t seconds) {
    EXPECT_EQ(actual.year, expected.year) << seconds;
    EXPECT_EQ(actual.month, expected.month) << seconds;
    EXPECT_EQ(actual.day, expected.day) << seconds;
    EXPECT_EQ(actual.hour, expected.hour) << seconds;
    EXPECT_EQ(actual.minute, expected.minute) << seconds;
    EXPECT_EQ(actual.second, expected.second) << seconds;
}

TEST_F(TokyoTimeTest, InstantsInLocalTime) {
    const std::vector<LocalCase> cases = {
        {0, {1970, 1, 1, 9, 0, 0}},
        {1700000000, {2023, 11, 15, 7, 13, 20}},
        // The local date changes at 15:00 UTC.
        {1699973999, {2023, 11, 14, 23, 59, 59}},
        {1699974000, {2023, 11, 15, 0, 0, 0}},
        {1709218799, {2024, 2, 29, 23, 59, 59}},
        // The last instant a 32-bit count holds.
        {2147483647, {2038, 1, 19, 12, 14, 7}},
    };
    for (const LocalCase& c : cases) {
        ExpectParts(ToLocalTime(c.seconds), c.expected, c.seconds);
    }
}

TEST(Clock, InstantsBefore1970GiveZeros) {
    for (const std::int32_t seconds : {-1, -86400, INT32_MIN}) {
        ExpectParts(ToLocalTime(seconds), LocalTimeParts{}, seconds);
    }
}

// The cache against the system's own conversion, instant by instant, across daylight-saving changes of
// an hour and of half an hour, in a zone 5:45 from UTC, and across a change inside a quarter hour
// (Monrovia left -0:44:30 in 1972) (natively; on Windows in the system's zone).
TEST(Clock, CachedLocalTimesAreTheSystemsOwn) {
    struct Zone {
        const char* name;
        std::vector<std::int32_t> changes; // instants in 2026 at which the offset changes
    };
    std::vector<Zone> zones = {
        {"America/New_York", {1772953200, 1793512800}},
        {"Australia/Lord_Howe", {1775314800, 1791041400}},
        {"Europe/London", {1774746000, 1792890000}},
        {"Asia/Kathmandu", {}},
        {"Africa/Monrovia", {63593070}},
    };
#ifdef _WIN32
    zones = {{nullptr, {}}};
#else
    const char* previous = std::getenv("TZ");
    const std::optional<std::string> restore = previous ? std::optional<std::string>(previous) : std::nullopt;
#endif
    for (const Zone& zone : zones) {
#ifndef _WIN32
        setenv("TZ", zone.name, 1);
        tzset();
#endif
        std::vector<std::int32_t> instants = {0, 899, 900, 2147483647, 2147482800, -1, -900, INT32_MIN};
        for (std::int32_t t = 1767225600; t < 1798761600; t += 3599) { // 2026, hour by hour and drifting
            instants.push_back(t);
        }
        for (const std::int32_t change : zone.changes) {
            for (std::int32_t t = change - 3600; t <= change + 3600; ++t) {
                instants.push_back(t);
            }
        }
        platform::LocalTimeCache cache;
        for (const std::int32_t t : instants) {
            const LocalTimeParts cached = cache.Of(t);
            const LocalTimeParts system = ToLocalTime(t);
            if (cached.year != system.year || cached.month != system.month || cached.day != system.day ||
                cached.hour != system.hour || cached.minute != system.minute || cached.second != system.second) {
                ADD_FAILURE() << (zone.name ? zone.name : "system zone") << " at " << t;
                break;
            }
        }
    }
#ifndef _WIN32
    if (restore) {
        setenv("TZ", restore->c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
#endif
}

TEST(Clock, NowIsTheSystemTime) {
    const auto reference =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::int32_t now = platform::NowSeconds();
    EXPECT_LE(std::llabs(static_cast<long long>(now) - static_cast<long long>(reference)), 2);
    EXPECT_GE(ToLocalTime(now).year, 2024);
}

} // namespace
} // namespace glimmerfen
