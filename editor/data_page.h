#pragma once

#include "core/matrix.h"
#include "grid/grid_item.h"
#include "platform/size_change.h"
#include "res/control_ids.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

struct CellLines;

class CGridCtrl;

// A value cell that OK cannot take, and the message (string id) that says
// why.
struct RefusedCell {
    CellPos cell;
    int stringId = 0;
};
using RefusedCells = std::vector<RefusedCell>;

// What the two pages of the data editor share: a child dialog whose
// template holds one grid (control kGrid) with one header row and one header
// column ("Elemente", the column titles, "Zeile %d"), the grid's settings,
// filling it with numbers and reading them back, and a grid that grows and
// shrinks with the page.
class CDataPage : public QWidget {
    Q_OBJECT

public:
    using ControlId = res::data_page::ControlId;
    using enum ControlId;

    CGridCtrl* Grid() const { return GridCtrl; }

    // False until the editor hands data to the page (SetMatrix, SetMatrices).
    bool EditMode = false;

    // When the editor creates the page: records its size, applies the grid
    // settings and fills the grid.
    void InitPage();
    // The page as its tab shows it: the first value cell becomes the focus
    // cell unless the grid has one, and the grid takes the keyboard focus,
    // so that typing goes into the cell at once.
    void Activate();
    // Makes cell the focus cell, scrolled into view, with the keyboard focus.
    void FocusCell(CellPos cell);
    // Selects every refused cell (and nothing else) and focuses the first.
    void ShowRefusedCells(const RefusedCells& refused);
    // The refused cell's message: page title, row header, column header.
    QString RefusalText(const RefusedCell& refused, const QString& pageTitle) const;

    // count new rows (Qt::Vertical) or columns to go in before line at: new
    // values as in create mode, the headers empty until Renumber.
    CellLines NewLines(Qt::Orientation orientation, int at, int count) const;
    // The row and column headers after lines came or went.
    void Renumber();

protected:
    CDataPage(int templateId, QWidget* parent);

    virtual void FillGrid() = 0;
    // The title of value column j (from 1).
    virtual QString ColumnTitle(int j) const = 0;
    // What a new cell of value column j (from 1) holds.
    virtual double NewValue(int /*j*/) const { return 0.0; }
    // n rows of values under the column titles; each value cell (i + 1, j + 1)
    // shows value(i, j) as "%lf", or in the shortest exact form when "%lf"
    // would change the number.
    void FillCells(int rowCount, const QStringList& columnTitles, const std::function<double(int i, int j)>& value);
    // A header with a number: "Zeile %s" with 3 gives "Zeile 3".
    static QString NumberedTitle(const QString& title, int number);
    // Every value cell into values (rows - 1 x columns - 1) by the whole-text
    // rule (blanks around a number allowed, "." as decimal point). False
    // with every cell, row by row, that holds no number (or one out of
    // range), or whose value check (a string id, 0 for none) refuses it.
    bool ReadValues(Matrix& values, RefusedCells& refused,
                    const std::function<int(int j, double value)>& check = {}) const;

    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyGridSettings();
    void FollowSize(int dx, int dy);

    CGridCtrl* GridCtrl = nullptr;
    platform::SizeChange ClientSize;  // recorded first by InitPage
};
