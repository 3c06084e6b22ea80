#include "editor/design_matrix_page.h"
#include "grid/grid_ctrl.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The design page filled with 10 x 10 values that vary over the grid:
// every text fits the area it is drawn in (headers in their semi-bold focus
// weight too). Saved as a picture when scripts/screenshot.sh asks.
TEST(GridLayout, FilledGridReadsLikeASpreadsheet)
{
    Matrix values(10, 10, 0.0);
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            values(i, j) = ((i + 1) * 37 + (j + 1) * 11) % 200 * 0.625 - 40.0;
    CDesignMatrixPage dialog;
    dialog.SetMatrix(values);
    dialog.InitPage();
    CGridCtrl* grid = dialog.Grid();
    ASSERT_NE(grid, nullptr);
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
