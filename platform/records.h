// What the file server reports: one session, one open resource.
#pragma once

#include <cstdint>
#include <string>

namespace glimmerfen {

struct SessionRecord {
    std::string clientName;             // computer name, without leading backslashes
    std::string userName;               // may be empty
    std::int32_t openCount = 0;         // files, devices and pipes the client holds open
    std::uint32_t connectedSeconds = 0; // since the session was established
    std::uint32_t idleSeconds = 0;      // since the client last acted
    std::uint32_t userFlags = 0;        // 1 guest, 2 no password encryption
    std::string clientType;
};

struct OpenFileRecord {
    std::uint32_t fileId = 0;
    std::uint32_t permissions = 0;
    std::uint32_t lockCount = 0;
    std::string pathName;
    std::string userName;
};

} // namespace glimmerfen
