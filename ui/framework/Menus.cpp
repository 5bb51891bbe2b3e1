#include "ui/framework/Menus.h"

namespace glimmerfen::ui {

void TrackShortcutMenu(HWND owner, HMENU popup, POINT at, UINT flags) {
    if (owner == nullptr || popup == nullptr) {
        return;
    }
    ::SetForegroundWindow(owner);
    ::TrackPopupMenu(popup, flags, at.x, at.y, 0, owner, nullptr);
    ::PostMessageA(owner, WM_NULL, 0, 0);
}

} // namespace glimmerfen::ui
