// The column table of the list controls: tracking at every background erase, toggling, and the INI
// keys the owners keep it in.
#include "ui/framework/ColumnLogic.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/temp_dir.h"
#include "platform/profile.h"

namespace glimmerfen {
namespace {

using test::ReadBytes;
using test::TempDir;
using ui::ColumnTable;

struct TrackCase {
    const char* what;
    int remembered;
    int shown;
    int current;
    int expectedWidth;
    int expectedShown;
};

TEST(ColumnTracking, OneColumnFollowsTheControl) {
    const TrackCase cases[] = {
        {"narrowed to nothing: hidden, keeps its width", 120, 1, 0, 120, 0},
        {"resized while shown: new width", 120, 1, 150, 150, 1},
        {"dragged open from 0: shown with the new width", 120, 0, 80, 80, 1},
        {"still hidden", 120, 0, 0, 120, 0},
        {"width 0 with flag 1 from the INI: hidden, width kept", 95, 1, 0, 95, 0},
        {"unknown flag and a width: nothing changes", 120, 2, 80, 120, 2},
        {"unknown flag and width 0: hidden", 120, 2, 0, 120, 0},
    };
    for (const TrackCase& c : cases) {
        ColumnTable table;
        table.widths[3] = c.remembered;
        table.shown[3] = c.shown;
        const std::vector<int> current{10, 20, 30, c.current};
        table.Track(current);
        EXPECT_EQ(table.widths[3], c.expectedWidth) << c.what;
        EXPECT_EQ(table.shown[3], c.expectedShown) << c.what;
        // Column 0 started hidden (flag 0) with a width: it is opened at that width.
        EXPECT_EQ(table.widths[0], 10) << c.what;
        EXPECT_EQ(table.shown[0], 1) << c.what;
        EXPECT_EQ(table.widths[2], 30) << c.what;
    }
}

TEST(ColumnTracking, OnlyTheFirstTenColumnsAndOnlyTheControlsColumns) {
    ColumnTable table;
    table.shown.fill(1);
    table.widths.fill(50);
    // Twelve columns in the control: the two beyond the tenth must not be touched (nor written
    // past the end of the table, which the sanitizer build would catch).
    std::vector<int> twelve(12, 77);
    twelve[9] = 0;
    table.Track(twelve);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(table.widths[static_cast<size_t>(i)], 77) << i;
    }
    EXPECT_EQ(table.shown[9], 0);
    EXPECT_EQ(table.widths[9], 50);

    // Fewer columns than entries: the entries without a column keep their values.
    ColumnTable two;
    two.shown.fill(1);
    two.widths.fill(40);
    two.Track(std::vector<int>{0, 60});
    EXPECT_EQ(two.shown[0], 0);
    EXPECT_EQ(two.widths[1], 60);
    for (int i = 2; i < ColumnTable::kTracked; ++i) {
        EXPECT_EQ(two.widths[static_cast<size_t>(i)], 40) << i;
        EXPECT_EQ(two.shown[static_cast<size_t>(i)], 1) << i;
    }
}

TEST(ColumnToggle, HidesAndRestoresTheRememberedWidth) {
    ColumnTable table;
    table.widths[4] = 130;
    table.shown[4] = 1;
    EXPECT_EQ(table.CreationWidth(4), 130);

    EXPECT_EQ(table.Toggle(4), 0);
    EXPECT_EQ(table.shown[4], 0);
    EXPECT_EQ(table.widths[4], 130);
    EXPECT_EQ(table.CreationWidth(4), 0);

    EXPECT_EQ(table.Toggle(4), 130);
    EXPECT_EQ(table.shown[4], 1);

    // A flag other than 1 counts as hidden: toggling shows the column.
    table.shown[5] = 7;
    table.widths[5] = 90;
    EXPECT_EQ(table.Toggle(5), 90);
    EXPECT_EQ(table.shown[5], 1);

    // The control's width message carries 16 bits.
    table.shown[6] = 0;
    table.widths[6] = 70000;
    EXPECT_EQ(table.Toggle(6), 70000 - 65536);

    // A column shown with remembered width 0 comes back at 0: only dragging brings it back.
    table.shown[7] = 0;
    table.widths[7] = 0;
    EXPECT_EQ(table.Toggle(7), 0);
    EXPECT_EQ(table.shown[7], 1);

    EXPECT_FALSE(table.Toggle(10).has_value());
    EXPECT_FALSE(table.Toggle(-1).has_value());
    EXPECT_EQ(table.CreationWidth(10), 0);
}

TEST(ColumnPersistence, DefaultsWhenTheFileHasNoKeys) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    ColumnTable table;
    ui::LoadColumnWidths(table, ini, "LogDialogPos", "column%d", 9, 100);
    ui::LoadShownFlags(table, ini, "LogDialogPos", "columnck%d", 9, 1);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(table.widths[static_cast<size_t>(i)], 100) << i;
        EXPECT_EQ(table.shown[static_cast<size_t>(i)], 1) << i;
    }
    EXPECT_EQ(table.widths[9], 0) << "column 9 is not one of the nine";
}

TEST(ColumnPersistence, HiddenColumnIsSavedWithItsEarlierWidth) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    ColumnTable viewer;
    ui::LoadColumnWidths(viewer, ini, "LogDialogPos", "column%d", 9, 100);
    ui::LoadShownFlags(viewer, ini, "LogDialogPos", "columnck%d", 9, 1);
    std::vector<int> current(9, 100);
    current[2] = 140;
    viewer.Track(current);
    current[2] = 0; // the user narrows column 2 to nothing
    viewer.Track(current);
    ui::SaveColumnWidths(viewer, ini, "LogDialogPos", "column%d", 9);
    ui::SaveShownFlags(viewer, ini, "LogDialogPos", "columnck%d", 9);

    EXPECT_EQ(platform::ProfileGetInt(ini, "LogDialogPos", "column2", -1), 140);
    EXPECT_EQ(platform::ProfileGetInt(ini, "LogDialogPos", "columnck2", -1), 0);
    EXPECT_EQ(platform::ProfileGetInt(ini, "LogDialogPos", "columnck3", -1), 1);
    EXPECT_EQ(ReadBytes(ini).find("column9"), std::string::npos);

    // Next opening of the viewer: hidden at creation, its width back when toggled on.
    ColumnTable again;
    ui::LoadColumnWidths(again, ini, "LogDialogPos", "column%d", 9, 100);
    ui::LoadShownFlags(again, ini, "LogDialogPos", "columnck%d", 9, 1);
    EXPECT_EQ(again.CreationWidth(2), 0);
    EXPECT_EQ(again.Toggle(2), 140);

    // The access list saves only widths and starts every column shown: the column is back at its
    // earlier width at the next start.
    ColumnTable list;
    list.shown.fill(1);
    list.widths.fill(100);
    list.Track(std::vector<int>{100, 0, 100, 100, 100});
    ui::SaveColumnWidths(list, ini, "DialogPos", "column%d", 5);
    ColumnTable nextStart;
    ui::LoadColumnWidths(nextStart, ini, "DialogPos", "column%d", 5, 100);
    nextStart.shown.fill(1);
    EXPECT_EQ(nextStart.CreationWidth(1), 100);
}

TEST(ColumnPersistence, NeverMoreThanTenKeys) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    ColumnTable table;
    table.widths.fill(33);
    ui::SaveColumnWidths(table, ini, "DialogPos", "column%d", 12);
    EXPECT_EQ(platform::ProfileGetInt(ini, "DialogPos", "column9", -1), 33);
    EXPECT_EQ(platform::ProfileGetInt(ini, "DialogPos", "column10", -1), -1);
    ColumnTable loaded;
    ui::LoadColumnWidths(loaded, ini, "DialogPos", "column%d", 12, 5);
    EXPECT_EQ(loaded.widths[9], 33);
}

} // namespace
} // namespace glimmerfen
