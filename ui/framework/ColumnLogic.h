// The column table of the program's list controls: for each of the first ten columns a remembered
// width and a shown flag, brought up to date from the control's current widths at every background
// erase. Plain data and decisions, without a window, so that they are tested natively.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace glimmerfen::ui {

class ColumnTable {
public:
    // Columns at and beyond this index are not tracked.
    static constexpr int kTracked = 10;

    // Remembered widths in pixels: the last width seen while the column was shown.
    std::array<std::int32_t, kTracked> widths{};
    // 1 = shown, 0 = hidden; any other value freezes the column's entry.
    std::array<std::int32_t, kTracked> shown{};

    // Brings the table up to date from the control's current widths (one per header item):
    // width 0 hides the column and keeps its remembered width; a positive width is remembered,
    // and shows a hidden column again. Columns beyond the tenth are ignored.
    void Track(std::span<const int> currentWidths) noexcept;

    // Width to insert a column with: the remembered width when shown, 0 when hidden.
    int CreationWidth(int column) const noexcept;

    // Flips a column between shown and hidden and returns the width to give the control: 0 when it
    // is now hidden, else its remembered width reduced to the low 16 bits that the control's width
    // message carries. Nothing for a column that is not tracked.
    std::optional<int> Toggle(int column) noexcept;

    static bool IsTracked(int column) noexcept { return column >= 0 && column < kTracked; }
};

// INI persistence of the tables, one key per column: `widthKey` and `shownKey` are printf formats
// with one %d ("column%d", "columnck%d"). Columns 0 to count - 1 (at most ten) are read or written.
void LoadColumnWidths(ColumnTable& table, const std::string& iniPath, const char* section, const char* widthKey,
                      int count, int defaultWidth);
void LoadShownFlags(ColumnTable& table, const std::string& iniPath, const char* section, const char* shownKey,
                    int count, int defaultFlag);
void SaveColumnWidths(const ColumnTable& table, const std::string& iniPath, const char* section, const char* widthKey,
                      int count);
void SaveShownFlags(const ColumnTable& table, const std::string& iniPath, const char* section, const char* shownKey,
                    int count);

} // namespace glimmerfen::ui
