#pragma once

#include "grid/grid_ctrl.h"

#include <QApplication>
#include <QTest>

#include <tuple>
#include <vector>

namespace grid_test {

constexpr int kRowHeight = 20;
constexpr int kColumnWidth = 60;

// A shown grid with one fixed row and column, every row 20 and every
// column 60 pixels, value cells holding "r/c", headers read-only; it
// records the notifications it sends.
struct TestGrid {
    CGridCtrl grid;
    std::vector<std::tuple<int, int, int>> sent;  // code, row, column

    TestGrid(int rows, int columns, QSize size = {400, 300}) : grid(rows, columns, 1, 1)
    {
        grid.SetGridFont(QApplication::font());
        for (int row = 0; row < rows; ++row) {
            grid.ResizeRow(row, kRowHeight);
            for (int column = 0; column < columns; ++column) {
                grid.SetCellText(row, column, QStringLiteral("%1/%2").arg(row).arg(column));
                if (row == 0 || column == 0)
                    grid.SetCellState(row, column, kCellReadOnly);
            }
        }
        for (int column = 0; column < columns; ++column)
            grid.ResizeColumn(column, kColumnWidth);
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

} // namespace grid_test
