#include "grid/cell_store.h"

#include <algorithm>
#include <iterator>

// Whole rows and columns inserted and removed by the user, and put back by
// undo. The cells are moved, never copied, so that a line costs its own
// cells only.

namespace {

template <class T>
void InsertAt(std::vector<T>& into, int at, std::vector<T>&& values)
{
    into.insert(into.begin() + at, std::make_move_iterator(values.begin()), std::make_move_iterator(values.end()));
}

template <class T>
std::vector<T> TakeAt(std::vector<T>& from, int at, int count)
{
    std::vector<T> taken(std::make_move_iterator(from.begin() + at),
                         std::make_move_iterator(from.begin() + at + count));
    from.erase(from.begin() + at, from.begin() + at + count);
    return taken;
}

} // namespace

bool CCellStore::InsertLines(CellLines lines)
{
    const bool byRows = lines.orientation == Qt::Vertical;
    const int count = lines.Count();
    const int length = byRows ? GetNumColumns() : GetNumRows();
    const int fixed = Axis(lines.orientation).FixedCount();
    const auto wrongLength = [&](const std::vector<CCell>& line) { return int(line.size()) != length; };
    if (count == 0 || lines.at < fixed || lines.at > Axis(lines.orientation).Count() ||
        int(lines.sizes.size()) != count || std::any_of(lines.cells.begin(), lines.cells.end(), wrongLength))
        return false;
    lines.userSized.resize(std::size_t(count), 0);
    CellLines place;
    place.orientation = lines.orientation;
    place.at = lines.at;
    PutLines(std::move(lines));
    if (undo)
        undo->RecordLines(*this, true, std::move(place), count);
    return true;
}

bool CCellStore::RemoveLines(Qt::Orientation orientation, int at, int count)
{
    const GridAxis& axis = Axis(orientation);
    if (count <= 0 || at < axis.FixedCount() || at + count > axis.Count())
        return false;
    CellLines taken = TakeLines(orientation, at, count);
    if (undo)
        undo->RecordLines(*this, false, std::move(taken), count);
    return true;
}

void CCellStore::PutLines(CellLines&& lines)
{
    const bool byRows = lines.orientation == Qt::Vertical;
    const int at = lines.at;
    const int count = lines.Count();
    ClearSelection();
    kept.Clear();
    CellPos newFocus = focus;
    int& focusIndex = byRows ? newFocus.row : newFocus.column;
    if (IsValid(focus) && focusIndex >= at)
        focusIndex += count;
    SetFocusCell({});
    ShiftExtras(lines.orientation, at, count);
    for (std::vector<CCell>& line : lines.cells)
        for (CCell& cell : line)
            cell.state &= ~(CCell::kHasExtras | kCellFocused | kCellSelected | kCellDropTarget);
    if (byRows) {
        InsertAt(rows, at, std::move(lines.cells));
    } else {
        for (int row = 0; row < GetNumRows(); ++row) {
            std::vector<CCell> added;
            added.reserve(std::size_t(count));
            for (std::vector<CCell>& line : lines.cells)
                added.push_back(std::move(line[std::size_t(row)]));
            InsertAt(rows[row], at, std::move(added));
        }
    }
    AxisFor(lines.orientation).Insert(at, std::move(lines.sizes), std::move(lines.userSized));
    lines.cells.clear();
    Modified = true;
    SetFocusCell(newFocus);
    if (layoutChanged)
        layoutChanged();
}

CellLines CCellStore::TakeLines(Qt::Orientation orientation, int at, int count)
{
    const bool byRows = orientation == Qt::Vertical;
    CellLines lines;
    lines.orientation = orientation;
    lines.at = at;
    ClearSelection();
    kept.Clear();
    // The focus stays on its cell, or goes to the line that takes the place
    // of the removed ones (the last one when they were last).
    CellPos newFocus = focus;
    int& focusIndex = byRows ? newFocus.row : newFocus.column;
    const int left = Axis(orientation).Count() - count;
    if (IsValid(focus) && focusIndex >= at)
        focusIndex = focusIndex >= at + count ? focusIndex - count : std::min(at, left - 1);
    SetFocusCell({});
    if (!extras.empty())
        for (int k = at; k < at + count; ++k)
            for (int other = 0; other < (byRows ? GetNumColumns() : GetNumRows()); ++other)
                DropExtras(byRows ? k : other, byRows ? other : k);
    ShiftExtras(orientation, at + count, -count);
    if (byRows) {
        lines.cells = TakeAt(rows, at, count);
    } else {
        lines.cells.resize(std::size_t(count));
        for (std::vector<CCell>& line : lines.cells)
            line.reserve(std::size_t(GetNumRows()));
        for (int row = 0; row < GetNumRows(); ++row) {
            std::vector<CCell> taken = TakeAt(rows[row], at, count);
            for (int k = 0; k < count; ++k)
                lines.cells[std::size_t(k)].push_back(std::move(taken[std::size_t(k)]));
        }
    }
    AxisFor(orientation).Take(at, count, lines.sizes, lines.userSized);
    Modified = true;
    const bool focusLeft = IndexAlong(orientation, newFocus) >= Axis(orientation).FixedCount();
    SetFocusCell(focusLeft ? newFocus : CellPos{});
    if (layoutChanged)
        layoutChanged();
    return lines;
}

// The side table is keyed by position: lines from `from` on move by delta.
void CCellStore::ShiftExtras(Qt::Orientation orientation, int from, int delta)
{
    if (extras.empty())
        return;
    const bool byRows = orientation == Qt::Vertical;
    std::unordered_map<std::uint64_t, CellExtras> shifted;
    for (auto& [key, own] : extras) {
        int row = int(key >> 32);
        int column = int(key & 0xFFFFFFFFu);
        int& index = byRows ? row : column;
        if (index >= from)
            index += delta;
        shifted.emplace(Key(row, column), std::move(own));
    }
    extras = std::move(shifted);
}
