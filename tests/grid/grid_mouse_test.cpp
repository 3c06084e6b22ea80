#include "grid_test_util.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

using grid_test::TestGrid;
using Mode = CGridCtrl::MouseMode;

struct MouseStep {
    CellPos from;
    CellPos to;  // invalid: a click on from
    Qt::KeyboardModifiers modifiers = {};
};

void MoveHeld(CGridCtrl& grid, QPoint to)
{
    QMouseEvent move(QEvent::MouseMove, to, grid.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&grid, &move);
}

void Perform(TestGrid& test, const MouseStep& step)
{
    if (!test.grid.IsValid(step.to)) {
        test.Click(step.from, step.modifiers);
        return;
    }
    QTest::mousePress(&test.grid, Qt::LeftButton, step.modifiers, test.Centre(step.from));
    MoveHeld(test.grid, test.Centre(step.to));
    QTest::mouseRelease(&test.grid, Qt::LeftButton, step.modifiers, test.Centre(step.to));
}

// 10 x 6 cells, all in view.
TEST(GridMouse, SelectionModesByWhereTheButtonGoesDown)
{
    struct Case {
        const char* name;
        std::vector<MouseStep> steps;
        CellBlock bounds;
        CellPos focus;
        bool listMode = false;
    };
    const Case cases[] = {
        {"a cell", {{{2, 2}, {}}}, {2, 2, 2, 2}, {2, 2}},
        {"a dragged rectangle", {{{4, 3}, {2, 2}}}, {2, 2, 4, 3}, {2, 2}},
        {"a column header", {{{0, 3}, {}}}, {1, 3, 9, 3}, {1, 3}},
        {"column headers dragged over", {{{0, 2}, {0, 4}}}, {1, 2, 9, 4}, {1, 2}},
        {"a row header", {{{3, 0}, {}}}, {3, 1, 3, 5}, {3, 1}},
        {"the corner", {{{0, 0}, {}}}, {1, 1, 9, 5}, {1, 1}},
        {"Shift extends from the focus cell", {{{2, 2}, {}}, {{3, 4}, {}, Qt::ShiftModifier}}, {2, 2, 3, 4}, {3, 4}},
        {"list mode selects rows", {{{2, 3}, {}}}, {2, 1, 2, 5}, {2, 3}, true},
    };
    for (const Case& c : cases) {
        TestGrid test(10, 6);
        test.grid.SetListMode(c.listMode);
        for (const MouseStep& step : c.steps)
            Perform(test, step);
        EXPECT_EQ(test.grid.GetSelectionBounds(), c.bounds) << c.name;
        EXPECT_EQ(test.grid.GetCurrentCell(), c.focus) << c.name;
        EXPECT_EQ(test.grid.GetMouseMode(), Mode::Idle) << c.name;
        EXPECT_FALSE(test.grid.AutoScrollRunning()) << c.name;
    }
}

TEST(GridMouse, ControlKeepsThePreviousSelectionAndDisabledSelectionSelectsNothing)
{
    TestGrid test(10, 6);
    Perform(test, {{2, 2}, {3, 3}});
    Perform(test, {{6, 5}, {}, Qt::ControlModifier});
    for (CellPos cell : {CellPos{2, 2}, CellPos{3, 3}, CellPos{6, 5}})
        EXPECT_TRUE(test.grid.GetCellState(cell.row, cell.column) & kCellSelected) << cell.row << "," << cell.column;
    EXPECT_FALSE(test.grid.GetCellState(5, 5) & kCellSelected);
    Perform(test, {{8, 1}, {}});
    EXPECT_EQ(test.grid.GetSelectionBounds(), (CellBlock{8, 1, 8, 1}));

    test.grid.EnableSelection(false);
    Perform(test, {{2, 2}, {4, 4}});
    EXPECT_EQ(test.grid.GetSelectionBounds(), CellBlock{});
    EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{4, 4}));
}

// The blocks kept by Ctrl are part of the selection for copying, also
// after a second Ctrl-drag, and a plain click clears every one of them.
TEST(GridMouse, ControlClicksKeepEveryEarlierBlockUntilAPlainClick)
{
    TestGrid test(10, 6);
    Perform(test, {{2, 2}, {3, 3}});
    Perform(test, {{6, 5}, {}, Qt::ControlModifier});
    Perform(test, {{8, 1}, {8, 2}, Qt::ControlModifier});
    const auto selectedCells = [&] {
        std::vector<CellPos> found;
        for (int row = 0; row < 10; ++row)
            for (int column = 0; column < 6; ++column)
                if (test.grid.GetCellState(row, column) & kCellSelected)
                    found.push_back({row, column});
        return found;
    };
    const std::vector<CellPos> blocks = {{2, 2}, {2, 3}, {3, 2}, {3, 3}, {6, 5}, {8, 1}, {8, 2}};
    EXPECT_EQ(selectedCells(), blocks);
    EXPECT_EQ(test.grid.GetSelectionBounds(), (CellBlock{2, 1, 8, 5}));
    const QStringList rows = test.grid.Cells().SelectionText().split(QLatin1Char('\n'));
    ASSERT_EQ(rows.size(), 7);
    EXPECT_EQ(rows[0], QStringLiteral("\t2/2\t2/3\t\t"));
    EXPECT_EQ(rows[4], QStringLiteral("\t\t\t\t6/5"));
    EXPECT_EQ(rows[6], QStringLiteral("8/1\t8/2\t\t\t"));

    Perform(test, {{1, 4}, {}});
    EXPECT_EQ(selectedCells(), (std::vector<CellPos>{{1, 4}}));
}

TEST(GridMouse, ClicksOnCellsAreReported)
{
    TestGrid test(10, 6);
    int clicks = 0;
    QObject::connect(&test.grid, &CGridCtrl::Clicked, [&] { ++clicks; });
    test.Click({2, 2});
    QTest::mouseClick(&test.grid, Qt::LeftButton, {}, QPoint(390, 290));  // outside the cells
    test.Click({0, 3});
    EXPECT_EQ(clicks, 2);
}

// With drag and drop on, a click on a selected cell that is released
// without a drag makes that cell the focus cell and selects it alone.
TEST(GridMouse, ReleaseOnASelectedCellWithoutDragSelectsItAlone)
{
    TestGrid test(10, 6);
    test.grid.AllowDragAndDrop(true);
    test.grid.setFocus();
    ASSERT_TRUE(test.grid.hasFocus());
    Perform(test, {{4, 4}, {2, 2}});
    QTest::mousePress(&test.grid, Qt::LeftButton, {}, test.Centre({3, 3}));
    EXPECT_EQ(test.grid.GetMouseMode(), Mode::DragPending);
    QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, test.Centre({3, 3}));
    EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{3, 3}));
    EXPECT_EQ(test.grid.GetSelectionBounds(), (CellBlock{3, 3, 3, 3}));
}

// Dividers in the header row (column) are dragged; one within the capture
// range of a cell's own left (top) edge belongs to the one before.
TEST(GridMouse, DraggingADividerResizesWithinTheCaptureRange)
{
    struct Case {
        const char* name;
        Qt::Orientation orientation;
        int offset;  // from the divider between index 2 and 3, along the drag direction
        int moveBy;
    };
    // Either way index 2 is sized, to the pointer minus its leading edge.
    const Case cases[] = {
        {"column, left of its divider", Qt::Horizontal, -2, 25},
        {"column, right of the divider", Qt::Horizontal, 2, -10},
        {"column, confined to its own left edge", Qt::Horizontal, -1, -200},
        {"row", Qt::Vertical, -1, 7},
    };
    for (const Case& c : cases) {
        TestGrid test(10, 6);
        const bool columns = c.orientation == Qt::Horizontal;
        const int divider = columns ? grid_test::ColumnLeft(3) : grid_test::RowTop(3);
        const QPoint at = columns ? QPoint(divider + c.offset, 10) : QPoint(20, divider + c.offset);
        QTest::mouseMove(&test.grid, at);
        EXPECT_EQ(test.grid.GetMouseMode(), columns ? Mode::HoverColumnEdge : Mode::HoverRowEdge) << c.name;
        EXPECT_EQ(test.grid.cursor().shape(), columns ? Qt::SizeHorCursor : Qt::SizeVerCursor) << c.name;
        QTest::mousePress(&test.grid, Qt::LeftButton, {}, at);
        EXPECT_EQ(test.grid.GetMouseMode(), columns ? Mode::DraggingColumnEdge : Mode::DraggingRowEdge) << c.name;
        const QPoint to = at + (columns ? QPoint(c.moveBy, 0) : QPoint(0, c.moveBy));
        MoveHeld(test.grid, to);
        QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, to);
        const int size = columns ? grid_test::ColumnWidth(2) : grid_test::RowHeight(2);
        const int expected = std::max(0, size + c.offset + c.moveBy);
        EXPECT_EQ(columns ? test.grid.GetColumnWidth(2) : test.grid.GetRowHeight(2), expected) << c.name;
        EXPECT_EQ(test.grid.GetMouseMode(), Mode::Idle) << c.name;
        EXPECT_EQ(test.grid.GetCurrentCell(), CellPos{}) << c.name;  // resizing moves no focus
    }
}

// A double click on a divider fits that column to its widest cell, the
// header measured semi-bold.
TEST(GridMouse, DoubleClickOnADividerFitsTheColumnOrRow)
{
    TestGrid test(10, 6);
    const QString header = QStringLiteral("Beobachtung");
    test.grid.SetCellText(0, 2, header);
    QFont bold = test.grid.font();
    bold.setWeight(QFont::DemiBold);
    const int expected = QFontMetrics(bold).horizontalAdvance(header) + 4 * test.grid.Margin();
    ASSERT_GT(expected, QFontMetrics(test.grid.font()).horizontalAdvance(header) + 4 * test.grid.Margin());

    const QPoint divider(grid_test::ColumnLeft(3) + 2, 10);  // left edge of column 3: column 2's divider
    QTest::mouseMove(&test.grid, divider);
    QTest::mouseDClick(&test.grid, Qt::LeftButton, {}, divider);
    QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, divider);
    EXPECT_EQ(test.grid.GetColumnWidth(2), expected);
    EXPECT_EQ(test.grid.GetColumnWidth(3), grid_test::ColumnWidth(3));

    test.grid.SetCellText(4, 3, QStringLiteral("two\nlines"));
    QTest::mouseDClick(&test.grid, Qt::LeftButton, {}, QPoint(20, grid_test::RowTop(5) - 1));
    QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, QPoint(20, grid_test::RowTop(5) - 1));
    const QFontMetrics metrics(test.grid.font());
    EXPECT_EQ(test.grid.GetRowHeight(4), metrics.size(0, QStringLiteral("two\nlines")).height() + 2 * test.grid.Margin());
}

// The auto-scroll timer steps toward a pointer outside the cells; the test
// drives its ticks.
TEST(GridMouse, AutoScrollStretchesTheSelectionTowardThePointer)
{
    TestGrid test(30, 12);
    QTest::mousePress(&test.grid, Qt::LeftButton, {}, test.Centre({2, 2}));
    EXPECT_TRUE(test.grid.AutoScrollRunning());
    MoveHeld(test.grid, QPoint(test.Centre({2, 2}).x(), test.grid.height() + 40));
    int lastRow = test.grid.GetCurrentCell().row;
    for (int tick = 0; tick < 5; ++tick) {
        test.grid.OnAutoScrollTimer();
        EXPECT_GT(test.grid.GetCurrentCell().row, lastRow) << tick;
        lastRow = test.grid.GetCurrentCell().row;
    }
    EXPECT_GT(test.grid.ScrollPos(Qt::Vertical), 0);
    const CellBlock bounds = test.grid.GetSelectionBounds();
    EXPECT_EQ(bounds.minRow, 2);
    EXPECT_EQ(bounds.minColumn, 2);
    EXPECT_EQ(bounds.maxColumn, 2);
    EXPECT_GE(bounds.maxRow, lastRow - 1);

    const QPoint left(-30, test.grid.ClientRect().center().y());
    MoveHeld(test.grid, left);
    test.grid.OnAutoScrollTimer();
    EXPECT_EQ(test.grid.GetSelectionBounds().minColumn, 1);
    QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, left);
    EXPECT_FALSE(test.grid.AutoScrollRunning());
}

} // namespace
