// The access list window's decisions: row pictures and texts, the minimal row changes of a refresh,
// the details of the selected row, the pop-up and its closes, the layout and section "DialogPos".
#include "ui/list/ListLogic.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "engine/temp_dir.h"
#include "platform/profile.h"

namespace glimmerfen::ui {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// --- Row pictures -----------------------------------------------------------------------------------

const float kJustAboveOne = std::nextafter(1.0f, 2.0f);

struct ImageCase {
    const char* path;
    float stale;
    RowImage expected;
};

TEST(RowImageTest, ExtensionThenDirectoryThenSessionInCurrentAndGoneLook) {
    const ImageCase cases[] = {
        {"", 0.0f, RowImage::Session},
        {"", 1.0f, RowImage::Session}, // exactly one second is still current
        {"", kJustAboveOne, RowImage::SessionGone},
        {"C:\\share\\report.doc", 0.0f, RowImage::File},
        {"C:\\share\\report.doc", 1.2f, RowImage::FileGone},
        {"C:\\share\\folder", 0.0f, RowImage::Folder},
        {"C:\\share\\folder", 30.0f, RowImage::FolderGone},
        {"C:\\share\\README", 0.0f, RowImage::Folder},   // a file without extension looks like a folder
        {"C:\\share.old\\sub", 0.0f, RowImage::Folder},  // a dot in the directory is no extension
        {"C:\\share\\folder\\", 0.0f, RowImage::Folder}, // nothing after the last separator
        {"C:\\share\\name.", 0.0f, RowImage::File},      // a lone dot is an extension
        {"/srv/share/a.tar.gz", 0.0f, RowImage::File},   // forward slashes separate too
        {"notes.txt", 0.0f, RowImage::File},             // no directory, but an extension
        {"C:notes", 0.0f, RowImage::Session},            // drive and name only: no directory part
        {"C:", kJustAboveOne, RowImage::SessionGone},
        {"\\\\PC1\\IPC$", 0.0f, RowImage::Folder},
    };
    for (const ImageCase& c : cases) {
        EXPECT_EQ(ChooseRowImage(c.path, c.stale), c.expected) << c.path << " stale " << c.stale;
    }
}

TEST(RowImageTest, SplitPathGivesTheFourParts) {
    const PathParts p = SplitPath("D:\\data\\sub.dir\\archive.tar.gz");
    EXPECT_EQ(p.drive, "D:");
    EXPECT_EQ(p.directory, "\\data\\sub.dir\\");
    EXPECT_EQ(p.fileName, "archive.tar");
    EXPECT_EQ(p.extension, ".gz");
}

// In code page 932 the second byte of 表 (0x95 0x5C) is the byte of "\": it must not split the name.
using RowImage932Test = test::CodePage932Test;

TEST_F(RowImage932Test, TrailByteThatLooksLikeABackslashIsNoSeparator) {
    // memo.表: the extension is ".表"; a byte-wise split would see a directory ending in "\".
    EXPECT_EQ(ChooseRowImage("C:\\docs\\memo.\x95\x5c", 0.0f), RowImage::File);
    const PathParts p = SplitPath("C:\\docs\\memo.\x95\x5c");
    EXPECT_EQ(p.directory, "\\docs\\");
    EXPECT_EQ(p.fileName, "memo");
    EXPECT_EQ(p.extension, ".\x95\x5c");
    // 表 alone has no directory at all.
    EXPECT_EQ(ChooseRowImage("\x95\x5c", 0.0f), RowImage::Session);
    // ソフト\readme: the real separator after ソフト (0x83 0x5C 0x83 0x74 0x83 0x67) still counts.
    const PathParts q = SplitPath("\x83\x5c\x83\x74\x83\x67\\readme");
    EXPECT_EQ(q.directory, "\x83\x5c\x83\x74\x83\x67\\");
    EXPECT_EQ(q.fileName, "readme");
    // A lead byte cut off at the end of the text is not read past.
    EXPECT_EQ(ChooseRowImage("C:\\docs\\a.txt\x95", 0.0f), RowImage::File);
}

using RowImage1252Test = test::CodePage1252Test;

TEST_F(RowImage1252Test, SameBytesInAWesternCodePageSplitAtTheBackslash) {
    // 0x95 is a bullet in code page 1252; the 0x5C after it is a real separator.
    EXPECT_EQ(ChooseRowImage("C:\\docs\\memo.\x95\x5c", 0.0f), RowImage::Folder);
}

// --- Row and detail texts ---------------------------------------------------------------------------

AccessEntry SessionEntry(std::int32_t key, std::string client, std::string user) {
    AccessEntry e;
    e.key = key;
    e.clientName = std::move(client);
    e.userName = std::move(user);
    e.openCount = 3;
    e.startTimeText = "2024-05-01 09:15:00";
    e.startTime = 1714522500;
    e.connectedText = "00:01:40";
    e.connectedSeconds = 100;
    e.idleText = "00:00:05";
    e.userIdent = "Guest";
    e.clientType = "Windows 5.1";
    return e;
}

AccessEntry FileEntry(std::int32_t key, std::string user, std::string path) {
    AccessEntry e;
    e.key = key;
    e.userName = std::move(user);
    e.startTimeText = "2024-05-01 09:15:00";
    e.connectedText = "00:01:40";
    e.idleText = "00:00:05";
    e.fileId = -7;
    e.operation = "READ+WRITE";
    e.lockCount = 2;
    e.pathName = std::move(path);
    return e;
}

TEST(RowTextTest, SessionAndOpenFileRowsShowTheirFiveColumns) {
    const ListRow session = MakeListRow(SessionEntry(4, "PC1", "alice"));
    EXPECT_EQ(session.key, 4);
    EXPECT_EQ(session.texts, (std::array<std::string, 5>{"PC1", "alice", "2024-05-01 09:15:00", "", ""}));
    EXPECT_EQ(session.image, RowImage::Session);

    AccessEntry file = FileEntry(5, "bob", "C:\\share\\a.txt");
    file.staleSeconds = 2.0f;
    const ListRow fileRow = MakeListRow(file);
    EXPECT_EQ(fileRow.texts,
              (std::array<std::string, 5>{"", "bob", "2024-05-01 09:15:00", "READ+WRITE", "C:\\share\\a.txt"}));
    EXPECT_EQ(fileRow.image, RowImage::FileGone);
}

TEST(RowTextTest, DetailValuesInRowOrderWithNumbersInDecimal) {
    const DetailValues s = MakeDetailValues(SessionEntry(0, "PC1", "alice"));
    EXPECT_EQ(s, (DetailValues{"PC1", "alice", "3", "2024-05-01 09:15:00", "00:01:40", "00:00:05", "Guest",
                               "Windows 5.1", "0", "", "0", ""}));
    const DetailValues f = MakeDetailValues(FileEntry(1, "bob", "C:\\x"));
    EXPECT_EQ(f[2], "0");
    EXPECT_EQ(f[8], "-7");
    EXPECT_EQ(f[9], "READ+WRITE");
    EXPECT_EQ(f[10], "2");
    EXPECT_EQ(f[11], "C:\\x");
}

// --- Row changes of a refresh -----------------------------------------------------------------------

// The list control as the changes leave it: deletes and inserts shift the rows after them.
std::vector<ListRow> Replay(std::vector<ListRow> rows, const std::vector<RowChange>& changes,
                            const std::vector<ListRow>& wanted) {
    for (const RowChange& c : changes) {
        const auto at = rows.begin() + c.row;
        switch (c.kind) {
        case RowChange::Kind::Delete:
            rows.erase(at);
            break;
        case RowChange::Kind::Insert:
            rows.insert(at, wanted[static_cast<std::size_t>(c.source)]);
            break;
        case RowChange::Kind::Set: {
            const ListRow& from = wanted[static_cast<std::size_t>(c.source)];
            for (int i = 0; i < kAccessColumnCount; ++i) {
                if (c.cellMask & (1u << i)) {
                    at->texts[static_cast<std::size_t>(i)] = from.texts[static_cast<std::size_t>(i)];
                }
            }
            if (c.cellMask & RowChange::kImageBit) {
                at->image = from.image;
            }
            at->key = from.key;
            break;
        }
        }
    }
    return rows;
}

std::vector<ListRow> Rows(int count, int firstKey) {
    std::vector<ListRow> rows;
    for (int i = 0; i < count; ++i) {
        const int key = firstKey - i; // newest first: keys fall
        rows.push_back(MakeListRow(SessionEntry(key, "PC" + std::to_string(key), "user")));
    }
    return rows;
}

TEST(DiffRowsTest, UnchangedTableRewritesNothing) {
    const std::vector<ListRow> rows = Rows(3000, 2999);
    EXPECT_TRUE(DiffRows(rows, rows).empty());
}

TEST(DiffRowsTest, NewAccessInFrontOfThousandsInsertsOneRow) {
    const std::vector<ListRow> shown = Rows(3000, 2999);
    const std::vector<ListRow> wanted = Rows(3001, 3000);
    const std::vector<RowChange> changes = DiffRows(shown, wanted);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, RowChange::Kind::Insert);
    EXPECT_EQ(changes[0].row, 0);
    EXPECT_EQ(changes[0].source, 0);
    EXPECT_EQ(Replay(shown, changes, wanted), wanted);
}

TEST(DiffRowsTest, AgedOutEntryDeletesItsRowOnly) {
    const std::vector<ListRow> shown = Rows(1000, 999);
    std::vector<ListRow> wanted = shown;
    wanted.erase(wanted.begin() + 500);
    wanted.pop_back();
    const std::vector<RowChange> changes = DiffRows(shown, wanted);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].kind, RowChange::Kind::Delete);
    EXPECT_EQ(changes[0].row, 500);
    EXPECT_EQ(changes[1].kind, RowChange::Kind::Delete);
    EXPECT_EQ(changes[1].row, 998);
    EXPECT_EQ(Replay(shown, changes, wanted), wanted);
}

TEST(DiffRowsTest, ChangedCellsAreTheOnlyOnesSet) {
    const std::vector<ListRow> shown = Rows(10, 9);
    std::vector<ListRow> wanted = shown;
    wanted[3].image = RowImage::SessionGone;
    wanted[7].texts[2] = "2024-05-01 09:15:01"; // the start time moved by a second
    wanted[7].texts[4] = "C:\\x";
    const std::vector<RowChange> changes = DiffRows(shown, wanted);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].kind, RowChange::Kind::Set);
    EXPECT_EQ(changes[0].row, 3);
    EXPECT_EQ(changes[0].cellMask, RowChange::kImageBit);
    EXPECT_EQ(changes[1].row, 7);
    EXPECT_EQ(changes[1].cellMask, (1u << 2) | (1u << 4));
    EXPECT_EQ(Replay(shown, changes, wanted), wanted);
}

TEST(DiffRowsTest, KeysOutOfTableOrderFallBackToPositions) {
    const std::vector<ListRow> shown = Rows(5, 4);
    std::vector<ListRow> wanted = shown;
    std::swap(wanted[1], wanted[3]);
    wanted.push_back(MakeListRow(SessionEntry(77, "PC77", "x")));
    const std::vector<RowChange> changes = DiffRows(shown, wanted);
    EXPECT_EQ(Replay(shown, changes, wanted), wanted);
    for (const RowChange& c : changes) {
        EXPECT_NE(c.kind, RowChange::Kind::Delete); // positions 0..4 stay, one row is appended
    }
}

TEST(DiffRowsTest, RandomTableHistoriesEndWithTheWantedRowsAndTouchOnlyChangedRows) {
    std::mt19937 random(20240501);
    std::vector<AccessEntry> table; // newest first
    std::vector<ListRow> shown;
    int nextKey = 0;
    for (int refresh = 0; refresh < 400; ++refresh) {
        const int arrivals = static_cast<int>(random() % 4);
        for (int i = 0; i < arrivals; ++i) {
            AccessEntry e = random() % 2 ? SessionEntry(nextKey, "PC" + std::to_string(nextKey), "u")
                                         : FileEntry(nextKey, "u", "C:\\f" + std::to_string(nextKey) + ".txt");
            ++nextKey;
            table.insert(table.begin(), e);
        }
        for (int i = 0; i < 3 && !table.empty(); ++i) {
            const std::size_t at = random() % table.size();
            switch (random() % 4) {
            case 0:
                table.erase(table.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            case 1:
                table[at].staleSeconds += 0.6f;
                break;
            case 2:
                table[at].startTimeText = "t" + std::to_string(refresh);
                break;
            default:
                table[at].connectedText = "not shown in the list";
                break;
            }
        }
        std::vector<ListRow> wanted;
        for (const AccessEntry& e : table) {
            wanted.push_back(MakeListRow(e));
        }
        const std::vector<RowChange> changes = DiffRows(shown, wanted);
        const std::vector<ListRow> after = Replay(shown, changes, wanted);
        ASSERT_EQ(after, wanted) << "refresh " << refresh;
        for (const RowChange& c : changes) {
            if (c.kind == RowChange::Kind::Set) {
                EXPECT_NE(c.cellMask, 0u);
            }
        }
        // Never more changes than arrivals, removals and changed rows together.
        EXPECT_LE(changes.size(), static_cast<std::size_t>(arrivals + 3)) << "refresh " << refresh;
        shown = after;
    }
}

// --- Details of the selected row --------------------------------------------------------------------

DetailsUpdate Details(const std::vector<AccessEntry>& table, SelectedRow selected, bool hasTable = true) {
    DetailsFinder finder(hasTable, static_cast<std::int32_t>(table.size()), std::move(selected));
    for (const AccessEntry& e : table) {
        finder.Visit(e);
    }
    return finder.Result();
}

TEST(DetailsTest, NoTableOrNoEntryKeepsTheValues) {
    EXPECT_EQ(Details({}, {0, "PC1", "alice", ""}).kind, DetailsUpdate::Kind::Keep);
    EXPECT_EQ(Details({SessionEntry(0, "PC1", "alice")}, {0, "PC1", "alice", ""}, false).kind,
              DetailsUpdate::Kind::Keep);
}

TEST(DetailsTest, NoSelectionClearsTheValues) {
    EXPECT_EQ(Details({SessionEntry(0, "PC1", "alice")}, {-1, "", "", ""}).kind, DetailsUpdate::Kind::Clear);
}

TEST(DetailsTest, OldestMatchingEntryWinsAndCaseMatters) {
    AccessEntry newer = SessionEntry(2, "PC1", "alice");
    newer.openCount = 11;
    AccessEntry older = SessionEntry(1, "PC1", "alice");
    older.openCount = 22;
    const std::vector<AccessEntry> table = {newer, SessionEntry(3, "pc1", "alice"), older};
    const DetailsUpdate u = Details(table, {0, "PC1", "alice", ""});
    ASSERT_EQ(u.kind, DetailsUpdate::Kind::Set);
    EXPECT_EQ(u.values[2], "22");
    EXPECT_EQ(Details(table, {0, "PC1", "ALICE", ""}).kind, DetailsUpdate::Kind::Keep);
}

TEST(DetailsTest, OpenFileRowIsFoundByUserAndPath) {
    const std::vector<AccessEntry> table = {FileEntry(1, "bob", "C:\\a.txt"), FileEntry(0, "bob", "C:\\b.txt")};
    const DetailsUpdate u = Details(table, {1, "", "bob", "C:\\b.txt"});
    ASSERT_EQ(u.kind, DetailsUpdate::Kind::Set);
    EXPECT_EQ(u.values[11], "C:\\b.txt");
}

// --- Pop-up and the three close modes ---------------------------------------------------------------

PopupSettings Popup(int closeFlag, int popTime = 10, int cycle = 1000, int topDlg = 1, int popFlag = 1) {
    PopupSettings s;
    s.DlgPopFlag = popFlag;
    s.DlgPopCloseFlag = closeFlag;
    s.DlgPopTime = popTime;
    s.TopDlg = topDlg;
    s.CycleTime2 = cycle;
    return s;
}

TEST(PopupTest, NewAccessPopsUpOnlyWhenAskedAndNotOpenedByUser) {
    ListWindowState off;
    EXPECT_FALSE(off.UpdatePopup(1, Popup(0, 10, 1000, 1, 0)).popUp);

    ListWindowState user;
    user.openedByUser = 1;
    EXPECT_FALSE(user.UpdatePopup(1, Popup(0)).popUp);

    ListWindowState top;
    const PopupActions a = top.UpdatePopup(2, Popup(2, 10, 1000, 1));
    EXPECT_TRUE(a.popUp);
    EXPECT_TRUE(a.popUpTopmost);
    EXPECT_EQ(top.poppedUp, 1);
    EXPECT_EQ(top.previousCount, 2);
    // Already popped up: more accesses change nothing.
    EXPECT_FALSE(top.UpdatePopup(3, Popup(2)).popUp);

    ListWindowState plain;
    const PopupActions b = plain.UpdatePopup(1, Popup(2, 10, 1000, 0));
    EXPECT_TRUE(b.popUp);
    EXPECT_FALSE(b.popUpTopmost);
}

TEST(PopupTest, OneLeavingAndOneArrivingPopsNothingUp) {
    ListWindowState s;
    s.previousCount = 1;
    const PopupActions a = s.UpdatePopup(1, Popup(0));
    EXPECT_FALSE(a.popUp);
    EXPECT_FALSE(a.hideAndSave);
}

TEST(PopupTest, CloseMode0HidesWhenTheTableEmptiesEvenIfTheUserOpenedIt) {
    ListWindowState s;
    EXPECT_TRUE(s.UpdatePopup(2, Popup(0)).popUp);
    EXPECT_FALSE(s.UpdatePopup(1, Popup(0)).hideAndSave);
    const PopupActions gone = s.UpdatePopup(0, Popup(0));
    EXPECT_TRUE(gone.hideAndSave);
    EXPECT_EQ(s.poppedUp, 0);
    EXPECT_EQ(s.openedByUser, 0);
    EXPECT_FALSE(s.UpdatePopup(0, Popup(0)).hideAndSave); // only the fall to 0 closes

    ListWindowState user;
    user.openedByUser = 1;
    user.UpdatePopup(3, Popup(0));
    EXPECT_TRUE(user.UpdatePopup(0, Popup(0)).hideAndSave);
    EXPECT_EQ(user.openedByUser, 0);
}

TEST(PopupTest, CloseMode1HidesByTheTenthRefreshAfterThePopUp) {
    ListWindowState s;
    const PopupActions first = s.UpdatePopup(1, Popup(1, 10, 1000));
    EXPECT_TRUE(first.popUp);
    EXPECT_EQ(s.popupSeconds, 1); // the popping refresh already counts
    for (int i = 1; i < 10; ++i) {
        EXPECT_FALSE(s.UpdatePopup(1, Popup(1, 10, 1000)).hideAndSave) << i;
    }
    EXPECT_EQ(s.popupSeconds, 10);
    const PopupActions last = s.UpdatePopup(1, Popup(1, 10, 1000));
    EXPECT_TRUE(last.hideAndSave);
    EXPECT_FALSE(last.show);
    EXPECT_EQ(s.poppedUp, 0);
    EXPECT_EQ(s.popupSeconds, 0);
}

TEST(PopupTest, CloseMode1WithShortPeriodNeverCloses) {
    ListWindowState s;
    s.UpdatePopup(1, Popup(1, 10, 999));
    for (int i = 0; i < 100; ++i) {
        const PopupActions a = s.UpdatePopup(1, Popup(1, 10, 999));
        EXPECT_FALSE(a.hideAndSave || a.show);
    }
    EXPECT_EQ(s.poppedUp, 1);
    EXPECT_EQ(s.popupSeconds, 0);
}

TEST(PopupTest, CloseMode1KeepsTheWindowUpForDelay0OrWhenTheUserOpenedIt) {
    ListWindowState zero;
    const PopupActions a = zero.UpdatePopup(1, Popup(1, 0, 1000));
    EXPECT_TRUE(a.popUp);
    EXPECT_TRUE(a.show);
    EXPECT_FALSE(a.hideAndSave);
    EXPECT_EQ(zero.poppedUp, 0);

    ListWindowState user;
    user.UpdatePopup(1, Popup(1, 2, 1000));
    user.openedByUser = 1; // "Show the list" while popped up
    user.UpdatePopup(1, Popup(1, 2, 1000));
    const PopupActions b = user.UpdatePopup(1, Popup(1, 2, 1000));
    EXPECT_TRUE(b.show);
    EXPECT_FALSE(b.hideAndSave);
    EXPECT_EQ(user.openedByUser, 1);
}

TEST(PopupTest, CloseMode1WithLongPeriodMayCloseInThePoppingRefresh) {
    ListWindowState s;
    const PopupActions a = s.UpdatePopup(1, Popup(1, 3, 5000));
    EXPECT_TRUE(a.popUp);
    EXPECT_TRUE(a.hideAndSave);
}

TEST(PopupTest, CloseMode2StaysUntilTheUserClosesThenPopsUpAgain) {
    ListWindowState s;
    EXPECT_TRUE(s.UpdatePopup(1, Popup(2)).popUp);
    for (int i = 0; i < 50; ++i) {
        const PopupActions a = s.UpdatePopup(i % 2 ? 0 : 1, Popup(2));
        EXPECT_FALSE(a.hideAndSave || a.show || a.popUp);
    }
    s.OnHideAndSave(); // Esc or the close box
    EXPECT_EQ(s.openedByUser, 0);
    EXPECT_TRUE(s.UpdatePopup(2, Popup(2)).popUp);
}

TEST(PopupTest, LongDelayDoesNotOverflowTheSecondCount) {
    ListWindowState s;
    s.UpdatePopup(1, Popup(1, INT32_MAX, 10000));
    s.popupSeconds = INT32_MAX - 3;
    const PopupActions a = s.UpdatePopup(1, Popup(1, INT32_MAX, 10000));
    EXPECT_FALSE(a.hideAndSave);
    EXPECT_EQ(s.popupSeconds, INT32_MAX);
}

TEST(DetailsModeTest, ToggleAndCheckMark) {
    ListWindowState s;
    s.ToggleDetails();
    EXPECT_EQ(s.detailsShown, 1);
    EXPECT_TRUE(s.DetailsChecked());
    s.ToggleDetails();
    EXPECT_EQ(s.detailsShown, 0);
    s.detailsShown = 5; // "dlgSize" = 5: shown, yet no check mark
    EXPECT_FALSE(s.DetailsChecked());
    s.ToggleDetails();
    EXPECT_EQ(s.detailsShown, 0);
}

// --- Layout -----------------------------------------------------------------------------------------

struct LayoutCase {
    int left, top, right, bottom, details;
    Box access;
    bool detailsVisible;
    Box detailsBox;
    int valueWidth;
};

TEST(LayoutTest, ProportionalThenFixedSplit) {
    const LayoutCase cases[] = {
        // Details off: the access list takes the window.
        {-3, -22, 523, 300, 0, {2, -2, 518, 290}, false, {}, 0},
        // M = (-22 + 300) / 2 = 139 < 150: proportional.
        {-3, -22, 523, 300, 1, {2, -2, 518, 141}, true, {2, 137, 518, 146}, 396},
        // M = 149, the last proportional split.
        {-3, -22, 523, 321, 1, {2, -2, 518, 152}, true, {2, 147, 518, 156}, 396},
        // M = 150: fixed, 150 pixels of details at the bottom.
        {-3, -22, 523, 322, 1, {2, -2, 518, 157}, true, {2, 162, 518, 150}, 396},
        // Any non-zero mode shows the details.
        {-3, -22, 523, 600, 5, {2, -2, 518, 435}, true, {2, 440, 518, 150}, 396},
        // M = (-22 + 19) / 2 truncates toward zero to -1.
        {-3, -22, 100, 19, 1, {2, -2, 95, 0}, true, {2, -3, 95, 6}, 0},
    };
    for (const LayoutCase& c : cases) {
        const ListLayout l = ComputeLayout(c.left, c.top, c.right, c.bottom, c.details);
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top << "," << c.right << "," << c.bottom);
        EXPECT_EQ(l.accessList, c.access);
        EXPECT_EQ(l.detailsVisible, c.detailsVisible);
        if (c.detailsVisible) {
            EXPECT_EQ(l.detailsList, c.detailsBox);
            EXPECT_EQ(l.detailsValueWidth, c.valueWidth);
        }
    }
    // At 150 % the caption and frame are half as tall again, and so are the distances that clear them.
    EXPECT_EQ(ComputeLayout(-4, -33, 790, 450, 0, 144).accessList, (Box{4, -3, 782, 435}));
    EXPECT_EQ(ScaleForDpi(20, 96), 20);
    EXPECT_EQ(ScaleForDpi(5, 120), 6);  // 6.25 rounds down
    EXPECT_EQ(ScaleForDpi(7, 144), 11); // 10.5 rounds up
}

// --- Section "DialogPos" ----------------------------------------------------------------------------

TEST(DialogPosTest, DefaultsWhenMissingAndNonNumbersReadAsZero) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    const DialogPos none = ReadDialogPos(ini);
    EXPECT_EQ(none, DialogPos{});
    EXPECT_FALSE(none.HasRect());

    WriteBytes(ini, "[DialogPos]\r\ntop=abc\r\nleft=40\r\nright=400\r\ncolumn3=x\r\ncolumn4=55\r\n");
    const DialogPos pos = ReadDialogPos(ini);
    EXPECT_EQ(pos.top, 0);
    EXPECT_EQ(pos.left, 40);
    EXPECT_EQ(pos.columns[3], 0);
    EXPECT_EQ(pos.columns[4], 55);
    EXPECT_EQ(pos.columns[0], 100);
    EXPECT_FALSE(pos.HasRect()); // left and right alone are no saved rectangle
}

TEST(DialogPosTest, WrittenInOrderAndReadBack) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    WriteBytes(ini, "[Setting]\r\nTopDlg=1\r\n");
    DialogPos pos;
    pos.top = -20;
    pos.bottom = 300;
    pos.right = 640;
    pos.left = 100;
    pos.dlgSize = 1;
    pos.columns = {120, 0, 150, 90, 300};
    WriteDialogPos(ini, pos);
    EXPECT_EQ(ReadBytes(ini), "[Setting]\r\nTopDlg=1\r\n"
                              "[DialogPos]\r\ntop=-20\r\nbottom=300\r\nright=640\r\nleft=100\r\ndlgSize=1\r\n"
                              "column0=120\r\ncolumn1=0\r\ncolumn2=150\r\ncolumn3=90\r\ncolumn4=300\r\n");
    EXPECT_EQ(ReadDialogPos(ini), pos);
    EXPECT_TRUE(pos.HasRect());
    EXPECT_EQ(platform::ProfileGetInt(ini, "Setting", "TopDlg", 0), 1);
}

} // namespace
} // namespace glimmerfen::ui
