#include "grid/cell_editor.h"
#include "grid/grid_ctrl.h"
#include "platform/dialog_builder.h"
#include "res/control_ids.h"
#include "res/text_styles.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A grid filled as the data editor fills its design page: a header row
// "Spalte j" and column "Zeile i" (read-only, row 0 word-wrapped), centred
// "%lf" values, everything sized to its contents.
void FillLikeTheDesignPage(CGridCtrl& grid, int rows, int columns)
{
    grid.SetEditable(true);
    grid.AllowDragAndDrop(true);
    grid.SetListMode(false);
    grid.SetTextBackground(Qt::white);
    grid.SetNumRows(rows);
    grid.SetNumColumns(columns);
    grid.SetNumFixedRows(1);
    grid.SetNumFixedColumns(1);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            GridItem item;
            item.row = row;
            item.column = column;
            item.mask = kItemText | kItemFormat;
            item.format = row == 0 ? res::DT_WORDBREAK : res::DT_CENTER;
            if (row == 0 && column == 0)
                item.text = QStringLiteral("Elemente");
            else if (row == 0)
                item.text = QStringLiteral("Spalte %1").arg(column);
            else if (column == 0)
                item.text = QStringLiteral("Zeile %1").arg(row);
            else
                item.text = QString::asprintf("%lf", (row * 37 + column * 11) % 200 * 0.625 - 40.0);
            grid.WriteCell(item);
            if (row == 0 || column == 0)
                grid.SetCellState(row, column, kCellReadOnly);
        }
    grid.FitAll();
}

// Every text fits the area it is drawn in (headers in their semi-bold
// focus weight too). Saved as a picture when scripts/screenshot.sh asks.
TEST(GridLayout, FilledGridReadsLikeASpreadsheet)
{
    const res::DialogTemplate page{4730, "", res::kDialogChild, 260, 119, "MS Sans Serif", 8,
                                   {{res::data_page::kGrid, res::ControlKind::Custom, "", 3, 6, 253, 110,
                                     res::kStyleTabStop, 0, CGridCtrl::kWindowClass}}};
    QWidget dialog;
    platform::BuildDialog(dialog, page);
    CGridCtrl* grid = CGridCtrl::BindToDialogControl(&dialog, res::data_page::kGrid);
    ASSERT_NE(grid, nullptr);
    FillLikeTheDesignPage(*grid, 11, 11);
    QFont bold = grid->font();
    bold.setWeight(QFont::DemiBold);
    const QFontMetrics normal(grid->font());
    const QFontMetrics semiBold(bold);
    for (int row = 0; row < grid->GetNumRows(); ++row)
        for (int column = 0; column < grid->GetNumColumns(); ++column) {
            const bool fixed = row == 0 || column == 0;
            const int drawn = (fixed ? semiBold : normal).horizontalAdvance(grid->GetCellText(row, column));
            const int area = grid->GetColumnWidth(column) - 2 - 2 * grid->Margin();
            EXPECT_LE(drawn, area) << row << "," << column;
        }

    const QString directory = qEnvironmentVariable("TOLVAR_SCREENSHOT_DIR");
    if (directory.isEmpty())
        return;
    grid->resize(640, 250);
    dialog.setFixedSize(grid->geometry().right() + grid->x() + 1, grid->geometry().bottom() + grid->y() + 1);
    dialog.show();
    dialog.activateWindow();
    (void)QTest::qWaitForWindowActive(&dialog);
    grid->SelectRange({3, 2, 5, 4});
    grid->SetCurrentCell({5, 4});
    QTest::qWait(100);
    dialog.grab().save(QDir(directory).filePath(QStringLiteral("data_grid.png")));
    grid->SetCurrentCell({7, 3});
    grid->StartEdit(7, 3, '7');
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5.25"));
    QTest::qWait(100);
    dialog.grab().save(QDir(directory).filePath(QStringLiteral("data_grid_edit.png")));
}

} // namespace
