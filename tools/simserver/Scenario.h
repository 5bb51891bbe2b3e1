// The scenario file of the simulated file server: timed steps and test directives (see README.md).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerfen::sim {

// A text field of a record; nullopt is served as a null string pointer.
using Field = std::optional<std::wstring>;

struct SessionLine {
    Field client;
    Field user;
    DWORD connectedSeconds = 0;
    DWORD idleSeconds = 0;
    DWORD userFlags = 0;
    Field clientType;
};

struct FileLine {
    Field user;
    DWORD id = 0;
    DWORD permissions = 0;
    DWORD locks = 0;
    Field path;
};

enum class StepKind { AddSession, AddFile, EndSession, EndAll, CloseFile, DenySessions, FailAll, Delay };

struct Step {
    std::uint64_t atMs = 0;
    StepKind kind = StepKind::AddSession;
    SessionLine session; // AddSession; EndSession uses client and user
    FileLine file;       // AddFile; CloseFile uses id; DenySessions, FailAll: id is the code, 0 to stop;
                         // Delay: id is the pause in ms
};

// Makes round `round` (1 for the call with resume handle 0) of every enumeration fail with `code`.
struct FailRule {
    DWORD round = 0;
    DWORD code = 0;
};

struct Scenario {
    std::vector<Step> steps; // ordered by time; steps of the same time keep their file order
    DWORD sessionPage = 0;   // records per round, 0 for no limit
    DWORD filePage = 0;
    std::vector<FailRule> sessionFailures;
    std::vector<FailRule> fileFailures;
    std::optional<DWORD> deleteFailure; // every NetSessionDel returns this code
    int firstBadLine = 0;               // 1-based line that could not be understood, 0 when all were
};

// Parses the UTF-8 text of a scenario file (a leading byte order mark is allowed). Lines that cannot be
// understood are skipped; the first of them is remembered in firstBadLine.
Scenario ParseScenario(std::string_view utf8);

} // namespace glimmerfen::sim
