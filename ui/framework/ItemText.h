// Texts handed to a virtual list view that asks for them (LVN_GETDISPINFO), in either character set.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string_view>

namespace glimmerfen::ui {

// Copies an ANSI text into the item's buffer, cut at a whole character when it does not fit: never
// half of a double-byte one.
void PutItemText(LVITEMA& item, std::string_view text);
// Converts an ANSI text into the item's buffer, cut at a whole character when it does not fit.
void PutItemText(LVITEMW& item, std::string_view text);

} // namespace glimmerfen::ui
