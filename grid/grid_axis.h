#pragma once

#include "grid/grid_item.h"

#include <Qt>

#include <vector>

// One direction of the grid, rows (Qt::Vertical) or columns
// (Qt::Horizontal): the count, the fixed count at its start, each entry's
// size in pixels and the offsets that follow from them. Sizes are heights
// for rows and widths for columns; an offset counts from entry 0's leading
// edge (top or left).
class GridAxis {
public:
    int DefaultSize = 0;

    int Count() const { return count; }
    int FixedCount() const { return fixed; }
    // New entries get DefaultSize; the fixed count follows a smaller count.
    void SetCount(int newCount);
    void SetFixedCount(int newFixed);

    // 0 outside the axis.
    int Size(int index) const { return index >= 0 && index < count ? sizes[index] : 0; }
    // Whether the user gave the entry its size; nothing outside the axis.
    void MarkUserSized(int index);
    bool IsUserSized(int index) const { return index >= 0 && index < count && userSized[index]; }
    // Entries put in before at with their sizes and user-sized marks, or
    // taken out from at (the removed sizes and marks returned in place).
    void Insert(int at, std::vector<int>&& newSizes, std::vector<char>&& newUserSized);
    void Take(int at, int taken, std::vector<int>& oldSizes, std::vector<char>& oldUserSized);
    // False for an index outside the axis or a negative size.
    bool SetSize(int index, int size);

    // The leading edge of index; the count gives the total.
    int Start(int index) const;
    int FixedSize() const { return Start(fixed); }
    int Total() const { return Start(count); }
    // The entry that holds the offset, or -1 beyond the last one.
    int IndexAt(int offset) const;
    // The first non-fixed entry whose leading edge is not scrolled away at
    // scroll position scroll; the last entry when all are.
    int FirstShown(int scroll) const;

private:
    void UpdateStarts() const;

    int count = 0;
    int fixed = 0;
    std::vector<int> sizes;
    std::vector<char> userSized;  // as many as sizes
    mutable std::vector<int> starts;  // count + 1 entries while valid
    mutable bool startsValid = false;
};

// The coordinate of a point and the index of a cell along an orientation:
// y and row for Qt::Vertical, x and column for Qt::Horizontal.
inline int Along(Qt::Orientation orientation, int x, int y)
{
    return orientation == Qt::Vertical ? y : x;
}

inline int IndexAlong(Qt::Orientation orientation, CellPos cell)
{
    return Along(orientation, cell.column, cell.row);
}

inline Qt::Orientation Across(Qt::Orientation orientation)
{
    return orientation == Qt::Vertical ? Qt::Horizontal : Qt::Vertical;
}
