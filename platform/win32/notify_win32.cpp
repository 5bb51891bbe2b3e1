// Messages in a message box with an OK button, which another thread can end.
#include "platform/notify.h"

#include <windows.h>

#include "platform/notify_shown.h"

namespace glimmerfen::platform {

namespace {

UINT IconStyle(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::Warning:
        return MB_ICONWARNING;
    case MessageIcon::Error:
        return MB_ICONERROR;
    case MessageIcon::None:
        break;
    }
    return 0;
}

// The box that this thread is opening; its window is the first dialog window the thread creates.
thread_local ShownMessage* opening = nullptr;
thread_local HHOOK openingHook = nullptr;

bool IsDialogWindow(HWND window) {
    char name[16] = {};
    return ::GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, "#32770") == 0;
}

void EndBox(HWND window) {
    // What the OK button does; posted, so it also reaches a box whose own loop has not begun yet.
    ::PostMessageA(window, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && opening != nullptr) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialogWindow(window)) {
            std::lock_guard<std::mutex> lock(ShownMessagesMutex());
            opening->window = window;
            if (opening->dismissed) {
                EndBox(window);
            }
            opening = nullptr;
        }
    }
    return ::CallNextHookEx(openingHook, code, wParam, lParam);
}

} // namespace

void ShowSystemMessage(const std::string& text, const std::string& caption, MessageIcon icon, ShownMessage& shown) {
    ShownMessage* const outer = opening;
    const HHOOK outerHook = openingHook;
    opening = &shown;
    openingHook = ::SetWindowsHookExA(WH_CBT, &WatchCreation, nullptr, ::GetCurrentThreadId());
    // No owner window: the box may come from a timer thread, which owns no window.
    ::MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
    if (openingHook != nullptr) {
        ::UnhookWindowsHookEx(openingHook);
    }
    opening = outer;
    openingHook = outerHook;
    std::lock_guard<std::mutex> lock(ShownMessagesMutex());
    shown.window = nullptr;
}

void DismissSystemMessage(ShownMessage& shown) {
    if (shown.window != nullptr) {
        EndBox(static_cast<HWND>(shown.window));
    }
}

} // namespace glimmerfen::platform
