// The access log as the log viewer holds it: the file's bytes once, each line's fields as offsets
// into them, the lines grouped by local date and, under each date, by user; which lines a selection
// lists, marks of deleted lines, and the rewrite of "log.txt" without the marked lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/log/LogFile.h"

namespace glimmerfen {

// Fields 0 to 9 of a line; a piece after the tenth TAB is not kept.
inline constexpr int kLogViewFields = 10;

// What became of a load.
enum class LogLoad {
    Loaded,    // the rows hold the file's lines
    NotOpened, // missing or held by another opening: no rows
    Failed,    // a read failed, or a line was too long to index: no rows
};

// What became of an Apply deletions.
enum class LogApply {
    Unchanged,  // no line was marked: "log.txt" was not touched
    Replaced,   // "log.txt" now holds the kept and the appended lines
    NotOpened,  // "log.txt" or "log_tmp.txt" could not be opened: nothing changed
    Failed,     // a read or write, or the replace failed: "log.txt" is as it was, "log_tmp.txt" removed
    LogChanged, // the loaded lines are no longer the start of "log.txt": nothing changed
};

// What a selection in the date tree stands for: a date, or one user under one date. Kept as texts,
// so that it still means the same lines after a reload.
struct LogSelection {
    enum class Kind { None, Date, User };
    Kind kind = Kind::None;
    std::string date; // "%d-%02d-%02d"
    std::string user; // Kind::User: the user name, compared byte for byte

    static LogSelection Date(std::string date) { return {Kind::Date, std::move(date), {}}; }
    static LogSelection User(std::string date, std::string user) {
        return {Kind::User, std::move(date), std::move(user)};
    }
};

// The local date of a line's time, "%d-%02d-%02d"; "0-00-00" for an instant the system cannot
// convert (before 1970).
std::string LogDateText(std::int32_t seconds);
// Field 0 read as a time (ReadLineTime): a line without a TAB is its own field 0.
std::int32_t LogFieldTime(std::string_view field);

class LoadedLog {
public:
    static constexpr std::uint32_t kNoGroup = 0xFFFFFFFFu;

    struct UserGroup {
        std::uint32_t date = 0; // index into the dates
        std::string_view user;  // field 2, a view into the loaded bytes
        std::uint32_t rows = 0; // lines of this user on this date that are not marked
    };
    struct DateGroup {
        std::string text;
        std::vector<std::uint32_t> users; // indices into the user groups, in byte order of the names
        std::uint32_t rows = 0;           // lines of this date that are not marked
    };

    // Reads exeDir + "log.txt" whole (holding the log-file guard only while reading), then splits and
    // groups it. Any earlier rows and marks are dropped first, whatever the result.
    // progress(done, total) is called with the number of lines split so far, every 65,536 lines and at
    // the end, outside the guard.
    using Progress = std::function<void(std::size_t done, std::size_t total)>;
    LogLoad Load(const std::string& exeDir, const Progress& progress = {});
    // Splits and groups bytes already in memory, as Load does after reading them. False when a line is
    // too long to index (4 GiB); the rows are then empty.
    bool Assign(std::string bytes, const Progress& progress = {});
    void Clear();

    // Number of lines of the loaded file, blank ones included (N).
    std::size_t RowCount() const { return begins_.size(); }
    // Field 0 to 9 of a row; empty for a field the line does not have.
    std::string_view Field(std::size_t row, int field) const;
    // The whole line without its line end.
    std::string_view Line(std::size_t row) const;
    // The loaded bytes as read: every row's Line and Field views lie inside, in row order, so a scan
    // of them meets the rows in file order.
    std::string_view Bytes() const { return bytes_; }
    // The user group of a row; kNoGroup for a marked row, which no selection lists. A line whose field 0
    // is empty (a blank one too) is marked from the load on.
    std::uint32_t GroupOf(std::size_t row) const { return rows_[row].group; }
    bool IsMarked(std::size_t row) const { return rows_[row].group == kNoGroup; }

    const std::vector<DateGroup>& Dates() const { return dates_; }
    const std::vector<UserGroup>& Users() const { return users_; }
    // Indices of the dates that still have lines, ascending by text (zero-padded, so chronological).
    std::vector<std::uint32_t> DateOrder() const;
    // The date of the last line that has one, for expanding it; -1 when there is none.
    std::int64_t LastDate() const;
    // The index of the date with this text, or -1.
    std::int64_t FindDate(std::string_view text) const;

    // The rows a selection lists, in file order: every line of a date, or one user's lines of one
    // date. Marked rows and blank lines are never listed.
    std::vector<std::uint32_t> ListedRows(const LogSelection& selection) const;
    // Marks the rows the selection lists as deleted and takes them out of their groups; a date left
    // without lines disappears from DateOrder. Returns the number of rows marked.
    std::size_t MarkDeleted(const LogSelection& selection);

    // With no row marked, does nothing (Unchanged). Otherwise writes exeDir + "log_tmp.txt" with every
    // loaded line that is not marked, then every line appended to "log.txt" since the load, each ending
    // with CR LF, and puts it in the place of "log.txt" in one step. The kept lines are written from
    // memory with the log free; the log is then compared with the loaded bytes in pieces of chunkSize,
    // each under the log-file guard and an opening of its own, and the last piece, the appended lines
    // and the replace under one more: an append waits for one piece at most. When "log.txt" no longer
    // starts with the loaded bytes (it was rewritten by someone else), the marks would fall on other
    // lines: nothing is changed then. On any failure "log.txt" is left as it was and "log_tmp.txt"
    // removed. The marks stay either way. The viewer's pieces are kLogChunkSize bytes (0 means that too).
    LogApply ApplyDeletions(const std::string& exeDir, std::size_t chunkSize) const;

private:
    // End of field k relative to the line's start: the TAB after it, or the end of the line. Lines
    // of the usual length keep them in 16 bits; a line whose fields end at 65535 or beyond has
    // kLongLine in ends[0] and its ends in longEnds_.
    static constexpr std::uint16_t kLongLine = 0xFFFF;
    struct Row {
        std::uint16_t ends[kLogViewFields];
        std::uint32_t group;
    };
    struct LongEnds {
        std::uint32_t row;
        std::uint32_t ends[kLogViewFields];
    };

    struct RowFinder;
    // Indexes the fields of the line at pos; false when it is too long to index.
    bool AddRow(std::size_t pos, std::size_t size);
    // The rows a selection covers, as a flag per user group; false when it covers none.
    bool SelectedGroups(const LogSelection& selection, std::vector<char>& flags) const;
    std::size_t LineEnd(std::size_t row) const;
    std::uint32_t End(std::size_t row, int field) const; // offset of the line's end, its CR LF excluded
    void Group();

    std::string bytes_;
    std::vector<std::uint64_t> begins_; // offset of each line in bytes_
    std::vector<Row> rows_;
    std::vector<LongEnds> longEnds_; // by row, ascending
    std::vector<DateGroup> dates_;
    std::vector<UserGroup> users_;
    std::size_t marked_ = 0;
};

} // namespace glimmerfen
