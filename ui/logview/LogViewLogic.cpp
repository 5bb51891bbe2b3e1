#include "ui/logview/LogViewLogic.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string_view>
#include <utility>

#include "platform/codepage.h"
#include "platform/profile.h"

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
        bars.max_ = std::max(bars.max_, bin.accesses);
    }
    return bars;
}

ActivityBars ActivityBars::Dates(const std::vector<DateBin>& bins) {
    ActivityBars bars;
    bars.kind_ = Kind::Dates;
    for (const DateBin& bin : bins) {
        bars.bars_.push_back({bin.lines, 0, bin.first, bin.date});
        bars.max_ = std::max(bars.max_, bin.lines);
    }
    return bars;
}

namespace {

struct StripMargins {
    int side, top, bottom;
};

StripMargins MarginsFor(int dpi) {
    return {ScaleForDpi(4, dpi), ScaleForDpi(3, dpi), ScaleForDpi(3, dpi)};
}

} // namespace

LogViewLayout::Box ActivityBars::Column(std::size_t bar, int width, int height, int dpi) const {
    const StripMargins m = MarginsFor(dpi);
    const std::int64_t inner = std::max(0, width - 2 * m.side);
    const auto n = static_cast<std::int64_t>(bars_.size());
    if (n == 0 || bar >= bars_.size()) {
        return {0, 0, 0, 0};
    }
    const auto i = static_cast<std::int64_t>(bar);
    const int x0 = m.side + static_cast<int>(inner * i / n);
    const int x1 = m.side + static_cast<int>(inner * (i + 1) / n);
    return {x0, 0, x1 - x0, height};
}

LogViewLayout::Box ActivityBars::BarBox(std::size_t bar, int width, int height, int dpi) const {
    LogViewLayout::Box column = Column(bar, width, height, dpi);
    if (column.width == 0 || bars_[bar].count == 0 || max_ == 0) {
        return {column.x, height, column.width, 0};
    }
    const StripMargins m = MarginsFor(dpi);
    const int room = std::max(1, height - m.top - m.bottom);
    int barHeight = static_cast<int>(static_cast<std::uint64_t>(room) * bars_[bar].count / max_);
    barHeight = std::max(1, barHeight);
    // A one-pixel gap between neighbours when there is room for it.
    const int barWidth = column.width >= 3 ? column.width - 1 : column.width;
    return {column.x, height - m.bottom - barHeight, barWidth, barHeight};
}

int ActivityBars::HitTest(int x, int y, int width, int height, int dpi) const {
    if (bars_.empty() || y < 0 || y >= height) {
        return -1;
    }
    const StripMargins m = MarginsFor(dpi);
    const int inner = width - 2 * m.side;
    if (inner <= 0 || x < m.side || x >= m.side + inner) {
        return -1;
    }
    // The column whose [x0, x1) holds x: the inverse of Column's division, checked against it.
    const auto n = static_cast<std::int64_t>(bars_.size());
    auto i = static_cast<std::int64_t>(x - m.side) * n / inner;
    while (i > 0 && Column(static_cast<std::size_t>(i), width, height, dpi).x > x) {
        --i;
    }
    while (i + 1 < n && Column(static_cast<std::size_t>(i + 1), width, height, dpi).x <= x) {
        ++i;
    }
    return static_cast<int>(i);
}

LogSearchRunner::LogSearchRunner(std::function<void()> done) : done_(std::move(done)) {}

LogSearchRunner::~LogSearchRunner() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        ++generation_;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::uint64_t LogSearchRunner::Start(const LoadedLog& log, LogQuery query) {
    std::uint64_t mine = 0;
    {
        const std::lock_guard lock(mutex_);
        mine = ++generation_;
        log_ = &log;
        query_ = std::move(query);
        pending_ = mine;
        result_.reset();
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { Run(); });
        }
    }
    changed_.notify_all();
    return mine;
}

void LogSearchRunner::Stop() {
    std::unique_lock lock(mutex_);
    ++generation_;
    log_ = nullptr;
    result_.reset();
    changed_.wait(lock, [this] { return !busy_; });
}

std::optional<LogSearchRunner::Result> LogSearchRunner::Take() {
    const std::lock_guard lock(mutex_);
    std::optional<Result> taken;
    if (result_ && result_->generation == generation_) {
        taken = std::move(result_);
    }
    result_.reset();
    return taken;
}

void LogSearchRunner::Run() {
    for (;;) {
        const LoadedLog* log = nullptr;
        LogQuery query;
        std::uint64_t mine = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return quit_ || log_ != nullptr; });
            if (quit_) {
                return;
            }
            log = std::exchange(log_, nullptr);
            query = std::move(query_);
            mine = pending_;
            busy_ = true;
        }
        bool kept = false;
        try {
            const auto cancelled = [this, mine] { return generation_.load() != mine; };
            std::optional<std::vector<std::uint32_t>> rows = SearchRows(*log, query, cancelled);
            std::vector<DateBin> dates;
            if (rows && !cancelled()) {
                dates = CountByDate(*log, *rows);
            }
            const std::lock_guard lock(mutex_);
            if (rows && generation_ == mine) {
                result_ = Result{mine, std::move(*rows), std::move(dates)};
                kept = true;
            }
        } catch (const std::exception&) {
            // Out of memory: the search gives no result; the next keystroke tries again.
        }
        {
            const std::lock_guard lock(mutex_);
            busy_ = false;
        }
        changed_.notify_all();
        if (kept && done_) {
            done_();
        }
    }
}

} // namespace glimmerfen::ui
