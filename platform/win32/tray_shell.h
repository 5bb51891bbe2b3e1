// The shell's calls about a window's icon in the notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace glimmerfen::platform {

// Shell_NotifyIconA: true when the shell did what action asks.
bool NotifyIcon(DWORD action, NOTIFYICONDATAA& record);

// Lets message through to window from processes of lower integrity (the shell, when this program runs
// as administrator). A failure is recorded as the thread's last Win32 failure.
bool AllowMessageFromShell(HWND window, UINT message);

} // namespace glimmerfen::platform
