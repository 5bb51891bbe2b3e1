// The log viewer's decisions that need no window: the progress bar within its 16-bit range, section
// "LogDialogPos", the places of the controls, the activity strip's bars and the search's worker.
#include "ui/logview/LogViewLogic.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "tests/engine/codepage_fixture.h"
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
    EXPECT_EQ(bars.Column(0, 244, 40, 96), (Box{4, 0, 9, 40}));
    EXPECT_EQ(bars.BarBox(0, 244, 40, 96).height, 0);
    EXPECT_EQ(bars.BarBox(1, 244, 40, 96), (Box{13, 20, 9, 17}));
    EXPECT_EQ(bars.BarBox(2, 244, 40, 96), (Box{23, 3, 9, 34}));
    EXPECT_EQ(bars.BarBox(3, 244, 40, 96), (Box{33, 34, 9, 3}));
    struct Hit {
        int x, y, bar;
    };
    const Hit hits[] = {{3, 10, -1},  {4, 10, 0},   {12, 39, 0},  {13, 0, 1},
                        {239, 5, 23}, {240, 5, -1}, {20, 40, -1}, {20, -1, -1}};
    for (const Hit& h : hits) {
        EXPECT_EQ(bars.HitTest(h.x, h.y, 244, 40, 96), h.bar) << h.x << "," << h.y;
    }
    EXPECT_EQ(ActivityBars().HitTest(20, 5, 244, 40, 96), -1);

    std::vector<DateBin> dates(365);
    dates[364].lines = 3;
    const ActivityBars many = ActivityBars::Dates(dates);
    for (int x = 4; x < 104; ++x) {
        const int hit = many.HitTest(x, 5, 108, 40, 96);
        ASSERT_GE(hit, 0) << x;
        const Box column = many.Column(static_cast<std::size_t>(hit), 108, 40, 96);
        EXPECT_TRUE(column.x <= x && x < column.x + column.width) << x << " in bar " << hit;
    }
    EXPECT_EQ(many.HitTest(103, 5, 108, 40, 96), 364);
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
