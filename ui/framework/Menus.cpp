#include "ui/framework/Menus.h"

namespace glimmerfen::ui {

void TrackShortcutMenu(HMENU popup, POINT at, UINT flags, HWND owner, HWND shownFor) {
    if (popup == nullptr || owner == nullptr) {
        return;
    }
    ::SetForegroundWindow(shownFor != nullptr ? shownFor : owner);
    ::TrackPopupMenu(popup, flags, at.x, at.y, 0, owner, nullptr);
    ::PostMessageA(owner, WM_NULL, 0, 0);
}

} // namespace glimmerfen::ui
