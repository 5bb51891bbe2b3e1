#include "platform/win32/tray_shell.h"

#include <utility>

#include "platform/win32/checks.h"
#include "platform/win32/tray_shell_testing.h"

namespace glimmerfen::platform {
namespace {

NotifyIconCall& NotifyIconHook() {
    static NotifyIconCall hook;
    return hook;
}

AllowMessageCall& AllowMessageHook() {
    static AllowMessageCall hook;
    return hook;
}

} // namespace

bool NotifyIcon(DWORD action, NOTIFYICONDATAA& record) {
    if (const NotifyIconCall& hook = NotifyIconHook()) {
        return hook(action, record);
    }
    return ::Shell_NotifyIconA(action, &record) != FALSE;
}

bool AllowMessageFromShell(HWND window, UINT message) {
    if (const AllowMessageCall& hook = AllowMessageHook()) {
        return hook(window, message);
    }
    return GF_CHECK_BOOL(::ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr));
}

void SetTrayShellForTesting(NotifyIconCall notifyIcon, AllowMessageCall allowMessage) {
    NotifyIconHook() = std::move(notifyIcon);
    AllowMessageHook() = std::move(allowMessage);
}

} // namespace glimmerfen::platform
