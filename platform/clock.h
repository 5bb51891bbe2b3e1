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

// ToLocalTime for many instants, asking the system twice per quarter hour instead of once per
// instant. Every time zone's offsets and their changes fall on quarter hours: when both ends of a
// quarter hour are the same distance from UTC, every instant inside it is too, and its local time is
// the instant moved by that distance. A quarter hour with a change in it is converted instant by
// instant. Remembers 64 quarter hours; not for use by two threads at once.
class LocalTimeCache {
public:
    LocalTimeParts Of(std::int32_t seconds);

private:
    struct Slot {
        std::int64_t quarter = -1; // none
        std::int64_t offset = 0;   // local minus UTC, in seconds
        bool uniform = false;      // one offset for the whole quarter hour
    };
    Slot slots_[64];
};

} // namespace glimmerfen::platform
