#pragma once

// The data editor's design page as the grid tests and the grid benchmark
// fill it, without the page itself.

#include "grid/grid_ctrl.h"
#include "res/text_styles.h"

namespace grid_test {

// Fills a grid as the data editor fills its design page: header row
// "Elemente", "Spalte j" (word-wrapped) and column "Zeile i", read-only,
// centred values value(row, column) as QString, everything sized to its
// contents.
template <class Value>
void FillLikeTheDesignPage(CGridCtrl& grid, int rows, int columns, Value&& value)
{
    grid.SetNumRows(rows);
    grid.SetNumColumns(columns);
    grid.SetNumFixedRows(1);
    grid.SetNumFixedColumns(1);
    GridItem item;
    item.mask = kItemText | kItemFormat;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            item.row = row;
            item.column = column;
            item.format = row == 0 ? res::DT_WORDBREAK : res::DT_CENTER;
            if (row == 0)
                item.text = column == 0 ? QStringLiteral("Elemente") : QStringLiteral("Spalte %1").arg(column);
            else if (column == 0)
                item.text = QStringLiteral("Zeile %1").arg(row);
            else
                item.text = value(row, column);
            grid.WriteCell(item);
            if (row == 0 || column == 0)
                grid.SetCellState(row, column, kCellReadOnly);
        }
    grid.FitAll();
}

} // namespace grid_test
