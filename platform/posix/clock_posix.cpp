// Wall clock and local time through the C library.
#include "platform/clock.h"

#include <ctime>

namespace glimmerfen::platform {

std::int32_t NowSeconds() {
    // Instants are 32-bit: the value wraps in 2038 like the log's own numbers.
    return static_cast<std::int32_t>(std::time(nullptr));
}

LocalTimeParts ToLocalTime(std::int32_t seconds) {
    // The Windows C runtime refuses instants before 1970; refuse them here too so that both builds
    // show the same text for the same number.
    if (seconds < 0) {
        return {};
    }
    const std::time_t instant = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (localtime_r(&instant, &parts) == nullptr) {
        return {};
    }
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

} // namespace glimmerfen::platform
