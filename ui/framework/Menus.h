// Shortcut menus of the program's windows.
#pragma once

#include <windows.h>

namespace glimmerfen::ui {

// Shows `popup` at the screen point `at` until the user chooses or dismisses it; the chosen command
// goes to `owner` (the main window, which receives every menu command of the program) as WM_COMMAND.
// `shownFor` (the window the menu belongs to: the hidden main window itself for the tray menu, the
// list window for its own menu) becomes the foreground window first, or the menu would not close
// when the user clicks elsewhere; a WM_NULL posted to the owner after makes the next menu opened
// from the tray stay open.
void TrackShortcutMenu(HMENU popup, POINT at, UINT flags, HWND owner, HWND shownFor);

} // namespace glimmerfen::ui
