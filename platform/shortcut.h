// Shortcuts in the current user's Startup folder, which the system starts at logon.
#pragma once

#include <string>

namespace glimmerfen::platform {

// The full path of a shortcut named fileName in the current user's Startup folder; empty when the
// folder is unknown (or the system has none).
std::string StartupShortcutPath(const std::string& fileName);

// Creates the shortcut file at shortcutPath, or overwrites it, pointing at target. May run on any
// thread. False when it could not be written.
bool CreateShortcut(const std::string& shortcutPath, const std::string& target, const std::string& description);

// Deletes the shortcut file; false when it could not (a missing file included).
bool DeleteShortcut(const std::string& shortcutPath);

} // namespace glimmerfen::platform
