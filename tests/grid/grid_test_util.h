#pragma once

#include "grid/grid_ctrl.h"
#include "platform/dialog_builder.h"
#include "res/control_ids.h"
#include "res/text_styles.h"

#include <QApplication>
#include <QTest>

#include <tuple>
#include <vector>

namespace grid_test {

// Uneven sizes, neighbours always different, so that no test can take one
// row (column) for another: rows 18 to 28 pixels high, columns 52 to 74
// wide.
inline int RowHeight(int row)
{
    return 18 + row * 5 % 11;
}

inline int ColumnWidth(int column)
{
    return 52 + column * 13 % 23;
}

// The top of a row (left edge of a column): the sizes before it.
inline int RowTop(int row)
{
    int top = 0;
    for (int before = 0; before < row; ++before)
        top += RowHeight(before);
    return top;
}

inline int ColumnLeft(int column)
{
    int left = 0;
    for (int before = 0; before < column; ++before)
        left += ColumnWidth(before);
    return left;
}

// A shown grid with one fixed row and column, rows and columns of the
// uneven sizes above, value cells holding "r/c", headers read-only; it
// records the notifications it sends.
struct TestGrid {
    CGridCtrl grid;
    std::vector<std::tuple<int, int, int>> sent;  // code, row, column

    TestGrid(int rows, int columns, QSize size = {400, 300}) : grid(rows, columns, 1, 1)
    {
        grid.SetGridFont(QApplication::font());
        for (int row = 0; row < rows; ++row) {
            grid.ResizeRow(row, RowHeight(row));
            for (int column = 0; column < columns; ++column) {
                grid.SetCellText(row, column, QStringLiteral("%1/%2").arg(row).arg(column));
                if (row == 0 || column == 0)
                    grid.SetCellState(row, column, kCellReadOnly);
            }
        }
        for (int column = 0; column < columns; ++column)
            grid.ResizeColumn(column, ColumnWidth(column));
        QObject::connect(&grid, &CGridCtrl::Notify, [this](int code, int row, int column) {
            sent.emplace_back(code, row, column);
            return 0;
        });
        grid.resize(size);
        grid.show();
        grid.activateWindow();
        (void)QTest::qWaitForWindowActive(&grid);
    }

    QPoint Centre(CellPos cell) const { return grid.CellRect(cell).center(); }
    void Click(CellPos cell, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(&grid, Qt::LeftButton, modifiers, Centre(cell));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(&grid, key, modifiers); }
    QString Text(int row, int column) const { return grid.GetCellText(row, column); }
};

// A page whose template holds the grid as custom control
// res::data_page::kGrid (and a label, id 7), bound as the data editor binds
// it.
struct BoundPage {
    QWidget page;
    CGridCtrl* grid = nullptr;

    BoundPage()
    {
        static const res::DialogTemplate layout{4720, "", res::kDialogChild, 260, 119, "MS Sans Serif", 8,
                                                {{res::data_page::kGrid, res::ControlKind::Custom, "", 3, 6, 253,
                                                  110, res::kStyleTabStop, 0, CGridCtrl::kWindowClass},
                                                 {7, res::ControlKind::Label, "x", 3, 0, 10, 5, res::kStyleNone}}};
        platform::BuildDialog(page, layout);
        grid = CGridCtrl::BindToDialogControl(&page, res::data_page::kGrid);
    }
};

// rows x columns with one fixed row and column, headers "r/c", values
// "%lf" numbers that vary over the grid, sized to the contents.
inline void FillWithNumbers(CGridCtrl& grid, int rows, int columns)
{
    grid.SetNumRows(rows);
    grid.SetNumColumns(columns);
    grid.SetNumFixedRows(1);
    grid.SetNumFixedColumns(1);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            const double value = (row * 37 + column * 11) % 200 * 0.625 - 40.0;
            grid.SetCellText(row, column, row == 0 || column == 0 ? QStringLiteral("%1/%2").arg(row).arg(column)
                                                                  : QString::asprintf("%lf", value));
        }
    grid.FitAll();
}

} // namespace grid_test
