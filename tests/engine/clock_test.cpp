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

TEST(Clock, NowIsTheSystemTime) {
    const auto reference =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const std::int32_t now = platform::NowSeconds();
    EXPECT_LE(std::llabs(static_cast<long long>(now) - static_cast<long long>(reference)), 2);
    EXPECT_GE(ToLocalTime(now).year, 2024);
}

} // namespace
} // namespace glimmerfen
