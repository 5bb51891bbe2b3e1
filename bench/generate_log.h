// A large generated access log for the log viewer's benchmarks, and the reference read of it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/exclusive_file.h"

namespace glimmerfen::bench {

constexpr int kLines = 1000000;
constexpr int kDates = 300;
constexpr int kBusyLines = 100000; // lines of the busiest date
constexpr std::int32_t kFirstDay = 1700000000 - 1700000000 % 86400;

// Lines in time order over kDates days; the middle day gets kBusyLines of them. 250 users, of which
// every line picks one; a few user names differ only in letter case.
inline std::uintmax_t Generate(const std::filesystem::path& path) {
    static const char* const kOperations[] = {"FILE READ", "FILE WRITE", "FILE CREATE"};
    static const char* const kPaths[] = {
        "C:\\Share\\Projects\\2023\\Customer estimates\\Northern region\\estimate_final_v3.xlsx",
        "C:\\Share\\Common\\General affairs\\minutes\\2023-11\\meeting-notes-1114-board.docx",
        "D:\\Public\\Photos\\2023 company event\\IMG_2041.JPG"};
    std::mt19937 random(4242);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> buffer(1 << 20);
    out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const int busyDay = kDates / 2;
    const int perOtherDay = (kLines - kBusyLines) / (kDates - 1);
    char line[512];
    int written = 0;
    for (int day = 0; day < kDates; ++day) {
        const int count = day == busyDay ? kBusyLines : (day == kDates - 1 ? kLines - written : perOtherDay);
        for (int i = 0; i < count; ++i, ++written) {
            // Within one local day in Tokyo (UTC+9), the zone the tests and this benchmark run in.
            const std::int32_t time =
                kFirstDay + day * 86400 - 9 * 3600 + static_cast<std::int32_t>(std::int64_t{86399} * i / count);
            const unsigned u = random() % 250;
            char user[32];
            std::snprintf(user, sizeof user, u % 50 == 0 ? "User%03u" : "user%03u", u % 50 == 0 ? u / 50 : u);
            const unsigned kind = random() % 10;
            int length = 0;
            if (kind < 3) {
                length = std::snprintf(line, sizeof line,
                                       "%d\tPC-%03u\t%s\t2023-11-14 09:%02d:%02d\tNOENCRYPTION\tWindows 10 "
                                       "Enterprise 19045\t0\t\t\t\t\r\n",
                                       time, u % 120, user, i % 60, (i * 7) % 60);
            } else {
                length = std::snprintf(line, sizeof line, "%d\t\t%s\t2023-11-14 09:%02d:%02d\t\t\t%u\t%s\t%s\t\t\r\n",
                                       time, user, i % 60, (i * 7) % 60, static_cast<unsigned>(random() % 100000),
                                       kOperations[random() % 3], kPaths[random() % 3]);
            }
            out.write(line, length);
        }
    }
    out.close();
    return std::filesystem::file_size(path);
}

// The reference for the load: the same exclusive opening, the file read once into one buffer.
inline std::size_t ReadOnce(const std::string& path, std::uintmax_t size) {
    platform::ExclusiveFile in;
    if (!in.Open(path, platform::FileOpenMode::ReadExisting)) {
        return 0;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t used = 0;
    for (std::int64_t got; used < bytes.size() && (got = in.Read(bytes.data() + used, bytes.size() - used)) > 0;) {
        used += static_cast<std::size_t>(got);
    }
    return used;
}

} // namespace glimmerfen::bench
