// The list control remembers column widths and hidden columns from what the user does to the real
// control, at its background erase.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/strings.h"
#include "resource.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/ColumnListCtrl.h"
#include "ui_support.h"

namespace glimmerfen {
namespace {

using ui::CColumnListCtrl;
using ui::ColumnTable;

// The list window's template, shown, with its access list taken by a CColumnListCtrl.
class ListWindow : public ui::Dialog {
public:
    ListWindow() : Dialog(IDD_LIST) {}
    CColumnListCtrl list;

protected:
    bool OnInitDialog() override {
        list.Attach(Item(IDC_LIST));
        return true;
    }
};

// Redraws the control the way the system does when the user has dragged a header divider.
void Repaint(HWND control) {
    ::InvalidateRect(control, nullptr, TRUE);
    ::UpdateWindow(control);
}

class ColumnList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.CreateModeless(nullptr));
        ::ShowWindow(window.Hwnd(), SW_SHOW);
        ASSERT_EQ(window.list.Hwnd(), window.Item(IDC_LIST));
    }
    void TearDown() override { window.DestroyWindow(); }

    void InsertColumns(int count) {
        for (int i = 0; i < count; ++i) {
            std::string header = "c";
            header += std::to_string(i);
            ASSERT_EQ(window.list.InsertColumn(i, header, window.list.columns.CreationWidth(i)), i);
        }
    }

    ListWindow window;
};

TEST_F(ColumnList, DraggedWidthsAreRememberedAndZeroMeansHidden) {
    auto& table = window.list.columns;
    table.widths.fill(100);
    table.shown.fill(1);
    InsertColumns(5);
    HWND control = window.list.Hwnd();

    window.list.SetColumnWidth(3, 150);
    Repaint(control);
    EXPECT_EQ(table.widths[3], 150);
    EXPECT_EQ(table.shown[3], 1);

    // Narrowed to nothing: hidden, earlier width kept.
    window.list.SetColumnWidth(1, 0);
    Repaint(control);
    EXPECT_EQ(table.shown[1], 0);
    EXPECT_EQ(table.widths[1], 100);

    // Dragged open again from 0 to 80 pixels.
    window.list.SetColumnWidth(1, 80);
    Repaint(control);
    EXPECT_EQ(table.shown[1], 1);
    EXPECT_EQ(table.widths[1], 80);
}

TEST_F(ColumnList, HiddenColumnStartsAtZeroAndTogglesBack) {
    auto& table = window.list.columns;
    table.widths.fill(90);
    table.shown.fill(1);
    table.shown[2] = 0; // saved as hidden by the log viewer
    InsertColumns(4);
    EXPECT_EQ(window.list.ColumnWidth(2), 0);
    Repaint(window.list.Hwnd());
    EXPECT_EQ(table.widths[2], 90) << "a hidden column must keep its remembered width";

    const auto width = table.Toggle(2);
    ASSERT_TRUE(width.has_value());
    window.list.SetColumnWidth(2, *width);
    Repaint(window.list.Hwnd());
    EXPECT_EQ(window.list.ColumnWidth(2), 90);
    EXPECT_EQ(table.shown[2], 1);
}

TEST_F(ColumnList, ColumnsBeyondTheTenthAreNotTracked) {
    auto& table = window.list.columns;
    table.widths.fill(60);
    table.shown.fill(1);
    InsertColumns(12);
    for (int i = 0; i < 12; ++i) {
        window.list.SetColumnWidth(i, 70 + i);
    }
    Repaint(window.list.Hwnd());
    EXPECT_EQ(window.list.ColumnCount(), 12);
    for (int i = 0; i < ColumnTable::kTracked; ++i) {
        EXPECT_EQ(table.widths[static_cast<size_t>(i)], 70 + i) << i;
    }
}

TEST_F(ColumnList, LetsGoOfTheControlWhenItsWindowIsDestroyed) {
    window.DestroyWindow();
    EXPECT_EQ(window.list.Hwnd(), nullptr);
}

// Row texts come back whole: long ones and, under code page 932, double-byte ones.
// The access list is virtual (its rows give their texts when drawn); the details list keeps the texts
// it is given, whole, a header in the user's language among them.
TEST_F(ColumnList, ItemTextsRoundTrip) {
    CColumnListCtrl details;
    ASSERT_TRUE(details.Attach(window.Item(IDC_DETAILS)));
    ASSERT_EQ(details.InsertColumn(0, "c0", 100), 0);
    ASSERT_EQ(details.InsertColumn(1, "c1", 100), 1);
    const std::string header = platform::LoadText(IDS_COL_CLIENT_NAME); // Japanese under LANG=ja
    ASSERT_FALSE(header.empty());
    const std::string longText(700, 'x');
    ASSERT_EQ(details.InsertItem(0, header), 0);
    ASSERT_TRUE(details.SetItemText(0, 1, longText));
    EXPECT_EQ(details.ItemText(0, 0), header);
    EXPECT_EQ(details.ItemText(0, 1), longText);
    EXPECT_EQ(details.ItemCount(), 1);
    details.Detach();
}

} // namespace
} // namespace glimmerfen
