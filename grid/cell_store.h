#pragma once

#include "grid/cell.h"
#include "grid/grid_axis.h"
#include "grid/grid_item.h"
#include "grid/undo_stack.h"

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
    // Lines came or went by undo or by the user: the view lays itself out
    // again.
    std::function<void()> layoutChanged;
    // Hears every change by the user, for undo; none: nobody undoes.
    CUndoStack* undo = nullptr;

    CCellStore()
    {
        rowAxis.DefaultSize = 10;
        columnAxis.DefaultSize = 30;
    }
    CCellStore(const CCellStore&) = delete;
    CCellStore& operator=(const CCellStore&) = delete;

    // Counts. Shrinking resets and removes the cells beyond the new count
    // and invalidates a focus cell among them; the fixed counts follow a
    // smaller count. Growing gives new rows (columns) the default height
    // (width). Negative counts are refused.
    bool SetCount(Qt::Orientation orientation, int count);
    bool SetNumRows(int rows) { return SetCount(Qt::Vertical, rows); }
    bool SetNumColumns(int columns) { return SetCount(Qt::Horizontal, columns); }
    // Raises the count to at least fixed; a focus cell inside the fixed
    // rows (columns) becomes invalid.
    bool SetFixedCount(Qt::Orientation orientation, int fixed);
    bool SetNumFixedRows(int fixed) { return SetFixedCount(Qt::Vertical, fixed); }
    bool SetNumFixedColumns(int fixed) { return SetFixedCount(Qt::Horizontal, fixed); }
    int GetNumRows() const { return rowAxis.Count(); }
    int GetNumColumns() const { return columnAxis.Count(); }
    int GetNumFixedRows() const { return rowAxis.FixedCount(); }
    int GetNumFixedColumns() const { return columnAxis.FixedCount(); }
    // The rows (Qt::Vertical) or the columns (Qt::Horizontal).
    const GridAxis& Axis(Qt::Orientation orientation) const
    {
        return orientation == Qt::Vertical ? rowAxis : columnAxis;
    }

    bool IsValid(CellPos cell) const
    {
        return cell.row >= 0 && cell.row < GetNumRows() && cell.column >= 0 && cell.column < GetNumColumns();
    }
    bool IsValid(const CellBlock& block) const;
    bool IsFixed(CellPos cell) const { return cell.row < GetNumFixedRows() || cell.column < GetNumFixedColumns(); }
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

    // Sizes in pixels: the default for new rows (columns), and each one's.
    void SetDefaultSize(Qt::Orientation orientation, int size) { AxisFor(orientation).DefaultSize = size; }
    int DefaultRowHeight() const { return rowAxis.DefaultSize; }
    int DefaultColumnWidth() const { return columnAxis.DefaultSize; }
    bool SetSize(Qt::Orientation orientation, int index, int size) { return AxisFor(orientation).SetSize(index, size); }
    int GetRowHeight(int row) const { return rowAxis.Size(row); }
    int GetColumnWidth(int column) const { return columnAxis.Size(column); }
    bool SetRowHeight(int row, int height) { return rowAxis.SetSize(row, height); }
    bool SetColumnWidth(int column, int width) { return columnAxis.SetSize(column, width); }
    // The user gave the column its width (by its divider): fitting to
    // changed texts leaves it alone.
    void MarkColumnUserSized(int column) { columnAxis.MarkUserSized(column); }
    bool IsColumnUserSized(int column) const { return columnAxis.IsUserSized(column); }
    // Distance of the row's top (column's left edge) from row (column) 0;
    // a count gives the total.
    int RowTop(int row) const { return rowAxis.Start(row); }
    int ColumnLeft(int column) const { return columnAxis.Start(column); }
    int FixedRowHeight() const { return rowAxis.FixedSize(); }
    int FixedColumnWidth() const { return columnAxis.FixedSize(); }
    // The row (column) that holds the offset from row (column) 0's top, or
    // -1 beyond the last one.
    int RowAtOffset(int y) const { return rowAxis.IndexAt(y); }
    int ColumnAtOffset(int x) const { return columnAxis.IndexAt(x); }

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
    // Selects exactly the cells of these blocks.
    void SelectBlocks(const std::vector<CellBlock>& blocks);
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
    // that cell exists and is editable. False when the target is not
    // editable.
    bool PasteText(CellPos target, const QString& text);
    // Resets every selected editable cell (cut).
    void ClearSelectedCells();
    // Empties an editable cell's text (Delete).
    bool ClearCellText(CellPos cell);
    // Empties every selected editable cell's text (Delete on a selection).
    void ClearSelectedTexts();
    // The text an in-place edit ended with, stored as the user's change.
    void StoreEditedText(CellPos cell, const QString& text);
    // Bounds of the cells whose text the user (or undo) changed since the
    // last call; invalid when none.
    CellBlock TakeChangedBounds();

    // Pasted text as lines of values. Text with a Tab comes from a
    // spreadsheet: split at Tab and line feed only, and a comma between
    // digits is the decimal point ("-1.234,5" is -1234.5). Other text is
    // split at Tab, comma and line feed. Lines split at line feeds (an empty
    // line is one blank); runs of separators count as one; values trimmed.
    static std::vector<QStringList> SplitPastedText(const QString& text);
    // Value k of line j goes to (target row + j, target column + k) where
    // that cell exists and is editable. The number of values that had no
    // cell, or -1 when the target is not editable.
    int PasteValues(CellPos target, const std::vector<QStringList>& values);

    // Lines by the user: inserted before lines.at (each as long as the
    // store is wide or high), or count lines removed from at (not below the
    // fixed ones). Recorded for undo; the focus cell stays on its cell or
    // moves to the nearest line that is left. False when out of range.
    bool InsertLines(CellLines lines);
    bool RemoveLines(Qt::Orientation orientation, int at, int count);
    // The same unrecorded, for undo: lines put in, or taken out and
    // returned.
    void PutLines(CellLines&& lines);
    CellLines TakeLines(Qt::Orientation orientation, int at, int count);
    // A text put back by undo or redo.
    void RestoreText(CellPos cell, const CellText& text);

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
    // Every selected editable cell.
    template <class Change>
    void ChangeSelectedByUser(Change&& change);
    void RecordText(CellPos cell, const CellText& before);
    void MoveFocusAfterLines(Qt::Orientation orientation, int at, int count, bool inserted);
    void ShiftExtras(Qt::Orientation orientation, int at, int delta);
    // State 0 and empty text.
    static void ResetCell(CCell& cell);
    static std::uint64_t Key(int row, int column)
    {
        return (std::uint64_t(std::uint32_t(row)) << 32) | std::uint32_t(column);
    }
    GridAxis& AxisFor(Qt::Orientation orientation) { return orientation == Qt::Vertical ? rowAxis : columnAxis; }
    void AddRows(int count);
    void AddColumns(int count);

    GridAxis rowAxis;
    GridAxis columnAxis;
    std::vector<std::vector<CCell>> rows;
    std::unordered_map<std::uint64_t, CellExtras> extras;
    CellBlock changedBounds;
    CellPos focus;
    SelectionSet selected;
    SelectionSet kept;
};
