// A server population replaced as a whole: every session new, with its own client and user.
#pragma once

#include <cstdio>

#include "FakeServer.h"

namespace glimmerfen::bench {

inline void PopulateNewSessions(testing::FakeServer& server, int entries, int generation) {
    server.sessions.clear();
    char client[32];
    char user[32];
    for (int i = 0; i < entries; ++i) {
        std::snprintf(client, sizeof client, "PC%05d-%d", i, generation);
        std::snprintf(user, sizeof user, "user%05d-%d", i, generation);
        server.AddSession(client, user, 300, 20, 0, "Windows 10 Pro");
    }
}

} // namespace glimmerfen::bench
