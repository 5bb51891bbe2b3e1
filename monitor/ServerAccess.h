// The engine's view of the file server: enumerations, session deletion, and the texts made from them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/records.h"
#include "platform/netserver.h"

namespace glimmerfen {

// Every session, in the server's order. Rounds are repeated while the server reports more data; a
// failing round ends the enumeration and keeps what the earlier rounds gave.
std::vector<SessionRecord> EnumerateSessions(platform::ServerPlatform& server);

// The resources opened by userName (all of them when userName is empty), with the same round rules.
std::vector<OpenFileRecord> EnumerateOpenFiles(platform::ServerPlatform& server, const std::string& userName);

// The same into lists kept from one enumeration to the next (emptied first), so that their records'
// storage is used again. They return the code of a round that failed (the records of the rounds
// before it are kept), 0 when none did.
std::uint32_t EnumerateSessions(platform::ServerPlatform& server, RecordList<SessionRecord>& sessions);
std::uint32_t EnumerateOpenFiles(platform::ServerPlatform& server, const std::string& userName,
                                 RecordList<OpenFileRecord>& files);

// Empty on success, otherwise string 57670 followed by "(Error:%d)" with the server's code.
std::string DisconnectSession(platform::ServerPlatform& server, const std::string& clientArg,
                              const std::string& userName);

// Closes the sessions behind an entry of the access table (or a row of the list that shows it), with
// the same result text. An entry with a client name stands for that client's session of the user
// ("\\\\" followed by the name). An entry without one stands for an open file: the server names only
// the user who holds it, not the computer, and a client argument of the backslashes alone would find
// no session, so every session of that user is closed. Without a user name either there is nobody to
// name, and the server is not asked (87, invalid parameter).
std::string DisconnectAccess(platform::ServerPlatform& server, const std::string& clientName,
                             const std::string& userName);

// Empty when the server closed the open file, otherwise string 57731 followed by "(Error:%d)".
std::string CloseOpenFile(platform::ServerPlatform& server, std::uint32_t fileId);

// "GUEST", "NOENCRYPTION" or "UNKNOWN"; the whole value is compared.
const char* UserIdentWord(std::uint32_t userFlags);
// "FILE READ", "FILE WRITE", ... or "UNKNOWN"; the whole value is compared.
const char* PermissionWord(std::uint32_t permissions);

// "%02d:%02d:%02d" of hours, minutes and seconds; hours are not limited to two digits.
std::string FormatDuration(std::uint32_t seconds);

// Local-time text "%d-%02d-%02d %02d:%02d:%02d" of an instant.
std::string FormatLocalTime(std::int32_t instant);
std::string FormatLocalTime(const platform::LocalTimeParts& local);

// The instant connectedSeconds before now, in 32-bit wrap-around arithmetic.
std::int32_t StartInstant(std::uint32_t connectedSeconds, std::int32_t now);

// The session's start: (text, instant) for now minus connectedSeconds.
std::pair<std::string, std::int32_t> FormatStartTime(std::uint32_t connectedSeconds);
std::pair<std::string, std::int32_t> FormatStartTime(std::uint32_t connectedSeconds, std::int32_t now);

} // namespace glimmerfen
