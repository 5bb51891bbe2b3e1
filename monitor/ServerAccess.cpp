#include "monitor/ServerAccess.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen {

namespace {

// The rounds of one enumeration: repeated while the server reports more data, ended by anything else.
// A round that reports more data but neither gives a record nor moves the resume handle would be asked
// again unchanged, forever, and the poll would never end: the enumeration ends there instead. Returns
// the code of a failing round, 0 when none failed.
template <typename Record, typename Handle, typename Round>
std::uint32_t Gather(Handle& resume, RecordList<Record>& records, Round&& round) {
    records.clear();
    for (;;) {
        const std::size_t before = records.size();
        const Handle handleBefore = resume;
        const std::uint32_t result = round(records);
        if (result == platform::kNetSuccess) {
            return 0;
        }
        if (result != platform::kErrorMoreData) {
            return result;
        }
        if (records.size() == before && resume == handleBefore) {
            return 0;
        }
    }
}

} // namespace

std::uint32_t EnumerateSessions(platform::ServerPlatform& server, RecordList<SessionRecord>& sessions) {
    std::uint32_t resume = 0;
    return Gather<SessionRecord>(resume, sessions,
                                 [&](RecordList<SessionRecord>& out) { return server.SessionRound(resume, out); });
}

std::uint32_t EnumerateOpenFiles(platform::ServerPlatform& server, const std::string& userName,
                                 RecordList<OpenFileRecord>& files) {
    std::uint64_t resume = 0;
    return Gather<OpenFileRecord>(
        resume, files, [&](RecordList<OpenFileRecord>& out) { return server.OpenFileRound(userName, resume, out); });
}

std::vector<SessionRecord> EnumerateSessions(platform::ServerPlatform& server) {
    RecordList<SessionRecord> sessions;
    EnumerateSessions(server, sessions);
    return sessions.TakeVector();
}

std::vector<OpenFileRecord> EnumerateOpenFiles(platform::ServerPlatform& server, const std::string& userName) {
    RecordList<OpenFileRecord> files;
    EnumerateOpenFiles(server, userName, files);
    return files.TakeVector();
}

namespace {

std::string DisconnectResult(std::uint32_t result) {
    if (result == platform::kNetSuccess) {
        return {};
    }
    // The table's text is used as text, never as a format: only the code is formatted.
    char code[32];
    std::snprintf(code, sizeof code, "(Error:%d)", static_cast<int>(result));
    return platform::LoadText(IDS_DISCONNECT_ERROR) + code;
}

} // namespace

std::string DisconnectSession(platform::ServerPlatform& server, const std::string& clientArg,
                              const std::string& userName) {
    return DisconnectResult(server.DeleteSession(clientArg, userName));
}

std::string DisconnectAccess(platform::ServerPlatform& server, const std::string& clientName,
                             const std::string& userName) {
    if (!clientName.empty()) {
        return DisconnectSession(server, "\\\\" + clientName, userName);
    }
    // Neither a client nor a user: a server could read that as no filter at all.
    if (userName.empty()) {
        return DisconnectResult(platform::kErrorInvalidParameter);
    }
    return DisconnectResult(server.DeleteSession(std::nullopt, userName));
}

std::string CloseOpenFile(platform::ServerPlatform& server, std::uint32_t fileId) {
    const std::uint32_t result = server.CloseFile(fileId);
    if (result == platform::kNetSuccess) {
        return {};
    }
    return platform::LoadText(IDS_CLOSE_FILE_ERROR) + "(Error:" + std::to_string(static_cast<int>(result)) + ")";
}

const char* UserIdentWord(std::uint32_t userFlags) {
    switch (userFlags) {
    case 1:
        return "GUEST";
    case 2:
        return "NOENCRYPTION";
    default:
        return "UNKNOWN";
    }
}

const char* PermissionWord(std::uint32_t permissions) {
    switch (permissions) {
    case 1:
        return "FILE READ";
    case 2:
        return "FILE WRITE";
    case 4:
        return "FILE CREATE";
    case 8:
        return "ACCESS EXEC";
    case 16:
        return "ACCESS DELETE";
    case 32:
        return "ACCESS ATRIB";
    case 64:
        return "ACL";
    default:
        return "UNKNOWN";
    }
}

namespace {

// The polls format these texts for every session many times a second: plain digit writing does what
// "%d" and "%02d" do, at a fraction of the cost of the printf family.
char* PutDecimal(char* out, long long value, int minDigits) {
    char digits[24];
    int n = 0;
    const bool negative = value < 0;
    unsigned long long v =
        negative ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n < minDigits) {
        digits[n++] = '0';
    }
    if (negative) {
        *out++ = '-';
    }
    while (n > 0) {
        *out++ = digits[--n];
    }
    return out;
}

} // namespace

std::string FormatDuration(std::uint32_t seconds) {
    char text[40];
    char* p = PutDecimal(text, seconds / 3600, 2);
    *p++ = ':';
    p = PutDecimal(p, seconds % 3600 / 60, 2);
    *p++ = ':';
    p = PutDecimal(p, seconds % 60, 2);
    return std::string(text, p);
}

std::string FormatLocalTime(std::int32_t instant) {
    return FormatLocalTime(platform::ToLocalTime(instant));
}

std::string FormatLocalTime(const platform::LocalTimeParts& t) {
    char text[96];
    char* p = PutDecimal(text, t.year, 1);
    *p++ = '-';
    p = PutDecimal(p, t.month, 2);
    *p++ = '-';
    p = PutDecimal(p, t.day, 2);
    *p++ = ' ';
    p = PutDecimal(p, t.hour, 2);
    *p++ = ':';
    p = PutDecimal(p, t.minute, 2);
    *p++ = ':';
    p = PutDecimal(p, t.second, 2);
    return std::string(text, p);
}

std::int32_t StartInstant(std::uint32_t connectedSeconds, std::int32_t now) {
    // 32-bit wrap-around arithmetic, as the instants are 32-bit words.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) - connectedSeconds);
}

std::pair<std::string, std::int32_t> FormatStartTime(std::uint32_t connectedSeconds, std::int32_t now) {
    const std::int32_t start = StartInstant(connectedSeconds, now);
    return {FormatLocalTime(start), start};
}

std::pair<std::string, std::int32_t> FormatStartTime(std::uint32_t connectedSeconds) {
    return FormatStartTime(connectedSeconds, platform::NowSeconds());
}

} // namespace glimmerfen
