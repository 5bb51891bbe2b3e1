// The clock's instants in local time. Expectations are for Asia/Tokyo (UTC+9, no daylight saving).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/localtime_cache.h"
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

TEST(Clock, NowIsTheSystemTime) {
    const auto reference =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::int32_t now = platform::NowSeconds();
    EXPECT_LE(std::llabs(static_cast<long long>(now) - static_cast<long long>(reference)), 2);
    EXPECT_GE(ToLocalTime(now).year, 2024);
}

// The quarter-hour cache gives what converting each instant on its own gives (the date and hour, and
// the whole local time), for instants in any order:
// around daylight saving changes (New York, Lord Howe's half hour), Kathmandu's move to +05:45, and in a
// zone whose offset was no whole number of quarter hours (Monrovia, -00:44:30 until 1972). On Windows
// the zone is the system's.
TEST(Clock, QuarterHourCacheGivesEachInstantsLocalDateAndHour) {
    std::vector<std::int32_t> times = {INT32_MIN, -1, 0, INT32_MAX - 1, INT32_MAX};
    for (const std::int32_t change : {63593070, 504901800, 1710054000, 1712415600, 1730613600}) {
        for (std::int32_t t = change - 2 * 86400; t < change + 2 * 86400; t += 61) {
            times.push_back(t);
        }
    }
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        times.push_back(static_cast<std::int32_t>(static_cast<std::int64_t>(random() % 2197483648u) - 50000000));
    }
    std::shuffle(times.begin(), times.end(), random);
#ifdef _WIN32
    const std::vector<std::string> zones = {""};
#else
    const std::vector<std::string> zones = {"America/New_York", "Australia/Lord_Howe", "Asia/Kathmandu",
                                            "Africa/Monrovia"};
    const char* before = std::getenv("TZ");
    const std::optional<std::string> previous = before == nullptr ? std::nullopt : std::optional<std::string>(before);
#endif
    for (const std::string& zone : zones) {
#ifndef _WIN32
        setenv("TZ", zone.c_str(), 1);
        tzset();
#endif
        platform::LocalTimeCache cache;
        for (const std::int32_t t : times) {
            const LocalTimeParts direct = ToLocalTime(t);
            const platform::LocalDateHour expected{direct.year, direct.month, direct.day, direct.hour};
            ASSERT_EQ(cache.Of(t), expected) << zone << ", instant " << t;
            const LocalTimeParts parts = cache.Parts(t);
            ASSERT_EQ(std::tie(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second),
                      std::tie(direct.year, direct.month, direct.day, direct.hour, direct.minute, direct.second))
                << zone << ", instant " << t;
        }
    }
#ifndef _WIN32
    if (previous) {
        setenv("TZ", previous->c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
#endif
}

} // namespace
} // namespace glimmerfen
