// The portable layer has no Startup folder: nothing is started at logon, so there is no place for a
// shortcut. A shortcut at a path given by the caller is a text file naming its target.
#include "platform/shortcut.h"

#include <cstdio>
#include <fstream>

namespace glimmerfen::platform {

std::string StartupShortcutPath(const std::string&) {
    return {};
}

bool CreateShortcut(const std::string& shortcutPath, const std::string& target, const std::string& description) {
    std::ofstream file(shortcutPath, std::ios::binary | std::ios::trunc);
    file << target << '\n' << description << '\n';
    return static_cast<bool>(file.flush());
}

bool DeleteShortcut(const std::string& shortcutPath) {
    return std::remove(shortcutPath.c_str()) == 0;
}

} // namespace glimmerfen::platform
