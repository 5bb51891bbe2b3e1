#include "monitor/log/LoadedLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "monitor/log/LogFile.h"
#include "monitor/log/LogLines.h"
#include "platform/clock.h"
#include "platform/exclusive_file.h"
#include "platform/localtime_cache.h"

namespace glimmerfen {

namespace {

constexpr std::uint32_t kMaxLine = std::numeric_limits<std::uint32_t>::max();

// A user group is found by its date and its name's bytes.
struct UserKey {
    std::uint32_t date;
    std::string_view user;
    bool operator==(const UserKey& other) const { return date == other.date && user == other.user; }
};
struct UserKeyHash {
    std::size_t operator()(const UserKey& key) const {
        return std::hash<std::string_view>()(key.user) ^ (std::size_t{key.date} * 0x9E3779B97F4A7C15ull);
    }
};

// Lines appended after the load, passed on with CR LF line ends: an LF without a CR before it gets
// one, and a last line without an end gets CR LF. A blank line appended stays: the viewer never saw it.
//
// When the loaded file ended inside a line (without its line end), the appended bytes up to the next
// LF are the rest of that line (the splitter starts inside it). For a kept line they simply continue
// it (its bytes are already out, without a line end). For a marked line they are kept as a line of
// their own unless they are empty: they were not there when the line was marked.
class AppendedLines {
public:
    AppendedLines(BufferedWriter& out, bool continuesMarkedLine) : out_(out), dropIfEmpty_(continuesMarkedLine) {}

    void Whole(const char* line, std::size_t size, std::size_t withEnd) {
        if (withEnd == size + 2) {
            out_.Put(line, withEnd);
        } else {
            out_.Put(line, size);
            out_.Put("\r\n", 2);
        }
    }
    void Part(const char* data, std::size_t size) {
        out_.Put(data, size);
        any_ = true;
    }
    void End() {
        if (any_ || !dropIfEmpty_) {
            out_.Put("\r\n", 2);
        }
        any_ = false;
        dropIfEmpty_ = false;
    }

private:
    BufferedWriter& out_;
    bool dropIfEmpty_;
    bool any_ = false;
};

} // namespace

std::int32_t LogFieldTime(std::string_view field) {
    return ReadLineTime(field, LineWithoutTab::WholeLineIsField0);
}

namespace {

std::string DateText(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%d-%02d-%02d", year, month, day);
    return text;
}

} // namespace

std::string LogDateText(std::int32_t seconds) {
    const platform::LocalTimeParts parts = platform::ToLocalTime(seconds);
    return DateText(parts.year, parts.month, parts.day);
}

void LoadedLog::Clear() {
    bytes_.clear();
    bytes_.shrink_to_fit();
    begins_.clear();
    begins_.shrink_to_fit();
    rows_.clear();
    rows_.shrink_to_fit();
    longEnds_.clear();
    dates_.clear();
    users_.clear();
    marked_ = 0;
}

LogLoad LoadedLog::Load(const std::string& exeDir, const Progress& progress) {
    Clear();
    const std::string logPath = LogPathIn(exeDir);
    std::string bytes;
    {
        std::lock_guard<LogGuard> lock(LogFileGuard());
        platform::ExclusiveFile in;
        if (!in.Open(logPath, platform::FileOpenMode::ReadExisting)) {
            return LogLoad::NotOpened;
        }
        // The size as a hint only: the file is read to its end whatever it says.
        const std::int64_t size = in.Size();
        std::size_t capacity = size < 0 ? std::size_t{1} << 16 : static_cast<std::size_t>(size) + 1;
        bytes.resize(capacity);
        std::size_t used = 0;
        for (;;) {
            if (used == bytes.size()) {
                bytes.resize(bytes.size() * 2);
            }
            const std::int64_t got = in.Read(bytes.data() + used, bytes.size() - used);
            if (got < 0) {
                return LogLoad::Failed;
            }
            if (got == 0) {
                break;
            }
            used += static_cast<std::size_t>(got);
        }
        bytes.resize(used);
    }
    return Assign(std::move(bytes), progress) ? LogLoad::Loaded : LogLoad::Failed;
}

// The rows of bytes held in memory, as the splitter finds them.
struct LoadedLog::RowFinder {
    LoadedLog& log;
    const char* data;
    std::size_t size;
    std::size_t lines;
    const Progress& progress;
    std::size_t lineStart = 0;
    bool ok = true;

    void Whole(const char* line, std::size_t length, std::size_t withEnd) {
        const std::size_t begin = static_cast<std::size_t>(line - data);
        Add(begin, length);
        lineStart = begin + withEnd;
    }
    // Only the last line, which has no LF, comes in parts: it runs to the end of the bytes.
    void Part(const char*, std::size_t) {}
    void End() { Add(lineStart, size - lineStart); }

    void Add(std::size_t begin, std::size_t length) {
        ok = ok && log.AddRow(begin, length);
        if (progress && log.rows_.size() % 65536 == 0) {
            progress(log.rows_.size(), lines);
        }
    }
};

bool LoadedLog::Assign(std::string bytes, const Progress& progress) {
    Clear();
    bytes_ = std::move(bytes);
    const char* data = bytes_.data();
    const std::size_t size = bytes_.size();
    // The lines are counted first, so that the tables are allocated once at their size.
    std::size_t lines = static_cast<std::size_t>(std::count(data, data + size, '\n'));
    if (size > 0 && data[size - 1] != '\n') {
        ++lines;
    }
    if (lines >= kNoGroup) {
        Clear();
        return false; // rows are numbered in 32 bits
    }
    begins_.reserve(lines);
    rows_.reserve(lines);

    LineSplitter splitter;
    RowFinder finder{*this, data, size, lines, progress};
    splitter.Consume(data, size, finder);
    splitter.Finish(finder);
    if (!finder.ok) {
        Clear();
        return false;
    }
    if (progress) {
        progress(rows_.size(), lines);
    }
    Group();
    return true;
}

bool LoadedLog::AddRow(std::size_t pos, std::size_t size) {
    if (size > kMaxLine) {
        return false;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(size);
    std::uint32_t ends[kLogViewFields] = {};
    int field = 0;
    const char* line = bytes_.data() + pos;
    for (std::uint32_t at = 0; field < kLogViewFields - 1;) {
        const void* tab = std::memchr(line + at, '\t', length - at);
        if (tab == nullptr) {
            break;
        }
        at = static_cast<std::uint32_t>(static_cast<const char*>(tab) - line);
        ends[field++] = at;
        ++at;
    }
    if (field == kLogViewFields - 1) {
        // Field 9 ends at the tenth TAB; whatever follows it is not a field the viewer shows.
        const std::uint32_t from = ends[field - 1] + 1;
        const void* tab = std::memchr(line + from, '\t', length - from);
        ends[field++] = tab == nullptr ? length : static_cast<std::uint32_t>(static_cast<const char*>(tab) - line);
    }
    for (; field < kLogViewFields; ++field) {
        ends[field] = length;
    }
    Row row{};
    row.group = kNoGroup;
    if (ends[kLogViewFields - 1] < kLongLine) {
        std::copy(ends, ends + kLogViewFields, row.ends);
    } else {
        row.ends[0] = kLongLine;
        LongEnds entry{static_cast<std::uint32_t>(rows_.size()), {}};
        std::copy(ends, ends + kLogViewFields, entry.ends);
        longEnds_.push_back(entry);
    }
    begins_.push_back(pos);
    rows_.push_back(row);
    return true;
}

void LoadedLog::Group() {
    // A local date as one number, for finding its index.
    auto dayKey = [](const platform::LocalDateHour& local) {
        return (std::int64_t{local.year} * 100 + local.month) * 100 + local.day;
    };
    std::unordered_map<std::int64_t, std::uint32_t> dateIndex;
    std::unordered_map<UserKey, std::uint32_t, UserKeyHash> userIndex;
    platform::LocalTimeCache localTimes;
    // Lines mostly come in order: most share the date of the line before.
    std::int64_t lastDay = -1;
    std::uint32_t lastDate = 0;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const std::string_view time0 = Field(r, 0);
        if (time0.empty()) {
            ++marked_; // a line without a time (a blank one too) is listed nowhere and dropped at the next rewrite
            continue;
        }
        const platform::LocalDateHour local = localTimes.Of(LogFieldTime(time0));
        const std::int64_t day = dayKey(local);
        if (day != lastDay) {
            auto [it, added] = dateIndex.try_emplace(day, static_cast<std::uint32_t>(dates_.size()));
            if (added) {
                dates_.push_back(DateGroup{DateText(local.year, local.month, local.day), {}, 0});
            }
            lastDay = day;
            lastDate = it->second;
        }
        const std::uint32_t d = lastDate;
        const UserKey key{d, Field(r, 2)};
        auto [it, added] = userIndex.try_emplace(key, static_cast<std::uint32_t>(users_.size()));
        if (added) {
            users_.push_back(UserGroup{d, key.user, 0});
            dates_[d].users.push_back(it->second);
        }
        rows_[r].group = it->second;
        ++users_[it->second].rows;
        ++dates_[d].rows;
    }
    for (DateGroup& date : dates_) {
        std::sort(date.users.begin(), date.users.end(),
                  [this](std::uint32_t a, std::uint32_t b) { return users_[a].user < users_[b].user; });
    }
}

std::uint32_t LoadedLog::End(std::size_t row, int field) const {
    const Row& r = rows_[row];
    if (r.ends[0] != kLongLine) {
        return r.ends[field];
    }
    const auto it = std::lower_bound(longEnds_.begin(), longEnds_.end(), row,
                                     [](const LongEnds& entry, std::size_t index) { return entry.row < index; });
    return it->ends[field];
}

std::string_view LoadedLog::Field(std::size_t row, int field) const {
    const std::uint32_t end = End(row, field);
    const std::uint32_t before = field == 0 ? 0 : End(row, field - 1);
    // A field the line does not have ends where the one before it ends, at the line's end.
    if (field > 0 && before == end) {
        return {};
    }
    const std::uint32_t begin = field == 0 ? 0 : before + 1;
    return std::string_view(bytes_.data() + begins_[row] + begin, end - begin);
}

std::size_t LoadedLog::LineEnd(std::size_t row) const {
    std::size_t end = row + 1 < begins_.size() ? static_cast<std::size_t>(begins_[row + 1]) : bytes_.size();
    if (end > begins_[row] && bytes_[end - 1] == '\n') {
        --end;
        if (end > begins_[row] && bytes_[end - 1] == '\r') {
            --end;
        }
    }
    return end;
}

std::string_view LoadedLog::Line(std::size_t row) const {
    const std::size_t begin = static_cast<std::size_t>(begins_[row]);
    return std::string_view(bytes_.data() + begin, LineEnd(row) - begin);
}

std::vector<std::uint32_t> LoadedLog::DateOrder() const {
    std::vector<std::uint32_t> order;
    for (std::uint32_t d = 0; d < dates_.size(); ++d) {
        if (dates_[d].rows > 0) {
            order.push_back(d);
        }
    }
    std::sort(order.begin(), order.end(),
              [this](std::uint32_t a, std::uint32_t b) { return dates_[a].text < dates_[b].text; });
    return order;
}

std::int64_t LoadedLog::LastDate() const {
    for (std::size_t r = rows_.size(); r-- > 0;) {
        if (rows_[r].group != kNoGroup) {
            return users_[rows_[r].group].date;
        }
    }
    return -1;
}

std::int64_t LoadedLog::FindDate(std::string_view text) const {
    for (std::uint32_t d = 0; d < dates_.size(); ++d) {
        if (dates_[d].rows > 0 && dates_[d].text == text) {
            return d;
        }
    }
    return -1;
}

bool LoadedLog::SelectedGroups(const LogSelection& selection, std::vector<char>& flags) const {
    flags.assign(users_.size(), 0);
    if (selection.kind == LogSelection::Kind::None) {
        return false;
    }
    const std::int64_t date = FindDate(selection.date);
    if (date < 0) {
        return false;
    }
    bool any = false;
    for (std::uint32_t u : dates_[static_cast<std::size_t>(date)].users) {
        if (users_[u].rows > 0 && (selection.kind == LogSelection::Kind::Date || users_[u].user == selection.user)) {
            flags[u] = 1;
            any = true;
        }
    }
    return any;
}

std::vector<std::uint32_t> LoadedLog::ListedRows(const LogSelection& selection) const {
    std::vector<std::uint32_t> listed;
    std::vector<char> flags;
    if (!SelectedGroups(selection, flags)) {
        return listed;
    }
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const std::uint32_t g = rows_[r].group;
        if (g != kNoGroup && flags[g]) {
            listed.push_back(static_cast<std::uint32_t>(r));
        }
    }
    return listed;
}

std::size_t LoadedLog::MarkDeleted(const LogSelection& selection) {
    std::vector<char> flags;
    if (!SelectedGroups(selection, flags)) {
        return 0;
    }
    std::size_t marked = 0;
    for (Row& row : rows_) {
        if (row.group != kNoGroup && flags[row.group]) {
            row.group = kNoGroup;
            ++marked;
        }
    }
    marked_ += marked;
    for (std::uint32_t u = 0; u < users_.size(); ++u) {
        if (flags[u]) {
            dates_[users_[u].date].rows -= users_[u].rows;
            users_[u].rows = 0;
        }
    }
    for (DateGroup& date : dates_) {
        date.users.erase(std::remove_if(date.users.begin(), date.users.end(),
                                        [this](std::uint32_t u) { return users_[u].rows == 0; }),
                         date.users.end());
    }
    return marked;
}

LogApply LoadedLog::ApplyDeletions(const std::string& exeDir, std::size_t chunkSize) const {
    // Without a mark the file would only be copied onto itself.
    if (marked_ == 0) {
        return LogApply::Unchanged;
    }
    if (chunkSize == 0) {
        chunkSize = kLogChunkSize;
    }
    const std::string logPath = LogPathIn(exeDir);
    {
        // A log held by another program is found before the copy is made.
        std::lock_guard<LogGuard> lock(LogFileGuard());
        platform::ExclusiveFile probe;
        if (!probe.Open(logPath, platform::FileOpenMode::ReadExisting)) {
            return LogApply::NotOpened;
        }
    }
    FileRewrite rewrite = LogRewrite(exeDir);
    if (!rewrite.Open()) {
        return LogApply::NotOpened;
    }
    BufferedWriter& written = rewrite.Out();

    // The kept lines come from the loaded bytes, with no file of the log open: runs of kept lines that
    // already end in CR LF go out as they are.
    const char* data = bytes_.data();
    std::size_t runBegin = 0;
    std::size_t runEnd = 0;
    auto flushRun = [&] {
        if (runEnd > runBegin) {
            written.Put(data + runBegin, runEnd - runBegin);
        }
        runBegin = runEnd = 0;
    };
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        if (rows_[r].group == kNoGroup) {
            continue;
        }
        const std::size_t begin = static_cast<std::size_t>(begins_[r]);
        const std::size_t end = LineEnd(r);
        const std::size_t next = r + 1 < begins_.size() ? static_cast<std::size_t>(begins_[r + 1]) : bytes_.size();
        if (next == end + 2) {
            if (runEnd != begin) {
                flushRun();
                runBegin = begin;
            }
            runEnd = next;
            continue;
        }
        flushRun();
        if (next != end) {
            written.Put(data + begin, end - begin);
            written.Put("\r\n", 2);
        } else if (end > begin) {
            // The last line, without a line end: the appended bytes may continue it. A CR at its end
            // is held back, since an LF appended after it makes the two a line end.
            written.Put(data + begin, end - begin - (data[end - 1] == '\r' ? 1 : 0));
        }
    }
    flushRun();

    // The file must still start with the loaded bytes: the marks stand for those lines. They are
    // compared a piece at a time, each under its own opening, so that the poll's appends wait at most
    // for one piece; the last piece and what was appended since the load are read under one opening,
    // which then puts the copy in the log's place.
    std::unique_ptr<char[]> chunk(new char[chunkSize]);
    const std::size_t loaded = bytes_.size();
    const std::size_t lastPiece = loaded - std::min(loaded, chunkSize);
    // Opens the log and compares its bytes [from, to) with the loaded ones; Replaced when they match.
    auto compare = [&](platform::ExclusiveFile& in, std::size_t from, std::size_t to) {
        if (!in.Open(logPath, platform::FileOpenMode::ReadExisting)) {
            return LogApply::NotOpened;
        }
        if (!in.Seek(from)) {
            return LogApply::Failed;
        }
        for (std::size_t at = from; at < to;) {
            const std::int64_t got = in.Read(chunk.get(), std::min(chunkSize, to - at));
            if (got < 0) {
                return LogApply::Failed;
            }
            if (got == 0 || std::memcmp(chunk.get(), data + at, static_cast<std::size_t>(got)) != 0) {
                return LogApply::LogChanged;
            }
            at += static_cast<std::size_t>(got);
        }
        return LogApply::Replaced;
    };
    for (std::size_t at = 0; at < lastPiece; at += chunkSize) {
        std::lock_guard<LogGuard> lock(LogFileGuard());
        platform::ExclusiveFile in;
        if (const LogApply result = compare(in, at, std::min(at + chunkSize, lastPiece));
            result != LogApply::Replaced) {
            return result;
        }
    }

    std::lock_guard<LogGuard> lock(LogFileGuard());
    platform::ExclusiveFile in;
    if (const LogApply result = compare(in, lastPiece, loaded); result != LogApply::Replaced) {
        return result;
    }
    // A last line without a line end may be continued by the first appended bytes.
    const bool insideLine = !rows_.empty() && bytes_.back() != '\n';
    const bool lastMarked = insideLine && rows_.back().group == kNoGroup;
    LineSplitter splitter =
        insideLine ? LineSplitter::InsideLine(!lastMarked && bytes_.back() == '\r') : LineSplitter();
    AppendedLines appended(written, lastMarked);
    for (;;) {
        const std::int64_t got = in.Read(chunk.get(), chunkSize);
        if (got < 0) {
            return LogApply::Failed;
        }
        if (got == 0) {
            break;
        }
        splitter.Consume(chunk.get(), static_cast<std::size_t>(got), appended);
    }
    splitter.Finish(appended);
    return rewrite.Commit(&in) ? LogApply::Replaced : LogApply::Failed;
}

} // namespace glimmerfen
