#include "app/Paths.h"

#include "app/Settings.h"
#include "platform/codepage.h"

namespace glimmerfen {

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
    // part, as for a drive-relative path "C:prog.exe". The walk goes character by character: the trail
    // byte of a double-byte character may be 0x5C, a backslash, without being a separator.
    std::size_t nameStart = 0;
    if (exeFullPath.size() >= 2 && exeFullPath[1] == ':') {
        nameStart = 2;
    }
    for (std::size_t i = 0; i < exeFullPath.size(); ++i) {
        const char c = exeFullPath[i];
        if (platform::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < exeFullPath.size()) {
            ++i;
        } else if (c == '\\' || c == '/') {
            nameStart = i + 1;
        }
    }

    ProgramPaths paths;
    paths.exePath = exeFullPath;
    paths.exeDir = exeFullPath.substr(0, nameStart);
    const std::string fileName = exeFullPath.substr(nameStart);
    if (fileName.empty()) {
        return fail("The program's own path \"" + exeFullPath + "\" names no file.");
    }
    // The extension starts at the last dot of the file name; dots in directories do not count.
    const std::size_t dot = fileName.rfind('.');
    paths.appName = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    paths.iniPath = paths.exeDir + kIniFileName;

    // The INI path lives in a buffer of kMaxPath characters with its terminator.
    if (paths.iniPath.size() + 1 > kMaxPath) {
        return fail("The program's folder path is too long: \"" + paths.exeDir + "\" followed by \"" + kIniFileName +
                    "\" needs " + std::to_string(paths.iniPath.size()) + " characters, at most " +
                    std::to_string(kMaxPath - 1) + " fit.");
    }
    return paths;
}

} // namespace glimmerfen
