// The records a reader of the engine gets on another thread, or through the pipe from the service: the
// table as it was between two changes, what the last poll's enumerations met, and the sessions the
// disconnection rules closed. Plain values, without the engine that makes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/AccessTable.h"

namespace glimmerfen {

// What a reader on another thread sees: the table as it was between two changes.
struct TableSnapshot {
    bool hasTable = false;
    std::int32_t entryCount = 0;
    std::int32_t nextKey = 0;
    std::vector<AccessEntry> entries; // newest first
};

// What the last poll's enumerations met: the code of a failing session or open-file enumeration (5 when
// the system denies access, as it does to a process without administrator rights), 0 when both
// succeeded. A failing poll sees nobody, as if nobody were connected; this tells the two apart.
struct ServerState {
    std::uint32_t code = 0;
    bool files = false; // the open-file enumeration failed (the sessions were given)
    bool operator==(const ServerState&) const = default;
};

// One session a rule closed: who, from which computer (empty for an open-file entry, whose sessions
// were closed by user), and the rule's message as the log line gives it.
struct RuleCut {
    std::string client;
    std::string user;
    std::string rule;
    bool operator==(const RuleCut&) const = default;
};

// The count of every cut so far and the newest RuleCuts::kKeptCuts of them, oldest first.
struct RuleCutRecord {
    std::uint64_t total = 0;
    std::vector<RuleCut> recent;
    bool operator==(const RuleCutRecord&) const = default;
};

} // namespace glimmerfen
