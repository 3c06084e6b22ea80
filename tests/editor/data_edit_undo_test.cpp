#include "editor/data_edit_dlg.h"

#include "editor_test_util.h"
#include "platform/drag_drop.h"
#include "platform/popup_menu.h"
#include "test_support.h"

#include <QAction>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <gtest/gtest.h>

#include <random>

namespace {

using editor_test::ClickTab;
using editor_test::GridOf;
using editor_test::kDesign;
using editor_test::kObservations;
using editor_test::PasteInto;
using editor_test::RunModal;
using editor_test::RunNewEditor;
using editor_test::SelectedCells;
using editor_test::Texts;
using editor_test::TypeIntoCell;
using test_support::Utf8;

CGridCtrl& CurrentGrid(const CDataEditDlg& editor)
{
    return *editor.CurrentPage()->Grid();
}

void Key(const CDataEditDlg& editor, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    QTest::keyClick(&CurrentGrid(editor), key, modifiers);
}

// The drag seam plays the user: the dragged text goes onto cell `at` of
// page, whose tab is chosen first when another one shows.
Qt::DropAction DropOnto(CDataEditDlg& editor, int page, CellPos at, QDrag& drag, Qt::DropActions actions)
{
    if (editor.Tabs()->GetCurSel() != page)
        ClickTab(editor, page);
    CGridCtrl& target = GridOf(editor, page);
    return test_support::DeliverDrop(target, target.CellRect(at).center(), drag.mimeData(), actions);
}

// Presses on a selected cell (not the focus cell, which a press would
// edit) and moves away: the drag starts and ends with the drop.
void DragSelection(CGridCtrl& grid, CellPos from)
{
    grid.setFocus();
    grid.SetCurrentCell({});
    grid.ScrollIntoView(from);
    const QPoint start = grid.CellRect(from).center();
    QTest::mousePress(&grid, Qt::LeftButton, {}, start);
    ASSERT_EQ(grid.GetMouseMode(), CGridCtrl::MouseMode::DragPending);
    QMouseEvent move(QEvent::MouseMove, start + QPoint(5, 5), grid.mapToGlobal(start + QPoint(5, 5)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(&grid, &move);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, start);
}

// 200 random edits, pastes (some of them beyond the grid), deletes (of
// overlapping blocks), cuts, drops (also onto the other page) and row and
// column changes on both pages; undoing them all gives back the grids as
// they opened, cell for cell, and redoing them all the grids as they were
// at the end.
TEST(DataEditUndo, UndoingEverythingGivesTheOpeningGridsAndRedoingTheFinalOnes)
{
    test_support::MessageRecorder messages;
    test_support::QuestionAnswerer answers;
    answers.otherwise = true;
    RunNewEditor(6, 4, [&](CDataEditDlg& shown) {
        const QStringList opening[] = {Texts(GridOf(shown, kDesign)), Texts(GridOf(shown, kObservations))};
        std::mt19937 random(2026);
        const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
        const auto anyCell = [&](const CGridCtrl& grid) {
            return CellPos{pick(1, grid.GetNumRows() - 1), pick(1, grid.GetNumColumns() - 1)};
        };
        const auto value = [&] { return QString::number(pick(-999, 999) / 8.0); };
        for (int step = 0; step < 200; ++step) {
            const int page = pick(0, 1);
            if (shown.Tabs()->GetCurSel() != page)
                ClickTab(shown, page);
            CGridCtrl& grid = CurrentGrid(shown);
            const CellPos cell = anyCell(grid);
            const CellPos corner = anyCell(grid);
            const CellBlock block{std::min(cell.row, corner.row), std::min(cell.column, corner.column),
                                  std::max(cell.row, corner.row), std::max(cell.column, corner.column)};
            switch (pick(0, 7)) {
            case 0:
                TypeIntoCell(grid, cell, value());
                break;
            case 1:
                answers.otherwise = pick(0, 3) == 0;
                PasteInto(grid, cell, value() + "\t" + value() + "\n" + value() + "\t" + value() + "\t" + value());
                break;
            case 2:
                // A Ctrl-selection of the block's first row over the block:
                // Delete empties those cells twice, one step undoes both.
                grid.SelectRange(block);
                grid.Cells().KeepSelection();
                grid.SelectRange({block.minRow, block.minColumn, block.minRow, block.maxColumn});
                Key(shown, Qt::Key_Delete, {});
                grid.Cells().ForgetKeptSelection();
                break;
            case 3:
                grid.SelectRange(block);
                Key(shown, Qt::Key_X);
                break;
            case 4: {
                grid.SelectRange(block);
                const int target = pick(0, 1);
                const CellPos at = anyCell(GridOf(shown, target));
                platform::ScopedHandler drop(platform::DragSeam(), [&](QDrag& drag, Qt::DropActions actions) {
                    return DropOnto(shown, target, at, drag, actions);
                });
                DragSelection(grid, {block.minRow, block.minColumn});
                break;
            }
            case 5:
                grid.SetCurrentCell(cell);
                grid.SelectRange({block.minRow, 1, block.maxRow, grid.GetNumColumns() - 1});
                Key(shown, pick(0, 1) ? Qt::Key_Plus : Qt::Key_Minus);
                break;
            case 6:
                if (page == kDesign) {
                    grid.SelectRange({1, block.minColumn, grid.GetNumRows() - 1, block.maxColumn});
                    Key(shown, pick(0, 1) ? Qt::Key_Plus : Qt::Key_Minus);
                }
                break;
            default:
                grid.SetCurrentCell(cell);
                Key(shown, Qt::Key_Z);
                break;
            }
        }
        const QStringList final[] = {Texts(GridOf(shown, kDesign)), Texts(GridOf(shown, kObservations))};
        ASSERT_NE(final[kDesign], opening[kDesign]);
        ASSERT_GT(shown.Undo().StepCount(), 100);
        while (shown.Undo().CanUndo())
            Key(shown, Qt::Key_Z);
        EXPECT_EQ(Texts(GridOf(shown, kDesign)), opening[kDesign]);
        EXPECT_EQ(Texts(GridOf(shown, kObservations)), opening[kObservations]);
        EXPECT_FALSE(shown.HasChanges());
        // Ctrl+Y and Ctrl+Shift+Z redo alike.
        for (int step = 0; shown.Undo().CanRedo(); ++step) {
            if (step % 2)
                Key(shown, Qt::Key_Y);
            else
                Key(shown, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        }
        EXPECT_EQ(Texts(GridOf(shown, kDesign)), final[kDesign]);
        EXPECT_EQ(Texts(GridOf(shown, kObservations)), final[kObservations]);
    });
}

// Rows are observations: inserted or deleted on either page, they come or
// go on both (new design values 0, new observations 0 with weight 1).
// Columns are unknowns, on the design page only. Counts stay within 1 to
// 5000. The lines inserted are selected.
TEST(DataEditUndo, RowsGoOnBothPagesAndColumnsOnTheDesignPage)
{
    const QString zero = QStringLiteral("0.000000");
    const QString one = QStringLiteral("1.000000");
    struct Case {
        const char* name;
        int page;
        CellBlock selection;
        Qt::Key key;               // Ctrl+key, or Qt::Key_unknown: the menu entry below
        const char* menuEntry;
        int rows;                  // afterwards
        int columns;
        QString row2;              // design row 2 afterwards
        QString observationRow2;
        const char* message;
    };
    const Case cases[] = {
        {"insert a row", kDesign, {2, 1, 2, 1}, Qt::Key_Plus, "", 4, 2, "Zeile 2|" + zero + "|" + zero,
         "Zeile 2|" + zero + "|" + one, ""},
        {"insert two rows from the menu", kObservations, {2, 1, 3, 2}, Qt::Key_unknown, "Zeilen einfügen", 5, 2,
         "Zeile 2|" + zero + "|" + zero, "Zeile 2|" + zero + "|" + one, ""},
        {"delete a row", kObservations, {2, 2, 2, 2}, Qt::Key_Minus, "", 2, 2, "Zeile 2|3/1|3/2", "Zeile 2|3o|3w", ""},
        {"delete from the menu", kDesign, {1, 1, 2, 2}, Qt::Key_unknown, "Zeilen löschen", 1, 2, "", "", ""},
        {"insert a column", kDesign, {1, 2, 3, 2}, Qt::Key_Plus, "", 3, 3, "Zeile 2|2/1|" + zero + "|2/2",
         "Zeile 2|2o|2w", ""},
        {"delete a column from the menu", kDesign, {2, 1, 2, 1}, Qt::Key_unknown, "Spalten löschen", 3, 1,
         "Zeile 2|2/2", "Zeile 2|2o|2w", ""},
        {"not every row", kDesign, {1, 1, 3, 2}, Qt::Key_Minus, "", 3, 2, "Zeile 2|2/1|2/2", "Zeile 2|2o|2w",
         "Geben Sie bitte eine Zahl zwischen 1 und 5000 ein."},
    };
    for (const Case& c : cases) {
        test_support::MessageRecorder messages;
        QStringList menu;
        platform::ScopedHandler popup(platform::PopupMenuSeam(), [&](QMenu& shownMenu, const QPoint&) -> QAction* {
            QAction* chosen = nullptr;
            for (QAction* action : shownMenu.actions()) {
                if (!action->isSeparator())
                    menu << action->text();
                if (action->text() == Utf8(c.menuEntry))
                    chosen = action;
            }
            return chosen;
        });
        CDataEditDlg editor;
        editor.SetData(test_support::FromRows({{0, 0}, {0, 0}, {0, 0}}), test_support::Column({0, 0, 0}),
                       test_support::Column({1, 1, 1}));
        RunModal(editor, [&](CDataEditDlg& shown) {
            for (int i = 1; i <= 3; ++i) {
                for (int j = 1; j <= 2; ++j)
                    GridOf(shown, kDesign).SetCellText(i, j, QStringLiteral("%1/%2").arg(i).arg(j));
                GridOf(shown, kObservations).SetCellText(i, 1, QStringLiteral("%1o").arg(i));
                GridOf(shown, kObservations).SetCellText(i, 2, QStringLiteral("%1w").arg(i));
            }
            ClickTab(shown, c.page);
            CGridCtrl& grid = GridOf(shown, c.page);
            grid.SetCurrentCell({c.selection.minRow, c.selection.minColumn});
            grid.SelectRange(c.selection);
            if (c.key != Qt::Key_unknown) {
                Key(shown, c.key);
            } else {
                const QPoint at = grid.CellRect({c.selection.minRow, c.selection.minColumn}).center();
                QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.mapToGlobal(at));
                QApplication::sendEvent(&grid, &event);
            }
            EXPECT_EQ(GridOf(shown, kDesign).GetNumRows() - 1, c.rows) << c.name;
            EXPECT_EQ(GridOf(shown, kObservations).GetNumRows() - 1, c.rows) << c.name;
            EXPECT_EQ(GridOf(shown, kDesign).GetNumColumns() - 1, c.columns) << c.name;
            EXPECT_EQ(GridOf(shown, kObservations).GetNumColumns(), 3) << c.name;
            EXPECT_EQ(Texts(GridOf(shown, kDesign)).value(2), c.row2) << c.name;
            EXPECT_EQ(Texts(GridOf(shown, kObservations)).value(2), c.observationRow2) << c.name;
            if (c.columns == 3) {
                EXPECT_EQ(Texts(GridOf(shown, kDesign)).value(0), "Elemente|Spalte 1|Spalte 2|Spalte 3") << c.name;
            }
            if (c.rows == 5) {
                EXPECT_EQ(SelectedCells(grid).size(), 4u) << c.name;  // the two new rows
            }
            shown.QDialog::reject();
        });
        EXPECT_EQ(messages.messages, *c.message ? QStringList{Utf8(c.message)} : QStringList{}) << c.name;
        if (!menu.isEmpty()) {
            EXPECT_EQ(menu.contains(Utf8("Spalten einfügen")), c.page == kDesign) << c.name;
        }
    }
}

TEST(DataEditUndo, CountsStayWithinOneTo5000)
{
    test_support::MessageRecorder messages;
    RunNewEditor(4990, 1, [&](CDataEditDlg& shown) {
        EXPECT_FALSE(shown.InsertRows(1, 11));
        EXPECT_TRUE(shown.InsertRows(4991, 10));
        EXPECT_FALSE(shown.DeleteColumns(1, 1));
        EXPECT_FALSE(shown.InsertColumns(1, 5000));
        EXPECT_TRUE(shown.InsertColumns(2, 1));
        EXPECT_EQ(GridOf(shown, kObservations).GetNumRows(), 5001);
        EXPECT_EQ(GridOf(shown, kDesign).GetCellText(5000, 0), QStringLiteral("Zeile 5000"));
    });
    EXPECT_EQ(messages.messages.size(), 3);
}

} // namespace
