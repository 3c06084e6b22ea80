#include "grid_test_util.h"

#include "grid/cell_editor.h"
#include "grid/cell_tip.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using grid_test::TestGrid;

// The editor that is open now (one that ended only waits to be deleted).
CCellEditor* OpenEditor(const CGridCtrl& grid)
{
    for (CCellEditor* editor : grid.findChildren<CCellEditor*>())
        if (editor->isVisible())
            return editor;
    return nullptr;
}

// A key press with the text it types.
void Type(QWidget* widget, Qt::Key key, const QString& text, Qt::KeyboardModifiers modifiers = {})
{
    QTest::sendKeyEvent(QTest::Click, widget, key, text, modifiers);
}

int Count(const TestGrid& test, int code)
{
    return int(std::count_if(test.sent.begin(), test.sent.end(), [code](const auto& n) { return std::get<0>(n) == code; }));
}

// The first key decides what the editor starts with; typed '!' to '('
// share their numbers with the navigation keys and type nothing.
TEST(GridEdit, TypingOnTheFocusCellOpensTheEditorWithThatCharacter)
{
    struct Case {
        const char* name;
        Qt::Key key;
        const char* text;
        const char* shown;
        const char* selected;
    };
    const Case cases[] = {
        {"digit", Qt::Key_7, "7", "7", ""},
        {"Backspace", Qt::Key_Backspace, "", "12.", ""},
        {"Space", Qt::Key_Space, " ", "12.5", "12.5"},
        {"exclamation mark (33)", Qt::Key_Exclam, "!", "12.5", "12.5"},
        {"opening parenthesis (40)", Qt::Key_ParenLeft, "(", "12.5", "12.5"},
        {"closing parenthesis (41)", Qt::Key_ParenRight, ")", ")", ""},
    };
    for (const Case& c : cases) {
        TestGrid test(10, 6);
        test.grid.SetCellText(2, 2, QStringLiteral("12.5"));
        test.grid.SetCurrentCell({2, 2});
        test.sent.clear();
        Type(&test.grid, c.key, QString::fromLatin1(c.text));
        CCellEditor* editor = OpenEditor(test.grid);
        ASSERT_NE(editor, nullptr) << c.name;
        EXPECT_EQ(editor->text(), QString::fromLatin1(c.shown)) << c.name;
        EXPECT_EQ(editor->selectedText(), QString::fromLatin1(c.selected)) << c.name;
        EXPECT_EQ(editor->geometry(), test.grid.CellRect({2, 2})) << c.name;
        EXPECT_EQ(test.sent, (std::vector<std::tuple<int, int, int>>{{kNotifyCellChanging, 2, 2}})) << c.name;
    }
}

// How an edit ends decides what the cell gets and where editing goes on.
TEST(GridEdit, EndingKeysStoreTheTextAndMoveOn)
{
    struct Case {
        const char* name;
        bool byMouse;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* stored;
        CellPos focus;
        bool editorAfter;  // on the new focus cell, its text selected
    };
    const Case cases[] = {
        {"arrow", false, Qt::Key_Right, {}, "7", {2, 3}, true},
        {"Down", false, Qt::Key_Down, {}, "7", {3, 2}, true},
        {"Tab", false, Qt::Key_Tab, {}, "7", {2, 3}, true},
        {"Enter", false, Qt::Key_Return, {}, "7", {2, 2}, false},
        {"Esc restores", false, Qt::Key_Escape, {}, "12.5", {2, 2}, false},
        {"Ctrl+Right after a click", true, Qt::Key_Right, Qt::ControlModifier, "12.57", {2, 3}, true},
    };
    for (const Case& c : cases) {
        TestGrid test(10, 6);
        test.grid.SetCellText(2, 2, QStringLiteral("12.5"));
        test.grid.SetCurrentCell({2, 2});
        if (c.byMouse)
            test.Click({2, 2});  // on the focus cell: edit with the caret at the end
        else
            Type(&test.grid, Qt::Key_7, QStringLiteral("7"));
        CCellEditor* editor = OpenEditor(test.grid);
        ASSERT_NE(editor, nullptr) << c.name;
        if (c.byMouse) {
            Type(editor, Qt::Key_7, QStringLiteral("7"));
            QTest::keyClick(editor, Qt::Key_Right);  // stays inside after a click
            ASSERT_EQ(OpenEditor(test.grid), editor) << c.name;
        }
        test.sent.clear();
        QTest::keyClick(editor, c.key, c.modifiers);
        QApplication::processEvents();
        const bool changed = QString::fromLatin1(c.stored) != QStringLiteral("12.5");
        EXPECT_EQ(test.Text(2, 2), QString::fromLatin1(c.stored)) << c.name;
        EXPECT_EQ(bool(test.grid.GetCellState(2, 2) & kCellModified), changed) << c.name;
        EXPECT_EQ(test.grid.IsModified(), changed) << c.name;
        EXPECT_EQ(test.grid.GetCurrentCell(), c.focus) << c.name;
        EXPECT_EQ(Count(test, kNotifyCellChanged), 1) << c.name;
        CCellEditor* next = OpenEditor(test.grid);
        EXPECT_EQ(next != nullptr, c.editorAfter) << c.name;
        if (next) {
            EXPECT_EQ(next->geometry().topLeft(), test.grid.CellRect(c.focus).topLeft()) << c.name;
            EXPECT_EQ(next->selectedText(), test.Text(c.focus.row, c.focus.column)) << c.name;
        }
    }
}

// Esc as the first key ends at once with the old text; a click elsewhere
// ends an edit once; read-only cells open no editor.
TEST(GridEdit, EditsEndOnceAndNeverOnReadOnlyCells)
{
    TestGrid test(10, 6);
    test.grid.SetCurrentCell({2, 2});
    test.sent.clear();
    QTest::keyClick(&test.grid, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(OpenEditor(test.grid), nullptr);
    EXPECT_EQ(test.Text(2, 2), QStringLiteral("2/2"));
    EXPECT_FALSE(test.grid.IsModified());
    EXPECT_EQ(Count(test, kNotifyCellChanged), 1);

    Type(&test.grid, Qt::Key_5, QStringLiteral("5"));
    ASSERT_NE(OpenEditor(test.grid), nullptr);
    test.Click({4, 4});
    QApplication::processEvents();
    EXPECT_EQ(test.Text(2, 2), QStringLiteral("5"));
    EXPECT_EQ(Count(test, kNotifyCellChanged), 2);
    EXPECT_EQ(test.grid.GetCurrentCell(), (CellPos{4, 4}));

    test.grid.SetCellState(4, 4, kCellReadOnly);
    test.sent.clear();
    Type(&test.grid, Qt::Key_5, QStringLiteral("5"));
    test.Click({4, 4});
    QTest::mouseDClick(&test.grid, Qt::LeftButton, {}, test.Centre({4, 4}));
    QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, test.Centre({4, 4}));
    EXPECT_EQ(OpenEditor(test.grid), nullptr);
    EXPECT_TRUE(test.sent.empty());
}

// A double click edits the cell with the caret at the end; a cell only partly in
// view is scrolled in first; the editor grows up to the grid's client
// edge, not under its scroll bar.
TEST(GridEdit, EditorOpensOnAWholeCellAndGrowsToTheClientEdge)
{
    TestGrid test(30, 12);
    test.grid.SetCurrentCell({2, 6});  // ends at 420, beyond the client
    Type(&test.grid, Qt::Key_A, QStringLiteral("a"));
    CCellEditor* editor = OpenEditor(test.grid);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(test.grid.IsCellFullyShown({2, 6}));
    EXPECT_EQ(editor->geometry(), test.grid.CellRect({2, 6}));
    QTest::keyClicks(editor, QStringLiteral("very long text that does not fit"));
    EXPECT_EQ(editor->geometry().right(), test.grid.ClientRect().right());
    EXPECT_LT(editor->geometry().right(), test.grid.width() - 1);
    QTest::keyClick(editor, Qt::Key_Return);

    test.grid.OnHScroll(CGridCtrl::SB_LEFT);
    test.Click({3, 2});  // a double click's first click moves the focus there
    QTest::mouseDClick(&test.grid, Qt::LeftButton, {}, test.Centre({3, 2}));
    QTest::mouseRelease(&test.grid, Qt::LeftButton, {}, test.Centre({3, 2}));
    editor = OpenEditor(test.grid);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->cursorPosition(), 3);
    EXPECT_TRUE(editor->selectedText().isEmpty());
}

// The title tip shows the whole text of a clipped cell and stays away from
// a cell whose text fits exactly.
TEST(GridEdit, TitleTipShowsOnlyForClippedTexts)
{
    grid_test::BoundPage bound;
    CGridCtrl* grid = bound.grid;
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(grid->TitleTip(), nullptr);
    grid_test::FillWithNumbers(*grid, 6, 4);
    // " text " just fits the text area of (5,2), and is a pixel too wide for
    // that of (5,3).
    const auto display = [&](CellPos cell) {
        return QFontMetrics(grid->font()).horizontalAdvance(QLatin1Char(' ') + grid->GetCellText(cell.row, cell.column) +
                                                            QLatin1Char(' '));
    };
    grid->ResizeColumn(2, display({5, 2}) + 2 * grid->Margin());
    grid->ResizeColumn(3, display({5, 3}) + 2 * grid->Margin() - 1);
    bound.page.show();
    bound.page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bound.page));

    const auto hover = [&](CellPos cell) {
        grid->TitleTip()->HideTip();
        QTest::mouseMove(grid, grid->CellRect(cell).center());
        return grid->TitleTip()->isVisible();
    };
    for (int row = 0; row < 6; ++row)
        EXPECT_FALSE(hover({row, 1})) << row;  // an auto-sized column
    EXPECT_FALSE(hover({5, 2}));
    EXPECT_TRUE(hover({5, 3}));
    const QRect text = grid->TextRect({5, 3});
    EXPECT_EQ(grid->TitleTip()->geometry().topLeft(), grid->mapToGlobal(text.topLeft()));
    EXPECT_GT(grid->TitleTip()->width(), text.width());
    grid->OnVScroll(CGridCtrl::SB_LINEDOWN);
    EXPECT_FALSE(grid->TitleTip()->isVisible());
}

} // namespace
