// What the log viewer decides without a window: the progress bar's range and positions, the
// window's remembered place and columns, and where the controls go on a resize.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "monitor/Worker.h"

#include "monitor/log/LoadedLog.h"
#include "monitor/log/LogActivity.h"
#include "monitor/log/LogSearch.h"
#include "ui/framework/ColumnLogic.h"
#include "ui/framework/Dpi.h"

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

// The activity strip's height in pixels of a 96-dots-per-inch screen: as it starts, and the bounds a
// saved or dragged height is kept within.
inline constexpr int kStripDefaultHeight = 48;
inline constexpr int kStripMinHeight = 16;
inline constexpr int kStripMaxHeight = 240;
int ClampStripHeight(int height);

// Section "LogDialogPos" of the INI file: the window's outer rectangle at the last close, the list's
// columns, and the activity strip's height and whether it is shown.
inline constexpr const char* kLogDialogPosSection = "LogDialogPos";
struct LogDialogPos {
    int top = 0;
    int bottom = 0;
    int right = 0;
    int left = 0;
    ColumnTable columns;
    int stripHeight = kStripDefaultHeight; // 96-dots-per-inch pixels
    bool stripShown = true;

    // A rectangle counts as saved when its top or its bottom is not 0.
    bool HasRect() const { return top != 0 || bottom != 0; }
};
// Widths default to 100 pixels, shown flags to 1; a strip height out of bounds is brought within them.
LogDialogPos ReadLogDialogPos(const std::string& iniPath);
// "top", "bottom", "right", "left", "column0" to "column8", "columnck0" to "columnck8", "StripHeight",
// "StripShown", in this order.
void WriteLogDialogPos(const std::string& iniPath, const LogDialogPos& pos);

// Where the controls go for a window whose outer rectangle, in client coordinates, is left, top,
// right, bottom (left and top are negative by the frame and the caption). x, y, width, height each.
struct LogViewLayout {
    struct Box {
        int x, y, width, height;
        bool operator==(const Box&) const = default;
    };
    Box tree, list, status, progress;
    Box search; // the search box, above the list
    Box strip;  // the activity strip, between the search box and the list; 0 high when hidden
};
// dpi: the system's dots per inch; the distances are those of 96, scaled. stripHeight: the activity
// strip's height at 96 dots per inch, 0 when it is hidden.
LogViewLayout ComputeLogViewLayout(int left, int top, int right, int bottom, int dpi = kDefaultDpi,
                                   int stripHeight = 0);

// The bars of the activity strip: one per hour of a date's or a user's lines, or one per date of a
// search's matches, with where the first line of each is in the list. Made once per selection or
// search; StripColumns lays them out for the strip's width.
class ActivityBars {
public:
    enum class Kind { None, Hours, Dates };
    struct Bar {
        std::uint32_t count = 0;             // the bar's height: accesses of an hour, lines of a date
        std::uint32_t other = 0;             // disconnections of an hour (not drawn)
        std::uint32_t first = kNoListedLine; // index into the listed rows
        std::uint32_t date = 0;              // Kind::Dates: index into LoadedLog::Dates()
    };

    ActivityBars() = default;
    static ActivityBars Hours(const std::array<HourBin, 24>& bins);
    static ActivityBars Dates(const std::vector<DateBin>& bins);

    Kind kind() const { return kind_; }
    const std::vector<Bar>& bars() const { return bars_; }

private:
    Kind kind_ = Kind::None;
    std::vector<Bar> bars_;
};

// One column of the strip: a bar, or neighbouring bars merged into one pixel when there are more bars
// than pixels.
struct StripColumn {
    std::size_t firstBar = 0; // the bars it covers, firstBar to lastBar
    std::size_t lastBar = 0;
    std::uint64_t count = 0;             // the sum of their counts
    std::uint64_t other = 0;             // the sum of their other counts
    std::uint32_t first = kNoListedLine; // the earliest first listed line among them
};

// The columns of bars in a room of pixels: one per bar when there are no more bars than pixels; else
// one per pixel, column c holding bars c * n / pixels up to (c + 1) * n / pixels, so that every bar is
// counted in exactly one column. None without bars or room.
std::vector<StripColumn> MergeBars(const std::vector<ActivityBars::Bar>& bars, int pixels);

// The strip's columns for a width and a dpi, and where they stand: each owns a slice of the width
// between the margins (its whole height: what a click or the tooltip answers to), and the bar drawn
// in it is 0 high for a count of 0, at least 1 pixel for any other. Columns share the width evenly;
// they touch.
class StripColumns {
public:
    StripColumns() = default;
    StripColumns(const ActivityBars& bars, int width, int dpi);

    const std::vector<StripColumn>& columns() const { return columns_; }
    std::uint64_t MaxCount() const { return max_; }

    LogViewLayout::Box Column(std::size_t column, int height) const;
    LogViewLayout::Box BarBox(std::size_t column, int height) const;
    // The column that holds the point, or -1 (margins, no columns).
    int HitTest(int x, int y, int height) const;
    // The column that holds a bar; 0 without columns.
    std::size_t ColumnOfBar(std::size_t bar) const;

private:
    std::vector<StripColumn> columns_;
    std::uint64_t max_ = 0;
    int width_ = 0;
    int dpi_ = kDefaultDpi;
};

// The tooltip of a column: its hour or hours, accesses and disconnections; or its date, or its first
// and last date, and the lines found.
std::string StripTip(const ActivityBars& bars, const StripColumn& column, const LoadedLog& log);

// Runs the viewer's searches on a worker thread of its own, one at a time: a new Start cancels the
// search in progress (its generation is no longer the latest), and only the latest search's result
// is kept, for the window to Take. done is called on the worker after a result was kept (the window
// posts itself a message there); it is never called with a lock held.
//
// The worker reads the log between Start and the search's end: before the log changes (a load, a
// deletion, a clear), Stop, which cancels and waits for that read to end (a cancelled search notices
// within a MiB of bytes).
class LogSearchRunner {
public:
    struct Result {
        std::uint64_t generation = 0;
        std::vector<std::uint32_t> rows;
        std::vector<DateBin> dates; // the rows per date, for the strip
    };

    explicit LogSearchRunner(std::function<void()> done);
    ~LogSearchRunner();
    LogSearchRunner(const LogSearchRunner&) = delete;
    LogSearchRunner& operator=(const LogSearchRunner&) = delete;

    // Searches the log for the query; returns the search's generation (0: no search was started).
    std::uint64_t Start(const LoadedLog& log, LogQuery query);
    // Cancels any search and waits until the worker no longer reads the log; drops any kept result.
    void Stop();
    // The kept result if it is the latest search's; an older one is dropped.
    std::optional<Result> Take();

private:
    // What a search on the worker uses besides the log, shared with the worker's tasks.
    struct Shared {
        explicit Shared(std::function<void()> d) : done(std::move(d)) {}
        const std::function<void()> done;
        std::mutex mutex;
        std::atomic<std::uint64_t> generation{0};
        std::optional<Result> result; // under mutex
    };
    static void Search(Shared& shared, const LoadedLog& log, const LogQuery& query, std::uint64_t mine);

    std::shared_ptr<Shared> shared_;
    Worker worker_; // its thread starts at the first search
};

// The name the Save dialog offers for the listed lines of a selection: "log_<date>.csv", with
// "_<user>" after the date for one user's lines, "log.csv" without a selection. Characters that a
// file name cannot hold (\ / : * ? " < > | and control characters) become '_'; the trail bytes of
// double-byte characters are left alone.
std::string CsvFileNameFor(const LogSelection& selection);

} // namespace glimmerfen::ui
