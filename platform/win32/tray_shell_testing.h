// Test hook of the shell's icon calls: a test sees what a window asks of the shell, and may answer in
// the shell's place.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>

namespace glimmerfen::platform {

using NotifyIconCall = std::function<bool(DWORD action, NOTIFYICONDATAA& record)>;
using AllowMessageCall = std::function<bool(HWND window, UINT message)>;

// NotifyIcon and AllowMessageFromShell call these instead of the system; empty ones restore the
// system's calls. Set them only while no window that uses them exists (the tray tick calls NotifyIcon
// from a timer thread).
void SetTrayShellForTesting(NotifyIconCall notifyIcon, AllowMessageCall allowMessage);

} // namespace glimmerfen::platform
