// The shortcut in the current user's Startup folder that starts the program at logon.
#pragma once

#include <string>

namespace glimmerfen {

struct AppSettings;

inline constexpr const char* kShortcutFileName = "GlimmerfenChecker.lnk";
inline constexpr const char* kShortcutDescription = "GlimmerfenChecker";
inline constexpr const char* kShortcutDeletionFailed = "Shortcut deletion went wrong.";

// Brings the Startup folder in line with ChkStartUp: 1 creates (or overwrites) the shortcut to exePath,
// anything else deletes it. A failed creation is not reported; a failed deletion (a missing shortcut
// included) shows "Shortcut deletion went wrong." with appName as caption. May run on any thread.
void UpdateStartupShortcut(const AppSettings& settings, const std::string& exePath, const std::string& appName);

// The shortcut's full path in the current user's Startup folder; empty when the folder is unknown
// (always on the portable layer, which has none).
std::string StartupShortcutPath();

} // namespace glimmerfen
