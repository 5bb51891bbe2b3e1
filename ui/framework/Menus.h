// Shortcut menus of the program's windows.
#pragma once

#include <windows.h>

namespace glimmerfen::ui {

// Shows `popup` at the screen point `at` until the user chooses or dismisses it; the chosen command
// goes to `owner` as WM_COMMAND. The owner becomes the foreground window first, or the menu would not
// close when the user clicks elsewhere (the main window is hidden and a tray menu has no other
// window), and a WM_NULL is posted to it after, so that the next menu opened from the tray does not
// close at once.
void TrackShortcutMenu(HWND owner, HMENU popup, POINT at, UINT flags);

} // namespace glimmerfen::ui
