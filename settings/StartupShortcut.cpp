#include "settings/StartupShortcut.h"

#include <string>

#include "platform/notify.h"
#include "platform/shortcut.h"
#include "settings/Settings.h"

namespace glimmerfen {

std::string StartupShortcutPath() {
    return platform::StartupShortcutPath(kShortcutFileName);
}

void UpdateStartupShortcut(const AppSettings& settings, const std::string& exePath, const std::string& appName) {
    const std::string shortcutPath = StartupShortcutPath();
    if (settings.ChkStartUp.load() == 1) {
        // A failed creation is not reported: the user asked for a convenience, not for a file.
        if (!shortcutPath.empty()) {
            platform::CreateShortcut(shortcutPath, exePath, kShortcutDescription);
        }
        return;
    }
    if (shortcutPath.empty() || !platform::DeleteShortcut(shortcutPath)) {
        platform::ShowMessage(kShortcutDeletionFailed, appName, platform::MessageIcon::Warning);
    }
}

} // namespace glimmerfen
