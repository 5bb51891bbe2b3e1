// Wall clock and local time in the system's time zone.
#include "platform/clock.h"

#include <ctime>

#include <windows.h>

namespace glimmerfen::platform {

std::int32_t NowSeconds() {
    // Instants are 32-bit: the value wraps in 2038 like the log's own numbers.
    return static_cast<std::int32_t>(std::time(nullptr));
}

LocalTimeParts ToLocalTime(std::int32_t seconds) {
    // Not the C runtime's localtime_s: when a TZ variable is set, the runtime reads it as a zone
    // name plus an hour offset ("JST-9"), so a TZ such as "Asia/Tokyo" silently gives UTC. The
    // system's zone is what the user set in Windows (and, under Wine, what TZ names).
    // Instants before 1970 give zeros, as the C runtime would; both builds agree on that.
    if (seconds < 0) {
        return {};
    }
    constexpr unsigned long long kTicksPerSecond = 10000000ULL;       // FILETIME counts 100 ns
    constexpr unsigned long long kEpochTicks = 116444736000000000ULL; // 1601-01-01 to 1970-01-01
    const unsigned long long ticks = kEpochTicks + static_cast<unsigned long long>(seconds) * kTicksPerSecond;
    FILETIME utcFile{static_cast<DWORD>(ticks & 0xFFFFFFFFULL), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return {};
    }
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

} // namespace glimmerfen::platform
