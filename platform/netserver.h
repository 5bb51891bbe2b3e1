// The local file server's sessions and open files, one enumeration round at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/records.h"

namespace glimmerfen::platform {

inline constexpr std::uint32_t kNetSuccess = 0;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorMoreData = 234;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;

// One round of an enumeration: the platform's result code (0 done, 234 more follow, anything else a
// failure) and the records of the round, already converted to narrow text, added to the end of out.
class ServerPlatform {
public:
    virtual ~ServerPlatform() = default;
    virtual std::uint32_t SessionRound(std::uint32_t& resumeHandle, RecordList<SessionRecord>& out) = 0;
    // An empty userName means no user filter.
    virtual std::uint32_t OpenFileRound(const std::string& userName, std::uint64_t& resumeHandle,
                                        RecordList<OpenFileRecord>& out) = 0;
    // Closes the sessions of clientArg ("\\\\" followed by the computer name) and userName. Without a
    // client argument (a null client name to the server) it closes every session of userName, from
    // whichever computer. A client argument of the two backslashes alone names no computer: a server
    // finds no session for it (2312).
    virtual std::uint32_t DeleteSession(const std::optional<std::string>& clientArg, const std::string& userName) = 0;
    // Closes one open file (its id from the open-file enumeration) and the locks on it. A server that
    // cannot answers 50 (not supported).
    virtual std::uint32_t CloseFile(std::uint32_t fileId) {
        (void)fileId;
        return kErrorNotSupported;
    }
};

// The local server of this system (netapi32 on Windows; on other systems a server that has no sessions).
ServerPlatform& LocalServer();

// The server of the named computer (a computer name or address, without backslashes), or LocalServer()
// for an empty name. Every call names that computer to the system ("\\\\" followed by the name). The
// object lives until the process ends, so that a call still waiting for a distant computer when the
// program closes never outlives it; asking again for the same name gives the same object.
ServerPlatform& ServerFor(const std::string& computer);

} // namespace glimmerfen::platform
