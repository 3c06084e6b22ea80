#include "grid_test_util.h"

#include <QClipboard>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

using grid_test::TestGrid;

// 30 rows x 12 columns of uneven sizes in a 400 x 300 window: the grid
// scrolls both ways.
TEST(GridKeys, NavigationKeysMoveTheFocusCell)
{
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        CellPos start;
        CellPos expected;
    };
    const Case cases[] = {
        {"Right", Qt::Key_Right, {}, {3, 4}, {3, 5}},
        {"Right at the last column", Qt::Key_Right, {}, {3, 11}, {3, 11}},
        {"Left at the first value column", Qt::Key_Left, {}, {3, 1}, {3, 1}},
        {"Up at the first value row", Qt::Key_Up, {}, {1, 3}, {1, 3}},
        {"Down", Qt::Key_Down, {}, {3, 3}, {4, 3}},
        {"Down at the last row", Qt::Key_Down, {}, {29, 3}, {29, 3}},
        {"Ctrl+Right moves like Right", Qt::Key_Right, Qt::ControlModifier, {3, 4}, {3, 5}},
        {"Tab", Qt::Key_Tab, {}, {3, 4}, {3, 5}},
        {"Tab wraps", Qt::Key_Tab, {}, {3, 11}, {4, 1}},
        {"Tab at the last cell", Qt::Key_Tab, {}, {29, 11}, {29, 11}},
        {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier, {3, 4}, {3, 3}},
        {"Shift+Tab wraps back", Qt::Key_Backtab, Qt::ShiftModifier, {3, 1}, {2, 11}},
        {"Shift+Tab at the first cell", Qt::Key_Backtab, Qt::ShiftModifier, {1, 1}, {1, 1}},
        {"End", Qt::Key_End, {}, {3, 4}, {29, 4}},
        {"Home", Qt::Key_Home, {}, {20, 4}, {1, 4}},
        // A page of 267 pixels scrolls rows 1 to 12 away, the top of 13 stays.
        {"Page Down moves by the rows scrolled", Qt::Key_PageDown, {}, {2, 4}, {14, 4}},
        {"Page Up at the top", Qt::Key_PageUp, {}, {5, 4}, {1, 4}},
        {"Page Down at the bottom", Qt::Key_PageDown, {}, {27, 4}, {29, 4}},
    };
    for (const Case& c : cases) {
        TestGrid test(30, 12);
        if (c.start.row > 20)
            test.grid.OnVScroll(CGridCtrl::SB_BOTTOM);
        test.grid.SetCurrentCell(c.start);
        test.Key(c.key, c.modifiers);
        EXPECT_EQ(test.grid.GetCurrentCell(), c.expected) << c.name;
        // A key move shows the new focus cell whole and selects it alone.
        if (c.expected != c.start) {
            EXPECT_TRUE(test.grid.IsCellFullyShown(c.expected)) << c.name;
            EXPECT_EQ(test.grid.GetSelectionBounds(),
                      (CellBlock{c.expected.row, c.expected.column, c.expected.row, c.expected.column}))
                << c.name;
        }
    }
}

// A cell scrolled into view gets one more line beyond it; Tab that wraps
// returns to the left edge.
TEST(GridKeys, MovesOutOfViewScrollOneLineFurtherAndTabWrapsToTheLeftEdge)
{
    TestGrid test(30, 12);
    test.grid.SetCurrentCell({3, 5});
    ASSERT_GT(grid_test::ColumnLeft(7), test.grid.ClientRect().width());
    test.Key(Qt::Key_Right);  // column 6 ends beyond the client area
    EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{3, 6}));
    // Column 1 scrolled away to show column 6, then column 2 for one more.
    EXPECT_EQ(test.grid.ScrollPos(Qt::Horizontal), grid_test::ColumnLeft(3) - grid_test::ColumnLeft(1));

    test.grid.SetCurrentCell({3, 11});
    test.grid.OnHScroll(CGridCtrl::SB_RIGHT);
    test.Key(Qt::Key_Tab);
    EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{4, 1}));
    EXPECT_EQ(test.grid.ScrollPos(Qt::Horizontal), 0);

    // Shift keeps the selection start and stretches the selection.
    test.grid.SetCurrentCell({5, 2});
    test.Key(Qt::Key_Down);
    test.Key(Qt::Key_Right, Qt::ShiftModifier);
    test.Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(test.grid.GetSelectionBounds(), (CellBlock{6, 2, 7, 3}));
}

// Page Up from a focus cell above the rows in view moves it by as many
// rows as the view moved, but never into the header row.
TEST(GridKeys, PageUpStopsAtTheFirstRowBelowTheHeader)
{
    TestGrid test(30, 12);
    test.grid.OnVScroll(CGridCtrl::SB_BOTTOM);
    test.grid.SetCurrentCell({3, 2});
    test.Key(Qt::Key_PageUp);
    EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{1, 2}));
}

TEST(GridKeys, NothingHappensUntilACellHasTheFocus)
{
    TestGrid test(5, 4);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Right, Qt::Key_Delete, Qt::Key_Tab})
        test.Key(key);
    QTest::keyClick(&test.grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(test.grid.GetCurrentCell(), CellPos{});
    EXPECT_EQ(test.grid.GetSelectionBounds(), CellBlock{});
    EXPECT_EQ(test.Text(1, 1), QStringLiteral("1/1"));
    EXPECT_TRUE(test.sent.empty());
}

TEST(GridKeys, DeleteEmptiesAnEditableFocusCellOnly)
{
    struct Case {
        const char* name;
        bool gridEditable;
        unsigned state;
        bool emptied;
    };
    const Case cases[] = {
        {"editable", true, 0, true},
        {"read-only cell", true, kCellReadOnly, false},
        {"grid not editable", false, 0, false},
    };
    for (const Case& c : cases) {
        TestGrid test(5, 4);
        test.grid.SetEditable(c.gridEditable);
        test.grid.SetCellState(2, 2, c.state);
        test.grid.SetCurrentCell({2, 2});
        test.sent.clear();
        test.Key(Qt::Key_Delete);
        EXPECT_EQ(test.Text(2, 2).isEmpty(), c.emptied) << c.name;
        EXPECT_EQ(bool(test.grid.GetCellState(2, 2) & kCellModified), c.emptied) << c.name;
        EXPECT_EQ(test.grid.IsModified(), c.emptied) << c.name;
        EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{2, 2})) << c.name;
        EXPECT_EQ(test.sent.size(), c.emptied ? 2u : 0u) << c.name;  // -105 and -106 around the change
    }
}

TEST(GridKeys, ControlKeysCopyCutPasteAndSelectAll)
{
    TestGrid test(6, 5);
    test.grid.SetCellText(2, 2, QString());
    test.grid.SetCurrentCell({1, 1});
    test.grid.SelectRange({1, 1, 2, 2});
    QTest::keyClick(&test.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1/1\t1/2\n2/1\t "));

    test.grid.SetCellState(2, 1, kCellReadOnly | kCellSelected);
    QTest::keyClick(&test.grid, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(test.Text(1, 1), QString());
    EXPECT_EQ(test.grid.GetCellState(1, 1), unsigned(kCellModified));
    EXPECT_EQ(test.Text(2, 1), QStringLiteral("2/1"));  // read-only cells stay

    QGuiApplication::clipboard()->setText(QStringLiteral("7,8\n9"));
    test.grid.SetCurrentCell({4, 3});
    QTest::keyClick(&test.grid, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(test.Text(4, 3), QStringLiteral("7"));
    EXPECT_EQ(test.Text(4, 4), QStringLiteral("8"));
    EXPECT_EQ(test.Text(5, 3), QStringLiteral("9"));

    QTest::keyClick(&test.grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(test.grid.GetSelectionBounds(), (CellBlock{1, 1, 5, 4}));
}

TEST(GridKeys, FocusChangesAreAnnouncedBeforeAndAfter)
{
    TestGrid test(5, 4);
    test.grid.SetCurrentCell({1, 1});
    test.Key(Qt::Key_Right);
    const std::vector<std::tuple<int, int, int>> expected{
        {kNotifyFocusChanged, 1, 1}, {kNotifyFocusChanging, 1, 1}, {kNotifyFocusChanged, 1, 2}};
    EXPECT_EQ(test.sent, expected);
}

} // namespace
