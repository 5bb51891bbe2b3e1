// Messages in a message box with an OK button.
#include "platform/notify.h"

#include <windows.h>

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

} // namespace

void ShowSystemMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    // No owner window: the box may come from a timer thread, which owns no window.
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
}

} // namespace glimmerfen::platform
