// Wall clock and local time.
#pragma once

#include <cstdint>

namespace glimmerfen::platform {

// Current time in seconds since 1970-01-01 00:00 UTC.
std::int32_t NowSeconds();

struct LocalTimeParts {
    int year = 0;   // four digits
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0; // 0 to 59
    int second = 0; // 0 to 60
};

// The instant in the system's local time. An instant the system cannot convert gives all zeros.
LocalTimeParts ToLocalTime(std::int32_t seconds);

} // namespace glimmerfen::platform
