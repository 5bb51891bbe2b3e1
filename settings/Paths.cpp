#include "settings/Paths.h"

#include "platform/ansitext.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "settings/Settings.h"

namespace glimmerfen {

std::string LogPathIn(const std::string& exeDir) {
    return exeDir + kLogFileName;
}

std::string ApplicationNameFrom(const std::string& exePath) {
    const std::string fileName = exePath.substr(AnsiFileNameStart(exePath));
    // The extension starts at the last dot of the file name; dots in directories do not count.
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::optional<ProgramPaths> ComputeProgramPaths(const std::string& exeFullPath, std::string* error) {
    auto fail = [error](std::string reason) -> std::optional<ProgramPaths> {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return std::nullopt;
    };
    if (exeFullPath.empty()) {
        return fail("The program's own path is empty.");
    }

    // Drive and directory end at the last separator; without one, a drive "X:" alone is the directory
    // part, as for a drive-relative path "C:prog.exe".
    const std::size_t nameStart = AnsiFileNameStart(exeFullPath);

    ProgramPaths paths;
    paths.exePath = exeFullPath;
    paths.exeDir = exeFullPath.substr(0, nameStart);
    const std::string fileName = exeFullPath.substr(nameStart);
    if (fileName.empty()) {
        return fail("The program's own path \"" + exeFullPath + "\" names no file.");
    }
    paths.appName = ApplicationNameFrom(exeFullPath);
    paths.iniPath = paths.exeDir + kIniFileName;

    // The INI path lives in a buffer of kMaxPath characters with its terminator.
    if (paths.iniPath.size() + 1 > kMaxPath) {
        // The user's language from the string table, then the folder itself on a line of its own.
        return fail(platform::LoadText(IDS_FOLDER_TOO_LONG) + "\n" + paths.exeDir);
    }
    return paths;
}

} // namespace glimmerfen
