// Distances of a 96-dots-per-inch screen on the screen the windows are drawn on.
#pragma once

namespace glimmerfen::ui {

inline constexpr int kDefaultDpi = 96;
// A distance in pixels of a 96-dots-per-inch screen on one of `dpi`, rounded.
int ScaleForDpi(int distance, int dpi);

} // namespace glimmerfen::ui
