// Where a steady poll's and a list refresh's time goes: the server's enumeration (the calls and the
// conversion of their records), the merge into the table (a whole steady poll less its enumeration),
// the refresh's rows made under the table's lock, and one timed wake-up of a waiting thread, which is
// how the poll thread is started every period. Each part is timed alone, round after round, and the
// share of a core it costs at the default periods (a poll every 20 ms, a refresh every second) is
// printed beside it.
//
//   poll_phases [sessions] [files] [rounds]     (defaults 2000, 5 and 200)
//
// Natively the server is the in-process one of the tests. On Windows it is the netapi32 of the system
// folder, under Wine the stand-in with a scenario this program writes (scripts/wine-run puts the
// stand-in there; run with WINEDLLOVERRIDES=netapi32=n):
//   WINEDLLOVERRIDES=netapi32=n scripts/wine-run build/win/bench/poll_phases.exe
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/AccessMonitor.h"
#include "monitor/ServerAccess.h"
#include "platform/netserver.h"
#include "settings/Settings.h"
#include "ui/list/ListLogic.h"

#include "timing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "FakeServer.h"
#endif

namespace {

using namespace glimmerfen;
using bench::Clock;
using bench::Median;
using bench::Milliseconds;

std::string Client(int s) {
    char text[16];
    std::snprintf(text, sizeof text, "PC%05d", s);
    return text;
}
std::string User(int s) {
    char text[16];
    std::snprintf(text, sizeof text, "user%05d", s);
    return text;
}
std::string Path(int s, int f) {
    char text[96];
    std::snprintf(text, sizeof text, "D:\\Share\\Project%03d\\Document%05d-%d.docx", s % 100, s, f);
    return text;
}

#ifdef _WIN32
// The stand-in reads its scenario at its first call: written before the server is first asked.
platform::ServerPlatform& Server(int sessions, int files) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "poll_phases_scenario.txt";
    std::ofstream out(file, std::ios::binary);
    for (int s = 0; s < sessions; ++s) {
        out << "session " << Client(s) << ' ' << User(s) << " 300 0 0 Windows 10 Pro\n";
        for (int f = 0; f < files; ++f) {
            out << "file " << User(s) << ' ' << s * files + f + 1 << " 1 0 " << Path(s, f) << '\n';
        }
    }
    out.close();
    SetEnvironmentVariableW(L"GLIMMERFEN_SIM_SCENARIO", file.wstring().c_str());
    return platform::LocalServer();
}
#else
platform::ServerPlatform& Server(int sessions, int files) {
    static testing::FakeServer server;
    for (int s = 0; s < sessions; ++s) {
        server.AddSession(Client(s), User(s), 300, 0);
        for (int f = 0; f < files; ++f) {
            server.AddFile(User(s), Path(s, f), static_cast<std::uint32_t>(s * files + f + 1));
        }
    }
    return server;
}
#endif

// One wake-up of a thread that waits for its next period, as the poll thread does: the process's CPU
// time over many waits of 1 ms, per wait.
double WakeUpMilliseconds(int count) {
    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    const double before = bench::ProcessCpuSeconds();
    for (int i = 0; i < count; ++i) {
        never.wait_until(lock, Clock::now() + std::chrono::milliseconds(1), [] { return false; });
    }
    return 1000.0 * (bench::ProcessCpuSeconds() - before) / count;
}

} // namespace

int main(int argc, char** argv) {
    const int sessions = argc > 1 ? std::atoi(argv[1]) : 2000;
    const int files = argc > 2 ? std::atoi(argv[2]) : 5;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 200;
    if (sessions <= 0 || files < 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: poll_phases [sessions] [files] [rounds]\n");
        return 2;
    }
    platform::ServerPlatform& server = Server(sessions, files);
    AppSettings settings;
    AccessMonitor monitor(settings, server);
    monitor.CreateTable();
    monitor.PollQuietly(); // every entry inserted; the polls below are steady

    RecordList<SessionRecord> sessionRecords;
    RecordList<OpenFileRecord> fileRecords;
    std::vector<double> enumeration, poll, refresh;
    std::size_t rows = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        EnumerateSessions(server, sessionRecords);
        fileRecords.clear();
        EnumerateOpenFiles(server, std::string(), fileRecords);
        enumeration.push_back(Milliseconds(Clock::now() - start));

        start = Clock::now();
        monitor.PollQuietly();
        poll.push_back(Milliseconds(Clock::now() - start));

        if (round % 10 == 0) {
            std::vector<ui::ListRow> made;
            start = Clock::now();
            monitor.Read([&](const AccessTable* table, std::int32_t, std::int32_t) {
                made.reserve(table->Size());
                table->ForEach([&](const AccessEntry& entry) { made.push_back(ui::MakeListRow(entry)); });
            });
            refresh.push_back(Milliseconds(Clock::now() - start));
            rows = made.size();
        }
    }
    const double wake = WakeUpMilliseconds(2000);
    const double e = Median(enumeration), p = Median(poll), r = Median(refresh);
    const double merge = p > e ? p - e : 0.0;
    std::printf("%d sessions x %d files: %zu entries, %d rounds (medians)\n", sessions, files, rows, rounds);
    std::printf("%-36s %10s %14s\n", "part", "ms each", "% of a core");
    std::printf("%-36s %10.3f %14.2f\n", "enumeration (50 a second)", e, e * 50 / 10);
    std::printf("%-36s %10.3f %14.2f\n", "merge into the table (50 a second)", merge, merge * 50 / 10);
    std::printf("%-36s %10.3f %14.2f\n", "whole steady poll (50 a second)", p, p * 50 / 10);
    std::printf("%-36s %10.3f %14.2f\n", "refresh's rows (1 a second)", r, r / 10);
    std::printf("%-36s %10.4f %14.2f\n", "poll thread's wake-up (50 a second)", wake, wake * 50 / 10);
    return 0;
}
