// The poll written the straightforward way: one linked list, one walk per record. Tests compare the
// indexed engine against it, and the benchmark runs it as the reference.
#pragma once

#include <cmath>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "monitor/AccessTable.h"
#include "monitor/ServerAccess.h"

namespace glimmerfen::testing {

class LinearPoll {
public:
    struct Item {
        AccessEntry entry;
        bool seen = false;
    };

    std::list<Item> table; // newest first
    std::int32_t entryCount = 0;
    std::int32_t nextKey = 0;
    std::vector<std::int32_t> newKeys; // every new access, in order

    void Poll(platform::ServerPlatform& server, int cycleTime1, int viewTime) {
        const std::vector<SessionRecord> sessions = EnumerateSessions(server);
        for (Item& item : table) {
            item.seen = false;
        }
        for (const SessionRecord& s : sessions) {
            const std::vector<OpenFileRecord> files = EnumerateOpenFiles(server, s.userName);
            if (files.empty()) {
                Item* match = nullptr;
                for (Item& item : table) {
                    if (item.entry.clientName == s.clientName && item.entry.userName == s.userName) {
                        match = &item;
                        break;
                    }
                }
                if (s.userName.empty()) {
                    continue;
                }
                AccessEntry v;
                auto start = FormatStartTime(s.connectedSeconds);
                v.clientName = s.clientName;
                v.userName = s.userName;
                v.openCount = s.openCount;
                v.startTimeText = start.first;
                v.startTime = start.second;
                v.connectedText = FormatDuration(s.connectedSeconds);
                v.connectedSeconds = s.connectedSeconds;
                v.idleText = FormatDuration(s.idleSeconds);
                v.idleSeconds = s.idleSeconds;
                v.userIdent = UserIdentWord(s.userFlags);
                v.clientType = s.clientType;
                Merge(match, v);
            } else {
                for (const OpenFileRecord& f : files) {
                    Item* match = nullptr;
                    for (Item& item : table) {
                        if (item.entry.userName == f.userName && item.entry.pathName == f.pathName) {
                            match = &item;
                            break;
                        }
                    }
                    if (s.clientName.empty() || f.userName.empty() || f.pathName.empty()) {
                        continue;
                    }
                    AccessEntry v;
                    auto start = FormatStartTime(s.connectedSeconds);
                    v.userName = f.userName;
                    v.startTimeText = start.first;
                    v.startTime = start.second;
                    v.connectedText = FormatDuration(s.connectedSeconds);
                    v.connectedSeconds = s.connectedSeconds;
                    v.idleText = FormatDuration(s.idleSeconds);
                    v.idleSeconds = s.idleSeconds;
                    v.fileId = static_cast<std::int32_t>(f.fileId);
                    v.operation = PermissionWord(f.permissions);
                    v.lockCount = static_cast<std::int32_t>(f.lockCount);
                    v.pathName = f.pathName;
                    Merge(match, v);
                }
            }
        }
        for (auto it = table.begin(); it != table.end();) {
            AccessEntry& e = it->entry;
            if (it->seen) {
                e.staleSeconds = 0.0f;
            } else {
                e.staleSeconds += cycleTime1 * 0.001;
            }
            if (static_cast<int>(e.staleSeconds) > viewTime) {
                it = table.erase(it);
                --entryCount;
            } else {
                ++it;
            }
        }
    }

private:
    void Merge(Item* match, const AccessEntry& v) {
        if (match != nullptr) {
            AccessEntry& e = match->entry;
            const float stale = e.staleSeconds;
            const std::int32_t key = e.key, disconnected = e.disconnected;
            e = v;
            e.key = key;
            e.staleSeconds = stale;
            e.disconnected = disconnected;
            match->seen = true;
            return;
        }
        Item item{v, true};
        item.entry.key = nextKey;
        table.push_front(item);
        newKeys.push_back(nextKey);
        ++entryCount;
        ++nextKey;
    }
};

} // namespace glimmerfen::testing
