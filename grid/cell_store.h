#pragma once

#include "grid/cell.h"
#include "grid/grid_item.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

// A set of cells kept as the ranges that were selected. It is a superset of
// the cells whose selected flag is on (a paste may clear single flags), so
// whoever walks it checks the flag; clearing a selection visits only the
// cells in it, never the whole grid.
class SelectionSet {
public:
    void Add(const CellBlock& block) { blocks.push_back(block); }
    void Clear() { blocks.clear(); }
    bool Empty() const { return blocks.empty(); }
    bool Contains(int row, int column) const;
    const std::vector<CellBlock>& Blocks() const { return blocks; }
    // Drops what lies beyond the given counts.
    void ClipTo(int rows, int columns);

private:
    std::vector<CellBlock> blocks;
};

// The grid's data without a window: the cells, the counts and fixed counts,
// row heights and column widths, the focus cell, the selection with the
// selection kept from before a Ctrl-click, and the clipboard text in both
// directions. CGridCtrl draws and drives it; tests drive it directly.
//
// Rows and columns are 0-based; a position out of range makes an operation
// do nothing and report false, 0 or an empty text.
class CCellStore {
public:
    // Sends a notification (grid_item.h codes) about a cell and returns the
    // receiver's result; empty: nobody listens.
    std::function<int(int code, CellPos cell)> notify;
    // A cell's look changed (text, state): the view repaints it.
    std::function<void(CellPos cell)> cellChanged;

    CCellStore() = default;
    CCellStore(const CCellStore&) = delete;
    CCellStore& operator=(const CCellStore&) = delete;

    // Counts. Shrinking resets and removes the cells beyond the new count
    // and invalidates a focus cell among them; the fixed counts follow a
    // smaller count. Growing gives new rows (columns) the default height
    // (width). Negative counts are refused.
    bool SetNumRows(int rows);
    bool SetNumColumns(int columns);
    // Raises the count to at least fixed; a focus cell inside the fixed
    // rows (columns) becomes invalid.
    bool SetNumFixedRows(int fixed);
    bool SetNumFixedColumns(int fixed);
    int GetNumRows() const { return numRows; }
    int GetNumColumns() const { return numColumns; }
    int GetNumFixedRows() const { return numFixedRows; }
    int GetNumFixedColumns() const { return numFixedColumns; }

    bool IsValid(CellPos cell) const
    {
        return cell.row >= 0 && cell.row < numRows && cell.column >= 0 && cell.column < numColumns;
    }
    bool IsValid(const CellBlock& block) const;
    bool IsFixed(CellPos cell) const { return cell.row < numFixedRows || cell.column < numFixedColumns; }
    // The non-fixed area, invalid when it is empty.
    CellBlock NonFixedBlock() const;

    // Cells.
    CCell* Cell(int row, int column);
    const CCell* Cell(int row, int column) const;
    const CellExtras* Extras(int row, int column) const;
    bool WriteCell(const GridItem& item);
    bool ReadCell(GridItem& item) const;
    bool SetCellText(int row, int column, const QString& text);
    QString GetCellText(int row, int column) const;
    bool SetCellState(int row, int column, unsigned state);
    unsigned GetCellState(int row, int column) const;
    unsigned GetCellFormat(int row, int column) const;
    bool SetCellFont(int row, int column, const QFont& font);
    // Every cell takes the grid's font again.
    void ClearCellFonts();

    // Sizes in pixels.
    int DefaultRowHeight = 10;
    int DefaultColumnWidth = 30;
    int GetRowHeight(int row) const;
    int GetColumnWidth(int column) const;
    bool SetRowHeight(int row, int height);
    bool SetColumnWidth(int column, int width);
    // Distance of the row's top (column's left edge) from row (column) 0;
    // a count gives the total.
    int RowTop(int row) const;
    int ColumnLeft(int column) const;
    int FixedRowHeight() const { return RowTop(numFixedRows); }
    int FixedColumnWidth() const { return ColumnLeft(numFixedColumns); }
    // The row (column) that holds the offset from row (column) 0's top, or
    // -1 beyond the last one.
    int RowAtOffset(int y) const;
    int ColumnAtOffset(int x) const;

    // Focus cell: its flag goes with it. Notifications are the caller's.
    CellPos FocusCell() const { return focus; }
    void SetFocusCell(CellPos cell);

    // Attributes that decide what the user may change.
    bool Editable = true;
    bool SelectionEnabled = true;
    bool Modified = false;
    bool CanEditCell(CellPos cell) const;
    // Sets the cell's modified flag and the store's.
    void MarkModified(CellPos cell);

    // Selection. SelectRange selects the range and deselects every other
    // cell but those of the previous selection (kept by a Ctrl-click).
    void SelectRange(const CellBlock& range);
    void ClearSelection();
    // Copies the current selection into the previous selection (Ctrl held).
    void KeepSelection();
    void ForgetKeptSelection() { kept.Clear(); }
    bool IsSelected(int row, int column) const;
    // Bounding range of the selected cells; invalid when none is selected.
    CellBlock GetSelectionBounds() const;

    // Clipboard text of the selection: its bounding range row by row, a
    // selected cell's text (one blank for an empty one), nothing for an
    // unselected cell, Tab between cells, line feed between rows. Empty
    // without a selection.
    QString SelectionText() const;
    // Pastes text at target: lines at line feeds (an empty line is one
    // blank), tokens at Tab, comma and line feed (runs count as one); token
    // k of line j goes trimmed to (target row + j, target column + k) where
    // that cell exists. False when the target is not editable.
    bool PasteText(CellPos target, const QString& text);
    // Resets every selected editable cell (cut).
    void ClearSelectedCells();
    // Empties an editable cell's text (Delete).
    bool ClearCellText(CellPos cell);

private:
    int Notify(int code, CellPos cell) const { return notify ? notify(code, cell) : 0; }
    void Changed(CellPos cell) const
    {
        if (cellChanged)
            cellChanged(cell);
    }
    CellExtras& ExtrasFor(int row, int column);
    void DropExtras(int row, int column);
    void RemoveRows(int from);
    void RemoveColumns(int from);
    void SetSelectedFlag(int row, int column, bool on);
    // A change by the user (editing, Delete, cut, paste): the owner hears
    // before and after, and the cell counts as modified.
    template <class Change>
    void ChangeByUser(CellPos cell, Change&& change);
    void ChangeTextByUser(CellPos cell, const QString& text);
    // State 0 and empty text.
    static void ResetCell(CCell& cell);
    static std::uint64_t Key(int row, int column)
    {
        return (std::uint64_t(std::uint32_t(row)) << 32) | std::uint32_t(column);
    }
    void Invalidate() { topsValid = false; }
    void UpdateTops() const;

    // The sizes of rowHeights and columnWidths, kept apart: every cell
    // lookup checks them, and filling a grid measures the difference.
    int numRows = 0;
    int numColumns = 0;
    int numFixedRows = 0;
    int numFixedColumns = 0;
    std::vector<std::vector<CCell>> rows;
    std::unordered_map<std::uint64_t, CellExtras> extras;
    std::vector<int> rowHeights;
    std::vector<int> columnWidths;
    mutable std::vector<int> rowTops;      // numRows + 1 entries while valid
    mutable std::vector<int> columnLefts;  // numColumns + 1
    mutable bool topsValid = false;
    CellPos focus;
    SelectionSet selected;
    SelectionSet kept;
};
