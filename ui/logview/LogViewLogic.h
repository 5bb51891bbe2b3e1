// What the log viewer decides without a window: the progress bar's range and positions, the
// window's remembered place and columns, and where the controls go on a resize.
#pragma once

#include <cstddef>
#include <string>

#include "monitor/log/LoadedLog.h"
#include "ui/list/ColumnLogic.h"
#include "ui/list/ListLogic.h"

namespace glimmerfen::ui {

// A progress bar's range and position are 16-bit quantities. Up to 65,535 lines the range is the
// line count and the position the number of lines done; with more, both are scaled down, so that the
// bar still runs from empty to full.
class ProgressScale {
public:
    static constexpr int kMaxRange = 65535;

    explicit ProgressScale(std::size_t total) : total_(total) {}

    int Range() const { return total_ > kMaxRange ? kMaxRange : static_cast<int>(total_); }
    // The position for done lines of the total (done beyond the total counts as the total).
    int Position(std::size_t done) const;

private:
    std::size_t total_;
};

// The list's columns: fields 1 to 9 of a log line.
inline constexpr int kLogColumnCount = 9;

// Section "LogDialogPos" of the INI file: the window's outer rectangle at the last close and the list's
// columns.
inline constexpr const char* kLogDialogPosSection = "LogDialogPos";
struct LogDialogPos {
    int top = 0;
    int bottom = 0;
    int right = 0;
    int left = 0;
    ColumnTable columns;

    // A rectangle counts as saved when its top or its bottom is not 0.
    bool HasRect() const { return top != 0 || bottom != 0; }
};
// Widths default to 100 pixels, shown flags to 1.
LogDialogPos ReadLogDialogPos(const std::string& iniPath);
// "top", "bottom", "right", "left", "column0" to "column8", "columnck0" to "columnck8", in this order.
void WriteLogDialogPos(const std::string& iniPath, const LogDialogPos& pos);

// Where the controls go for a window whose outer rectangle, in client coordinates, is left, top,
// right, bottom (left and top are negative by the frame and the caption). x, y, width, height each.
struct LogViewLayout {
    struct Box {
        int x, y, width, height;
        bool operator==(const Box&) const = default;
    };
    Box tree, list, status, progress;
};
// dpi: the system's dots per inch; the distances are those of 96, scaled.
LogViewLayout ComputeLogViewLayout(int left, int top, int right, int bottom, int dpi = kDefaultDpi);

// The name the Save dialog offers for the listed lines of a selection: "log_<date>.csv", with
// "_<user>" after the date for one user's lines, "log.csv" without a selection. Characters that a
// file name cannot hold (\ / : * ? " < > | and control characters) become '_'; the trail bytes of
// double-byte characters are left alone.
std::string CsvFileNameFor(const LogSelection& selection);

} // namespace glimmerfen::ui
