// The simulated file server: the sessions and open files of the moment, played from a scenario file or
// made up at random. Not thread-safe; the exported functions serialise their calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "Scenario.h"

namespace glimmerfen::sim {

struct LiveSession {
    SessionLine line;
    std::uint64_t sinceMs = 0;  // simulation time at which the session began
    std::uint64_t actedMs = 0;  // simulation time of the client's last action
    DWORD connectedAtStart = 0; // connectedSeconds when the session began
    DWORD idleAtLastAction = 0; // idleSeconds at the last action
};

// A session as an enumeration reports it.
struct SessionView {
    const Field* client;
    const Field* user;
    DWORD openCount;
    DWORD connectedSeconds;
    DWORD idleSeconds;
    DWORD userFlags;
    const Field* clientType;
};

// The scenario file to play: GLIMMERFEN_SIM_SCENARIO, or, where that is unset or empty, the file at
// kFixedScenarioPath when there is one (a service started by the service manager has none of a test's
// environment); empty: random clients.
inline constexpr wchar_t kFixedScenarioPath[] = L"C:\\glimmerfen-sim\\scenario.txt";
std::wstring ScenarioPath();

class Simulation {
public:
    // loadTickMs: GetTickCount64() when the DLL was loaded; initialScenario: the scenario variable's value
    // at that moment. A scenario named at load time plays from the load; any later one from its loading.
    Simulation(std::uint64_t loadTickMs, std::wstring initialScenario);

    // Reloads the scenario when the variable or the file changed, then plays everything due by now.
    void Update();

    std::vector<SessionView> Sessions(const wchar_t* clientFilter, const wchar_t* userFilter) const;
    std::vector<const FileLine*> Files(const wchar_t* basePath, const wchar_t* userFilter) const;

    // Closes the matching sessions; the return value is the NetSessionDel result.
    DWORD DeleteSessions(const wchar_t* uncClient, const wchar_t* user);
    // Closes the open file with this id; the return value is the NetFileClose result (2314 when the id
    // names no open file).
    DWORD CloseFileById(DWORD id);

    DWORD SessionPage() const { return scenario_.sessionPage; }
    DWORD FilePage() const { return scenario_.filePage; }
    // The failure code for this round of a session or file enumeration, 0 when it succeeds.
    DWORD SessionFailure(DWORD round) const;
    DWORD FileFailure(DWORD round) const;
    // What every call returns while a "fail all" step holds, 0 when the server answers.
    DWORD AllFailure() const { return allFailure_; }
    // The pause of the last "delay" step, in ms; 0 without one.
    DWORD Delay() const { return delayMs_; }

    // 0 when the scenario was read completely; the first line not understood; -1 when the named file
    // cannot be read; -2 in random mode.
    int ScenarioStatus() const { return status_; }

private:
    struct FileStamp {
        FILETIME written{};
        ULONGLONG size = 0;
        bool exists = false;
        bool operator==(const FileStamp& other) const;
    };

    static FileStamp StampOf(const std::wstring& path);
    std::uint64_t NowMs() const;
    void Load(const std::wstring& path, const FileStamp& stamp);
    void StartRandom();
    void PlaySteps(std::uint64_t nowMs);
    void PlayRandom(std::uint64_t nowMs);
    void RandomTick(std::uint64_t tickMs);
    void AddSession(const SessionLine& line, std::uint64_t atMs);
    void AddFile(const FileLine& line);
    void EndSessions(const Field& client, const Field& user);
    void CloseFile(DWORD id);
    // Ends the sessions that match and closes the files of users left without a session.
    std::size_t RemoveSessions(const std::function<bool(const LiveSession&)>& match);

    std::uint64_t loadTickMs_;
    std::wstring initialScenario_;
    bool firstLoad_ = true;
    bool randomMode_ = false;
    std::wstring path_;
    FileStamp stamp_;
    std::uint64_t originTickMs_ = 0;
    std::uint64_t nowMs_ = 0; // simulation time of the last Update
    Scenario scenario_;
    std::size_t nextStep_ = 0;
    int status_ = -2;
    std::vector<LiveSession> sessions_;
    // How many live sessions each client and user (upper-cased) has: a session that connects is looked
    // for among the others only when its names are there, so that thousands of new sessions cost no
    // pass over all sessions each.
    std::unordered_map<std::wstring, std::size_t> liveKeys_;
    static std::wstring SessionKey(const LiveSession& session);
    void ForgetSessions();
    std::vector<FileLine> files_;
    DWORD sessionDenial_ = 0; // what every session enumeration returns while a "deny sessions" step holds
    DWORD allFailure_ = 0;    // what every call returns while a "fail all" step holds
    DWORD delayMs_ = 0;       // how long every call waits, after a "delay" step

    // Random mode: one tick a second; the generator's sequence depends only on the seed and the tick.
    std::mt19937 random_;
    std::uint64_t nextTickMs_ = 0;
    DWORD nextFileId_ = 0;
};

// Ordinal comparison without regard to case, as the server compares names; a null name is empty.
bool SameName(const Field& a, const Field& b);
bool SameName(const Field& a, const wchar_t* b);

} // namespace glimmerfen::sim
