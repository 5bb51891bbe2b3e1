// The log viewer's decisions that need no window: the progress bar within its 16-bit range, section
// "LogDialogPos" and the places of the controls.
#include "ui/logview/LogViewLogic.h"

#include <cstddef>

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
    WriteLogDialogPos(ini, pos);
    EXPECT_EQ(ReadBytes(ini), "[LogDialogPos]\r\ntop=10\r\nbottom=400\r\nright=900\r\nleft=-5\r\n"
                              "column0=50\r\ncolumn1=51\r\ncolumn2=52\r\ncolumn3=53\r\ncolumn4=54\r\n"
                              "column5=55\r\ncolumn6=56\r\ncolumn7=57\r\ncolumn8=0\r\n"
                              "columnck0=0\r\ncolumnck1=1\r\ncolumnck2=0\r\ncolumnck3=1\r\ncolumnck4=0\r\n"
                              "columnck5=1\r\ncolumnck6=0\r\ncolumnck7=1\r\ncolumnck8=0\r\n");
    const LogDialogPos back = ReadLogDialogPos(ini);
    EXPECT_TRUE(back.HasRect());
    EXPECT_EQ(back.left, -5);
    EXPECT_EQ(back.columns.widths, pos.columns.widths);
    EXPECT_EQ(back.columns.shown, pos.columns.shown);
    EXPECT_EQ(back.columns.CreationWidth(1), 51);
    EXPECT_EQ(back.columns.CreationWidth(0), 0);
}

// The progress bar has room beside the status text only when the window is wider than 150 pixels.
TEST(LogViewLayoutTest, ProgressBarCollapsesInNarrowWindows) {
    using Box = LogViewLayout::Box;
    const LogViewLayout wide = ComputeLogViewLayout(-4, -23, 700, 400);
    EXPECT_EQ(wide.tree, (Box{6, 2, 125, 375}));
    EXPECT_EQ(wide.list, (Box{136, 2, 555, 375}));
    EXPECT_EQ(wide.status, (Box{6, 380, 550, 13}));
    EXPECT_EQ(wide.progress, (Box{555, 380, 135, 13}));
    const LogViewLayout narrow = ComputeLogViewLayout(-4, -23, 150, 100);
    EXPECT_EQ(narrow.status, (Box{6, 80, 135, 13}));
    EXPECT_EQ(narrow.progress, (Box{150, 80, 0, 13}));
    // At 150 % the caption grows with the distances: the controls still start below it.
    const LogViewLayout scaled = ComputeLogViewLayout(-6, -35, 1050, 600, 144);
    EXPECT_EQ(scaled.tree, (Box{9, 3, 188, 562}));
    EXPECT_EQ(scaled.progress, (Box{832, 570, 203, 20}));
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
