#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <algorithm>

// The small records the grid control and its helpers share: a cell's
// position, a range of cells, the state flags, and the item record that
// reads or writes several attributes of one cell at once (also the payload
// of the in-place editor's end-of-edit notification).

// Row and column, 0-based; (-1, -1) is the invalid position.
struct CellPos {
    int row = -1;
    int column = -1;

    bool operator==(const CellPos&) const = default;
};

// Minimum and maximum row and column, inclusive.
struct CellBlock {
    int minRow = -1;
    int minColumn = -1;
    int maxRow = -1;
    int maxColumn = -1;

    bool operator==(const CellBlock&) const = default;
    // Grows the block to hold cell; an unset block becomes the cell alone.
    void Enclose(CellPos cell)
    {
        if (minRow < 0) {
            *this = {cell.row, cell.column, cell.row, cell.column};
            return;
        }
        minRow = std::min(minRow, cell.row);
        minColumn = std::min(minColumn, cell.column);
        maxRow = std::max(maxRow, cell.row);
        maxColumn = std::max(maxColumn, cell.column);
    }
};

// Cell state flags.
enum CellState : unsigned {
    kCellFocused = 0x01,
    kCellSelected = 0x02,
    kCellDropTarget = 0x04,  // highlighted while text is dragged over it
    kCellReadOnly = 0x08,    // editing, Delete and paste refuse the cell
    kCellModified = 0x20,    // editing, Delete or paste changed the cell
};

// Which attributes of a GridItem are meant.
enum GridItemMask : unsigned {
    kItemText = 0x01,
    kItemImage = 0x02,
    kItemParameter = 0x04,
    kItemState = 0x08,
    kItemBackground = 0x10,
    kItemForeground = 0x20,
    kItemFormat = 0x40,
    kItemFont = 0x80,
};

// Notification codes the grid sends to its parent, and the one the in-place
// editor sends to the grid when editing ends.
enum GridNotification : int {
    kNotifyFocusChanging = -100,  // carries the old focus cell
    kNotifyFocusChanged = -101,   // carries the new focus cell
    kNotifyCellChanging = -105,   // editing, Delete, cut or paste is about to change a cell
    kNotifyCellChanged = -106,    // ... has changed it; also the editor's end of edit
    kNotifyDragStarting = -109,   // carries the top-left cell of the selected range
};

// An invalid QColor stands for CLR_DEFAULT: the grid's colour for this kind
// of cell.
struct GridItem {
    int row = -1;
    int column = -1;
    unsigned mask = 0;
    unsigned state = 0;
    unsigned format = 0;  // DrawText flags (res/text_styles.h)
    QString text;
    int image = -1;       // -1: no image
    QColor background;
    QColor foreground;
    unsigned parameter = 0;
    QFont font;
};
