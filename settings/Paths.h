// Where the program's files lie: everything beside the executable.
#pragma once

#include <optional>
#include <string>

namespace glimmerfen {

inline constexpr std::size_t kMaxPath = 260;

// The access log, beside the executable.
inline constexpr const char* kLogFileName = "log.txt";

struct ProgramPaths {
    std::string exePath; // full path of the executable
    std::string exeDir;  // drive and directory, ending with a backslash (or slash on POSIX paths)
    std::string iniPath; // exeDir + "Glimmerfen.ini"
    std::string appName; // executable's file name without extension
};

// The full path of the access log "log.txt" in the executable's directory (exeDir, ending with a
// separator): the one place that path is made.
std::string LogPathIn(const std::string& exeDir);

// The executable's file name without extension, the caption of the program's message boxes and the
// name of its single-instance mutex. Never fails: a path without a file name gives the empty text.
std::string ApplicationNameFrom(const std::string& exePath);

// Splits the executable's path. Fails (nullopt, with a reason in error) when the INI path would not
// fit in kMaxPath characters with its terminator.
std::optional<ProgramPaths> ComputeProgramPaths(const std::string& exeFullPath, std::string* error = nullptr);

} // namespace glimmerfen
