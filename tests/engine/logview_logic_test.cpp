// The log viewer's decisions that need no window: the progress bar within its 16-bit range, section
// "LogDialogPos", the places of the controls, the activity strip's bars and the search's worker.
#include "ui/logview/LogViewLogic.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "monitor/log/LoadedLog.h"
#include "monitor/log/LogActivity.h"
#include "platform/profile.h"
#include "tests/engine/codepage_fixture.h"
#include "tests/engine/time_zone_fixture.h"
#include "tests/engine/temp_dir.h"

namespace glimmerfen::ui {
namespace {

using test::CodePage932Test;
using test::ReadBytes;
using test::TempDir;

// The bar runs from empty to full and never leaves its range, below and above 65,535 lines.
TEST(ProgressScaleTest, RangeAndPositionsStayWithin16Bits) {
    struct Case {
        std::size_t total;
        std::size_t done;
        int range;
        int position;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {12, 5, 12, 5},
        {65535, 65535, 65535, 65535},
        {65536, 0, 65535, 0},
        {65536, 65536, 65535, 65535},
        {65536, 32768, 65535, 32767},
        {1000000, 500000, 65535, 32767},
        {1000000, 1000000, 65535, 65535},
        {1000000, 2000000, 65535, 65535}, // more done than the total: full, not beyond
        {12, 13, 12, 12},
    };
    for (const Case& c : cases) {
        const ProgressScale scale(c.total);
        EXPECT_EQ(scale.Range(), c.range) << c.total;
        EXPECT_EQ(scale.Position(c.done), c.position) << c.total << " " << c.done;
    }
}

// Defaults when nothing is saved; written in the order top, bottom, right, left, widths, flags, and
// read back the same (a width of 0 with the flag 1 too: the column then starts hidden).
TEST(LogDialogPosTest, DefaultsOrderAndRoundTrip) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    const LogDialogPos none = ReadLogDialogPos(ini);
    EXPECT_FALSE(none.HasRect());
    EXPECT_EQ(none.stripHeight, kStripDefaultHeight);
    EXPECT_TRUE(none.stripShown);
    for (int c = 0; c < kLogColumnCount; ++c) {
        EXPECT_EQ(none.columns.widths[c], 100);
        EXPECT_EQ(none.columns.shown[c], 1);
    }

    LogDialogPos pos;
    pos.top = 10;
    pos.bottom = 400;
    pos.right = 900;
    pos.left = -5;
    for (int c = 0; c < kLogColumnCount; ++c) {
        pos.columns.widths[c] = 50 + c;
        pos.columns.shown[c] = c % 2;
    }
    pos.columns.widths[8] = 0;
    pos.stripHeight = 70;
    pos.stripShown = false;
    WriteLogDialogPos(ini, pos);
    EXPECT_EQ(ReadBytes(ini), "[LogDialogPos]\r\ntop=10\r\nbottom=400\r\nright=900\r\nleft=-5\r\n"
                              "column0=50\r\ncolumn1=51\r\ncolumn2=52\r\ncolumn3=53\r\ncolumn4=54\r\n"
                              "column5=55\r\ncolumn6=56\r\ncolumn7=57\r\ncolumn8=0\r\n"
                              "columnck0=0\r\ncolumnck1=1\r\ncolumnck2=0\r\ncolumnck3=1\r\ncolumnck4=0\r\n"
                              "columnck5=1\r\ncolumnck6=0\r\ncolumnck7=1\r\ncolumnck8=0\r\n"
                              "StripHeight=70\r\nStripShown=0\r\n");
    const LogDialogPos back = ReadLogDialogPos(ini);
    EXPECT_TRUE(back.HasRect());
    EXPECT_EQ(back.left, -5);
    EXPECT_EQ(back.columns.widths, pos.columns.widths);
    EXPECT_EQ(back.columns.shown, pos.columns.shown);
    EXPECT_EQ(back.columns.CreationWidth(1), 51);
    EXPECT_EQ(back.columns.CreationWidth(0), 0);
    EXPECT_EQ(back.stripHeight, 70);
    EXPECT_FALSE(back.stripShown);
    // A height edited by hand beyond the bounds is brought within them.
    platform::ProfileWriteInt(ini, kLogDialogPosSection, "StripHeight", 2);
    EXPECT_EQ(ReadLogDialogPos(ini).stripHeight, kStripMinHeight);
    platform::ProfileWriteInt(ini, kLogDialogPosSection, "StripHeight", 5000);
    EXPECT_EQ(ReadLogDialogPos(ini).stripHeight, kStripMaxHeight);
}

// The progress bar has room beside the status text only when the window is wider than 150 pixels.
TEST(LogViewLayoutTest, ProgressBarCollapsesInNarrowWindows) {
    using Box = LogViewLayout::Box;
    const LogViewLayout wide = ComputeLogViewLayout(-4, -23, 700, 400);
    EXPECT_EQ(wide.tree, (Box{6, 2, 125, 375}));
    // The search box, then the list, whose bottom stays where it was.
    EXPECT_EQ(wide.search, (Box{136, 2, 555, 20}));
    EXPECT_EQ(wide.list, (Box{136, 25, 555, 352}));
    EXPECT_EQ(wide.status, (Box{6, 380, 550, 13}));
    EXPECT_EQ(wide.progress, (Box{555, 380, 135, 13}));
    const LogViewLayout narrow = ComputeLogViewLayout(-4, -23, 150, 100);
    EXPECT_EQ(narrow.status, (Box{6, 80, 135, 13}));
    EXPECT_EQ(narrow.progress, (Box{150, 80, 0, 13}));
    // At 150 % the caption grows with the distances: the controls still start below it.
    const LogViewLayout scaled = ComputeLogViewLayout(-6, -35, 1050, 600, 144);
    EXPECT_EQ(scaled.tree, (Box{9, 3, 188, 562}));
    EXPECT_EQ(scaled.progress, (Box{832, 570, 203, 20}));
    // With the strip, scaled like the rest, between the search box and the list.
    const LogViewLayout strip = ComputeLogViewLayout(-6, -35, 1050, 600, 144, 40);
    EXPECT_EQ(strip.search, (Box{204, 3, 832, 30}));
    EXPECT_EQ(strip.strip, (Box{204, 38, 832, 60}));
    EXPECT_EQ(strip.list, (Box{204, 103, 832, 462}));
}

// Bars stand on the base line in proportion to the busiest one (any count at least a pixel high);
// a point belongs to the column it lies in, margins to none, also with more bars than pixels.
TEST(ActivityBarsTest, GeometryAndHitTest) {
    using Box = LogViewLayout::Box;
    std::array<HourBin, 24> hours{};
    hours[1].accesses = 5;
    hours[2].accesses = 10;
    hours[3].accesses = 1;
    hours[3].first = 7;
    const ActivityBars bars = ActivityBars::Hours(hours);
    ASSERT_EQ(bars.bars().size(), 24u);
    EXPECT_EQ(bars.bars()[3].first, 7u);
    // Width 244 leaves 236 between the 4-pixel margins; height 40 leaves 34 between 3-pixel ones.
    const StripColumns columns(bars, 244, 96);
    ASSERT_EQ(columns.columns().size(), 24u);
    EXPECT_EQ(columns.Column(0, 40), (Box{4, 0, 9, 40}));
    EXPECT_EQ(columns.BarBox(0, 40).height, 0);
    EXPECT_EQ(columns.BarBox(1, 40), (Box{13, 20, 9, 17}));
    EXPECT_EQ(columns.BarBox(2, 40), (Box{23, 3, 9, 34}));
    EXPECT_EQ(columns.BarBox(3, 40), (Box{33, 34, 9, 3}));
    struct Hit {
        int x, y, bar;
    };
    const Hit hits[] = {{3, 10, -1},  {4, 10, 0},   {12, 39, 0},  {13, 0, 1},
                        {239, 5, 23}, {240, 5, -1}, {20, 40, -1}, {20, -1, -1}};
    for (const Hit& h : hits) {
        EXPECT_EQ(columns.HitTest(h.x, h.y, 40), h.bar) << h.x << "," << h.y;
    }
    EXPECT_EQ(StripColumns(ActivityBars(), 244, 96).HitTest(20, 5, 40), -1);

    // 365 dates in 100 pixels: one column per pixel, the last one holding the last date.
    std::vector<DateBin> dates(365);
    dates[364].lines = 3;
    const StripColumns many(ActivityBars::Dates(dates), 108, 96);
    ASSERT_EQ(many.columns().size(), 100u);
    for (int x = 4; x < 104; ++x) {
        const int hit = many.HitTest(x, 5, 40);
        ASSERT_GE(hit, 0) << x;
        const Box column = many.Column(static_cast<std::size_t>(hit), 40);
        EXPECT_TRUE(column.x <= x && x < column.x + column.width) << x << " in column " << hit;
    }
    EXPECT_EQ(many.columns()[static_cast<std::size_t>(many.HitTest(103, 5, 40))].lastBar, 364u);
    EXPECT_EQ(many.BarBox(99, 40).height, 34) << "the last date's lines are drawn";
}

// Regression: with more dates than pixels some columns were 0 pixels wide, their lines never drawn nor told.
TEST(ActivityBarsTest, MoreBarsThanPixelsMergeIntoColumns) {
    const std::tuple<std::size_t, int, std::size_t> cases[] = {{1000, 300, 300}, {301, 300, 300}, {300, 300, 300},
                                                               {24, 300, 24},    {24, 7, 7},      {5, 0, 0}};
    for (const auto& [barCount, pixels, columnCount] : cases) {
        std::vector<ActivityBars::Bar> bars(barCount);
        for (std::size_t i = 0; i < barCount; ++i) {
            bars[i] = {static_cast<std::uint32_t>(i % 7 + 1), static_cast<std::uint32_t>(i % 3),
                       i % 5 == 0 ? kNoListedLine : static_cast<std::uint32_t>(10 * i), static_cast<std::uint32_t>(i)};
        }
        const std::vector<StripColumn> columns = MergeBars(bars, pixels);
        ASSERT_EQ(columns.size(), columnCount) << barCount << " bars in " << pixels;
        std::size_t next = 0;
        for (const StripColumn& column : columns) {
            // The columns follow each other without a gap or an overlap; each holds one bar at least.
            ASSERT_EQ(column.firstBar, next) << barCount << " bars in " << pixels;
            ASSERT_LE(column.firstBar, column.lastBar);
            std::uint64_t count = 0, other = 0;
            std::uint32_t first = kNoListedLine;
            for (std::size_t b = column.firstBar; b <= column.lastBar; ++b) {
                count += bars[b].count;
                other += bars[b].other;
                first = std::min(first, bars[b].first);
            }
            EXPECT_EQ(column.count, count);
            EXPECT_EQ(column.other, other);
            EXPECT_EQ(column.first, first);
            next = column.lastBar + 1;
        }
        EXPECT_EQ(next, columnCount == 0 ? 0 : barCount) << "every bar is in a column";
    }
}

class StripTipTest : public test::TokyoZoneTest {};

TEST_F(StripTipTest, TooltipNamesTheSpanOfItsColumn) {
    GF_USE_CODE_PAGE_OR_SKIP(1252); // the English texts
    LoadedLog log;
    std::string bytes;
    // One line on each of 1000 days from 2024-01-01 00:00 in Tokyo.
    for (int day = 0; day < 1000; ++day) {
        bytes += std::to_string(1704034800 + day * 86400) + "\tPC\tuser\t\t\t\t\tOpen\t\\f\t\r\n";
    }
    ASSERT_TRUE(log.Assign(bytes));
    std::vector<std::uint32_t> all(1000);
    std::iota(all.begin(), all.end(), 0u);
    const ActivityBars bars = ActivityBars::Dates(CountByDate(log, all));
    // 300 pixels between the margins: columns of 3 or 4 dates.
    const StripColumns columns(bars, 308, 96);
    ASSERT_EQ(columns.columns().size(), 300u);
    EXPECT_EQ(StripTip(bars, columns.columns()[0], log), "2024-01-01 - 2024-01-03: 3 lines found");
    EXPECT_EQ(StripTip(bars, columns.columns()[299], log), "2026-09-23 - 2026-09-26: 4 lines found");
    // Fewer dates than pixels: one date per column, told alone.
    const ActivityBars few = ActivityBars::Dates({{0, 2, 0}, {1, 0, kNoListedLine}, {2, 1, 2}});
    const StripColumns wide(few, 308, 96);
    ASSERT_EQ(wide.columns().size(), 3u);
    EXPECT_EQ(StripTip(few, wide.columns()[2], log), "2024-01-03: 1 lines found");
    std::array<HourBin, 24> hours{};
    hours[22] = {5, 1, 0};
    hours[23] = {2, 0, 5};
    const ActivityBars hourBars = ActivityBars::Hours(hours);
    // 12 pixels: two hours a column.
    const StripColumns narrow(hourBars, 20, 96);
    ASSERT_EQ(narrow.columns().size(), 12u);
    EXPECT_EQ(StripTip(hourBars, narrow.columns()[11], log), "22:00-23:59: 7 accesses, 1 disconnections");
}

// The window's use of the worker: a search replaced by the next keystroke's never reaches the window,
// the latest does (with its rows per date), and after Stop the log may change under no read (the
// thread sanitizer would see one).
TEST(LogSearchRunnerTest, OnlyTheLatestSearchIsKeptAndStopEndsTheRead) {
    LoadedLog log;
    std::string bytes;
    for (int i = 0; i < 20000; ++i) {
        bytes += "1733446800\tPC" + std::to_string(i % 7) + "\tuser\t\t\t\t\tOpen\t\\share\\f" + std::to_string(i) +
                 "\t\r\n";
    }
    ASSERT_TRUE(log.Assign(bytes));
    std::mutex mutex;
    std::condition_variable told;
    int done = 0;
    LogSearchRunner runner([&] {
        const std::lock_guard lock(mutex);
        ++done;
        told.notify_all();
    });
    runner.Start(log, LogQuery("pc3"));
    runner.Start(log, LogQuery("PC5 f19"));
    // The first search may have ended before the second began: its result is then dropped, and the
    // second one's comes after it.
    std::optional<LogSearchRunner::Result> result;
    for (int seen = 0; !result;) {
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(told.wait_for(lock, std::chrono::seconds(60), [&] { return done > seen; }));
            seen = done;
        }
        result = runner.Take();
    }
    // The rows of PC5 (i % 7 == 5) whose file number starts with 19.
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        if (i % 7 == 5 && std::to_string(i).rfind("19", 0) == 0) {
            expected.push_back(i);
        }
    }
    EXPECT_EQ(result->rows, expected);
    ASSERT_EQ(result->dates.size(), 1u);
    EXPECT_EQ(result->dates[0].lines, expected.size());
    EXPECT_FALSE(runner.Take().has_value());

    runner.Start(log, LogQuery("share"));
    runner.Stop();
    log.Clear();
    EXPECT_FALSE(runner.Take().has_value());
}

// The Save dialog's offer: a date, or a date and a user, as a name a file can have; a double-byte
// user name keeps its 0x5C trail byte (表 is 0x95 0x5C) instead of losing it as a separator.
TEST_F(CodePage932Test, CsvFileNameOfASelection) {
    EXPECT_EQ(CsvFileNameFor(LogSelection{}), "log.csv");
    EXPECT_EQ(CsvFileNameFor(LogSelection::Date("2024-12-06")), "log_2024-12-06.csv");
    EXPECT_EQ(CsvFileNameFor(LogSelection::User("2024-12-06", "DOMAIN\\al:ice?")), "log_2024-12-06_DOMAIN_al_ice_.csv");
    EXPECT_EQ(CsvFileNameFor(LogSelection::User("2024-12-06", "\x95\x5c\t/")), "log_2024-12-06_\x95\x5c__.csv");
}

} // namespace
} // namespace glimmerfen::ui
