// The program's events in the Application log: their ids, the same numbers as the message table of
// events.mc, whose texts the event viewer shows. Every event carries the same nine insertion strings,
// in this order, empty where they do not apply:
//   %1 the client as the server names it (a computer name or an IP address)
//   %2 the client's name resolved from its address, when known
//   %3 the user
//   %4 the full path of the open file (empty for a session)
//   %5 the operation ("FILE READ", ...)
//   %6 the number of locks
//   %7 the message: the rule's message, a result text, an error code or a count
//   %8 the connection's start, ISO 8601 in UTC (2026-12-07T12:34:56Z)
//   %9 the watched server
// The event's type (information, warning, error) is given with each report, not by the id.
#pragma once

#include <cstddef>
#include <cstdint>

namespace glimmerfen {

// How many insertion strings every event carries.
inline constexpr std::size_t kEventStringCount = 9;

inline constexpr std::uint32_t kEventMonitoringStarted = 100;  // information
inline constexpr std::uint32_t kEventMonitoringEnded = 101;    // information
inline constexpr std::uint32_t kEventAccess = 200;             // information
inline constexpr std::uint32_t kEventDisconnectedByRule = 300; // warning
inline constexpr std::uint32_t kEventDisconnectedByHand = 301; // information
inline constexpr std::uint32_t kEventDisconnectFailed = 302;   // error
inline constexpr std::uint32_t kEventFileClosed = 310;         // information
inline constexpr std::uint32_t kEventFileCloseFailed = 311;    // error
inline constexpr std::uint32_t kEventServerAccessDenied = 400; // error, %7 the error code
inline constexpr std::uint32_t kEventServerError = 401;        // error, %7 the error code
inline constexpr std::uint32_t kEventServerAnswers = 402;      // information
inline constexpr std::uint32_t kEventProgramMessage = 500;     // any type, %7 what a box would have shown
inline constexpr std::uint32_t kEventEventsDropped = 900;      // warning, %7 how many events were dropped

} // namespace glimmerfen
