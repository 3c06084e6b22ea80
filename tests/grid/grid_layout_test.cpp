#include "grid_test_util.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Every text fits the area it is drawn in (headers in their semi-bold
// focus weight too). Saved as a picture when scripts/screenshot.sh asks.
TEST(GridLayout, FilledGridReadsLikeASpreadsheet)
{
    grid_test::BoundPage bound;
    QWidget& dialog = bound.page;
    CGridCtrl* grid = bound.grid;
    ASSERT_NE(grid, nullptr);
    grid->AllowDragAndDrop(true);
    grid->SetTextBackground(Qt::white);
    grid_test::FillLikeTheDesignPage(*grid, 11, 11);
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
