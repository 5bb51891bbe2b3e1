// The ids of the events the program writes to the system's event log; their texts are the message
// table res/events.mc, built into the executable.
#pragma once

#include <cstdint>

namespace glimmerfen {

inline constexpr std::uint32_t kEventMonitoringStarted = 100;
inline constexpr std::uint32_t kEventMonitoringEnded = 101;
inline constexpr std::uint32_t kEventAccess = 200;
inline constexpr std::uint32_t kEventDisconnectedByRule = 300;
inline constexpr std::uint32_t kEventDisconnectedByHand = 301;
inline constexpr std::uint32_t kEventDisconnectFailed = 302;
inline constexpr std::uint32_t kEventFileClosed = 310;
inline constexpr std::uint32_t kEventFileCloseFailed = 311;
inline constexpr std::uint32_t kEventServerAccessDenied = 400;
inline constexpr std::uint32_t kEventServerError = 401;
inline constexpr std::uint32_t kEventServerAnswers = 402;
inline constexpr std::uint32_t kEventEventsDropped = 900;

} // namespace glimmerfen
