#include "ui/logview/LogViewLogic.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string_view>
#include <utility>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen::ui {

int ProgressScale::Position(std::size_t done) const {
    if (done > total_) {
        done = total_;
    }
    if (total_ <= kMaxRange) {
        return static_cast<int>(done);
    }
    // 128-bit-free: done and total fit in 64 bits, and done * 65535 does too for any file that fits
    // in memory (below 2^48 lines).
    return static_cast<int>(static_cast<std::uint64_t>(done) * kMaxRange / static_cast<std::uint64_t>(total_));
}

LogDialogPos ReadLogDialogPos(const std::string& iniPath) {
    LogDialogPos pos;
    pos.top = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "top", 0);
    pos.bottom = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "bottom", 0);
    pos.right = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "right", 0);
    pos.left = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "left", 0);
    LoadColumnWidths(pos.columns, iniPath, kLogDialogPosSection, "column%d", kLogColumnCount, 100);
    LoadShownFlags(pos.columns, iniPath, kLogDialogPosSection, "columnck%d", kLogColumnCount, 1);
    pos.stripHeight =
        ClampStripHeight(platform::ProfileGetInt(iniPath, kLogDialogPosSection, "StripHeight", kStripDefaultHeight));
    pos.stripShown = platform::ProfileGetInt(iniPath, kLogDialogPosSection, "StripShown", 1) != 0;
    return pos;
}

void WriteLogDialogPos(const std::string& iniPath, const LogDialogPos& pos) {
    const auto write = [&](const char* key, int value) {
        platform::ProfileWriteInt(iniPath, kLogDialogPosSection, key, value);
    };
    write("top", pos.top);
    write("bottom", pos.bottom);
    write("right", pos.right);
    write("left", pos.left);
    SaveColumnWidths(pos.columns, iniPath, kLogDialogPosSection, "column%d", kLogColumnCount);
    SaveShownFlags(pos.columns, iniPath, kLogDialogPosSection, "columnck%d", kLogColumnCount);
    write("StripHeight", ClampStripHeight(pos.stripHeight));
    write("StripShown", pos.stripShown ? 1 : 0);
}

int ClampStripHeight(int height) {
    return std::clamp(height, kStripMinHeight, kStripMaxHeight);
}

LogViewLayout ComputeLogViewLayout(int left, int top, int right, int bottom, int dpi, int stripHeight) {
    // Distances of a 96-dots-per-inch screen, grown with the system's scaling (as the caption is).
    const auto px = [dpi](int distance) { return ScaleForDpi(distance, dpi); };
    LogViewLayout layout;
    layout.tree = {left + px(10), top + px(25), px(125), bottom - px(25)};
    layout.list = {left + px(140), top + px(25), right - px(145), bottom - px(25)};
    if (right > px(150)) {
        layout.status = {left + px(10), bottom - px(20), right - px(150), px(13)};
        layout.progress = {right - px(145), bottom - px(20), px(135), px(13)};
    } else {
        layout.status = {left + px(10), bottom - px(20), right - px(15), px(13)};
        layout.progress = {right, bottom - px(20), 0, px(13)};
    }
    // The search box and the strip take the top of the list's place; the list keeps its bottom.
    const int gap = px(3);
    layout.search = {layout.list.x, layout.list.y, layout.list.width, px(20)};
    int below = layout.search.y + layout.search.height + gap;
    layout.strip = {layout.list.x, below, layout.list.width, 0};
    if (stripHeight > 0) {
        layout.strip.height = px(stripHeight);
        below += layout.strip.height + gap;
    }
    const int listBottom = layout.list.y + layout.list.height;
    layout.list.y = below;
    layout.list.height = std::max(0, listBottom - below);
    return layout;
}

namespace {

void AppendFileNamePart(std::string& out, std::string_view part) {
    for (std::size_t i = 0; i < part.size(); ++i) {
        const auto byte = static_cast<unsigned char>(part[i]);
        if (platform::IsLeadByte(byte) && i + 1 < part.size()) {
            out += part[i];
            out += part[++i];
            continue;
        }
        const bool reserved =
            byte < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(byte)) != std::string_view::npos;
        out += reserved ? '_' : static_cast<char>(byte);
    }
}

} // namespace

std::string CsvFileNameFor(const LogSelection& selection) {
    std::string name = "log";
    if (selection.kind != LogSelection::Kind::None) {
        name += '_';
        AppendFileNamePart(name, selection.date);
    }
    if (selection.kind == LogSelection::Kind::User) {
        name += '_';
        AppendFileNamePart(name, selection.user);
    }
    return name + ".csv";
}

ActivityBars ActivityBars::Hours(const std::array<HourBin, 24>& bins) {
    ActivityBars bars;
    bars.kind_ = Kind::Hours;
    for (const HourBin& bin : bins) {
        bars.bars_.push_back({bin.accesses, bin.disconnections, bin.first, 0});
    }
    return bars;
}

ActivityBars ActivityBars::Dates(const std::vector<DateBin>& bins) {
    ActivityBars bars;
    bars.kind_ = Kind::Dates;
    for (const DateBin& bin : bins) {
        bars.bars_.push_back({bin.lines, 0, bin.first, bin.date});
    }
    return bars;
}

std::vector<StripColumn> MergeBars(const std::vector<ActivityBars::Bar>& bars, int pixels) {
    std::vector<StripColumn> columns;
    if (bars.empty() || pixels <= 0) {
        return columns;
    }
    const std::size_t n = bars.size();
    const std::size_t count = std::min(n, static_cast<std::size_t>(pixels));
    columns.reserve(count);
    for (std::size_t c = 0; c < count; ++c) {
        // count <= n: every column gets one bar at least.
        const std::size_t from = c * n / count;
        const std::size_t to = (c + 1) * n / count;
        StripColumn column;
        column.firstBar = from;
        column.lastBar = to - 1;
        for (std::size_t b = from; b < to; ++b) {
            column.count += bars[b].count;
            column.other += bars[b].other;
            column.first = std::min(column.first, bars[b].first);
        }
        columns.push_back(column);
    }
    return columns;
}

namespace {

struct StripMargins {
    int side, top, bottom;
};

StripMargins MarginsFor(int dpi) {
    return {ScaleForDpi(4, dpi), ScaleForDpi(3, dpi), ScaleForDpi(3, dpi)};
}

// The room between the side margins.
int InnerWidth(int width, int dpi) {
    return std::max(0, width - 2 * MarginsFor(dpi).side);
}

} // namespace

StripColumns::StripColumns(const ActivityBars& bars, int width, int dpi)
    : columns_(MergeBars(bars.bars(), InnerWidth(width, dpi))), width_(width), dpi_(dpi) {
    for (const StripColumn& column : columns_) {
        max_ = std::max(max_, column.count);
    }
}

LogViewLayout::Box StripColumns::Column(std::size_t column, int height) const {
    const StripMargins m = MarginsFor(dpi_);
    const std::int64_t inner = InnerWidth(width_, dpi_);
    const auto n = static_cast<std::int64_t>(columns_.size());
    if (n == 0 || column >= columns_.size()) {
        return {0, 0, 0, 0};
    }
    const auto i = static_cast<std::int64_t>(column);
    const int x0 = m.side + static_cast<int>(inner * i / n);
    const int x1 = m.side + static_cast<int>(inner * (i + 1) / n);
    return {x0, 0, x1 - x0, height};
}

LogViewLayout::Box StripColumns::BarBox(std::size_t column, int height) const {
    LogViewLayout::Box box = Column(column, height);
    if (box.width == 0 || columns_[column].count == 0 || max_ == 0) {
        return {box.x, height, box.width, 0};
    }
    const StripMargins m = MarginsFor(dpi_);
    const int room = std::max(1, height - m.top - m.bottom);
    int barHeight = static_cast<int>(static_cast<std::uint64_t>(room) * columns_[column].count / max_);
    barHeight = std::max(1, barHeight);
    // A one-pixel gap between neighbours when there is room for it.
    const int barWidth = box.width >= 3 ? box.width - 1 : box.width;
    return {box.x, height - m.bottom - barHeight, barWidth, barHeight};
}

int StripColumns::HitTest(int x, int y, int height) const {
    if (columns_.empty() || y < 0 || y >= height) {
        return -1;
    }
    const StripMargins m = MarginsFor(dpi_);
    const int inner = InnerWidth(width_, dpi_);
    if (inner <= 0 || x < m.side || x >= m.side + inner) {
        return -1;
    }
    // The column whose [x0, x1) holds x: the inverse of Column's division, checked against it.
    const auto n = static_cast<std::int64_t>(columns_.size());
    auto i = static_cast<std::int64_t>(x - m.side) * n / inner;
    while (i > 0 && Column(static_cast<std::size_t>(i), height).x > x) {
        --i;
    }
    while (i + 1 < n && Column(static_cast<std::size_t>(i + 1), height).x <= x) {
        ++i;
    }
    return static_cast<int>(i);
}

std::size_t StripColumns::ColumnOfBar(std::size_t bar) const {
    const auto after = std::upper_bound(columns_.begin(), columns_.end(), bar,
                                        [](std::size_t b, const StripColumn& c) { return b < c.firstBar; });
    return after == columns_.begin() ? 0 : static_cast<std::size_t>(after - columns_.begin() - 1);
}

std::string StripTip(const ActivityBars& bars, const StripColumn& column, const LoadedLog& log) {
    const auto count = static_cast<unsigned>(std::min<std::uint64_t>(column.count, 0xFFFFFFFFu));
    if (bars.kind() == ActivityBars::Kind::Hours) {
        const auto other = static_cast<unsigned>(std::min<std::uint64_t>(column.other, 0xFFFFFFFFu));
        return platform::FillTemplate(platform::LoadText(IDS_LOG_STRIP_HOUR),
                                      {std::to_string(column.firstBar), std::to_string(column.lastBar),
                                       std::to_string(count), std::to_string(other)});
    }
    const auto dateOf = [&](std::size_t bar) {
        const std::uint32_t d = bar < bars.bars().size() ? bars.bars()[bar].date : 0xFFFFFFFFu;
        return d < log.Dates().size() ? log.Dates()[d].text : std::string();
    };
    if (column.firstBar == column.lastBar) {
        return platform::FillTemplate(platform::LoadText(IDS_LOG_STRIP_DATE),
                                      {dateOf(column.firstBar), std::to_string(count)});
    }
    return platform::FillTemplate(platform::LoadText(IDS_LOG_STRIP_DATES),
                                  {dateOf(column.firstBar), dateOf(column.lastBar), std::to_string(count)});
}

LogSearchRunner::LogSearchRunner(std::function<void()> done)
    : shared_(std::make_shared<Shared>(std::move(done))), worker_("the log search") {}

LogSearchRunner::~LogSearchRunner() {
    // Once no search reads the log, the worker has nothing left that this object's owner frees; its
    // end is not waited for.
    Stop();
    worker_.Stop(std::chrono::milliseconds(0));
}

std::uint64_t LogSearchRunner::Start(const LoadedLog& log, LogQuery query) {
    std::uint64_t mine = 0;
    {
        const std::lock_guard lock(shared_->mutex);
        mine = ++shared_->generation;
        shared_->result.reset();
    }
    // The searches queued before this one see at once that they are no longer the latest.
    if (!worker_.Post(
            [shared = shared_, &log, query = std::move(query), mine] { Search(*shared, log, query, mine); })) {
        return 0; // only a runner being destroyed refuses: no search runs, no result comes
    }
    return mine;
}

void LogSearchRunner::Stop() {
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->generation;
        shared_->result.reset();
    }
    worker_.WaitIdle();
}

std::optional<LogSearchRunner::Result> LogSearchRunner::Take() {
    const std::lock_guard lock(shared_->mutex);
    std::optional<Result> taken;
    if (shared_->result && shared_->result->generation == shared_->generation) {
        taken = std::move(shared_->result);
    }
    shared_->result.reset();
    return taken;
}

void LogSearchRunner::Search(Shared& s, const LoadedLog& log, const LogQuery& query, std::uint64_t mine) {
    const auto cancelled = [&s, mine] { return s.generation.load() != mine; };
    if (cancelled()) {
        return;
    }
    bool kept = false;
    try {
        std::optional<std::vector<std::uint32_t>> rows = SearchRows(log, query, cancelled);
        std::vector<DateBin> dates;
        if (rows && !cancelled()) {
            dates = CountByDate(log, *rows);
        }
        const std::lock_guard lock(s.mutex);
        if (rows && s.generation == mine) {
            s.result = Result{mine, std::move(*rows), std::move(dates)};
            kept = true;
        }
    } catch (const std::exception&) {
        // Out of memory: the search gives no result; the next keystroke tries again.
    }
    if (kept && s.done) {
        s.done();
    }
}

} // namespace glimmerfen::ui
