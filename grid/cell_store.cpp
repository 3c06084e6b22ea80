#include "grid/cell_store.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace {

bool BlockContains(const CellBlock& block, int row, int column)
{
    return row >= block.minRow && row <= block.maxRow && column >= block.minColumn && column <= block.maxColumn;
}

// Calls visit(row, column) for every cell of the block.
template <class Visit>
void ForEachCell(const CellBlock& block, Visit&& visit)
{
    for (int row = block.minRow; row <= block.maxRow; ++row)
        for (int column = block.minColumn; column <= block.maxColumn; ++column)
            visit(row, column);
}

// A line of pasted text split at Tab, line feed and (unless it comes from
// a spreadsheet) comma; runs of separators count as one and empty fields
// disappear.
QStringList PasteTokens(const QString& line, bool spreadsheet)
{
    QStringList tokens;
    QString token;
    for (QChar c : line) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || (!spreadsheet && c == QLatin1Char(','))) {
            if (!token.isEmpty())
                tokens << token;
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.isEmpty())
        tokens << token;
    return tokens;
}

// The lines of pasted text: split at line feeds; an empty line followed by
// a line feed is one blank, the empty rest after the last line feed is none.
QStringList PasteLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.back().isEmpty())
        lines.removeLast();
    for (int i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].isEmpty())
            lines[i] = QStringLiteral(" ");
    return lines;
}

bool IsDigit(const QString& text, qsizetype i)
{
    return i >= 0 && i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
}

// A German spreadsheet's number: one comma between digits is the decimal
// point, and points between digits before it separate thousands
// ("-1.234,5" -> "-1234.5"). Anything else stays as it is.
QString DecimalCommaAsPoint(const QString& token)
{
    const qsizetype comma = token.indexOf(QLatin1Char(','));
    if (comma < 0 || token.indexOf(QLatin1Char(','), comma + 1) >= 0 || !IsDigit(token, comma - 1) ||
        !IsDigit(token, comma + 1))
        return token;
    QString number;
    for (qsizetype i = 0; i < comma; ++i)
        if (token[i] != QLatin1Char('.') || !IsDigit(token, i - 1) || !IsDigit(token, i + 1))
            number += token[i];
    return number + QLatin1Char('.') + token.mid(comma + 1);
}

} // namespace

bool SelectionSet::Contains(int row, int column) const
{
    return std::any_of(blocks.begin(), blocks.end(),
                       [&](const CellBlock& block) { return BlockContains(block, row, column); });
}

void SelectionSet::ClipTo(int rows, int columns)
{
    std::vector<CellBlock> kept;
    for (CellBlock block : blocks) {
        block.maxRow = std::min(block.maxRow, rows - 1);
        block.maxColumn = std::min(block.maxColumn, columns - 1);
        if (block.minRow <= block.maxRow && block.minColumn <= block.maxColumn)
            kept.push_back(block);
    }
    blocks = std::move(kept);
}

// --- counts ---------------------------------------------------------------

bool CCellStore::SetCount(Qt::Orientation orientation, int count)
{
    const GridAxis& axis = Axis(orientation);
    if (count < 0)
        return false;
    if (count == axis.Count())
        return true;
    if (IndexAlong(orientation, focus) >= count)
        focus = {};
    const bool rowsChange = orientation == Qt::Vertical;
    if (count < axis.Count())
        rowsChange ? RemoveRows(count) : RemoveColumns(count);
    else
        rowsChange ? AddRows(count) : AddColumns(count);
    AxisFor(orientation).SetCount(count);
    return true;
}

// New cells take the format of the new cell above.
void CCellStore::AddRows(int count)
{
    rows.resize(count);
    for (int row = GetNumRows(); row < count; ++row) {
        rows[row].resize(GetNumColumns());
        if (row > 0)
            for (int column = 0; column < GetNumColumns(); ++column)
                rows[row][column].format = rows[row - 1][column].format;
    }
}

// The new cell above is new too: format 0 all the way.
void CCellStore::AddColumns(int count)
{
    for (std::vector<CCell>& cellsOfRow : rows)
        cellsOfRow.resize(count);
}

void CCellStore::RemoveRows(int from)
{
    if (!extras.empty())
        for (int row = from; row < GetNumRows(); ++row)
            for (int column = 0; column < GetNumColumns(); ++column)
                DropExtras(row, column);
    rows.resize(from);
    rows.shrink_to_fit();
    selected.ClipTo(from, GetNumColumns());
    kept.ClipTo(from, GetNumColumns());
}

void CCellStore::RemoveColumns(int from)
{
    for (int row = 0; row < GetNumRows(); ++row) {
        if (!extras.empty())
            for (int column = from; column < GetNumColumns(); ++column)
                DropExtras(row, column);
        rows[row].resize(from);
        rows[row].shrink_to_fit();
    }
    selected.ClipTo(GetNumRows(), from);
    kept.ClipTo(GetNumRows(), from);
}

bool CCellStore::SetFixedCount(Qt::Orientation orientation, int fixed)
{
    if (fixed < 0)
        return false;
    if (fixed > Axis(orientation).Count())
        SetCount(orientation, fixed);
    const int focusIndex = IndexAlong(orientation, focus);
    if (focusIndex >= 0 && focusIndex < fixed)
        SetFocusCell({});
    AxisFor(orientation).SetFixedCount(fixed);
    return true;
}

bool CCellStore::IsValid(const CellBlock& block) const
{
    return IsValid(CellPos{block.minRow, block.minColumn}) && IsValid(CellPos{block.maxRow, block.maxColumn}) &&
           block.minRow <= block.maxRow && block.minColumn <= block.maxColumn;
}

CellBlock CCellStore::NonFixedBlock() const
{
    if (GetNumRows() <= GetNumFixedRows() || GetNumColumns() <= GetNumFixedColumns())
        return {};
    return {GetNumFixedRows(), GetNumFixedColumns(), GetNumRows() - 1, GetNumColumns() - 1};
}

// --- cells ----------------------------------------------------------------

CCell* CCellStore::Cell(int row, int column)
{
    return const_cast<CCell*>(std::as_const(*this).Cell(row, column));
}

// The cells' own vectors bound the lookup, which so reads nothing beside
// them (filling a grid measures the difference).
const CCell* CCellStore::Cell(int row, int column) const
{
    if (row < 0 || std::size_t(row) >= rows.size())
        return nullptr;
    const std::vector<CCell>& cellsOfRow = rows[std::size_t(row)];
    return column >= 0 && std::size_t(column) < cellsOfRow.size() ? &cellsOfRow[std::size_t(column)] : nullptr;
}

const CellExtras* CCellStore::Extras(int row, int column) const
{
    const CCell* cell = Cell(row, column);
    if (!cell || !(cell->state & CCell::kHasExtras))
        return nullptr;
    return &extras.at(Key(row, column));
}

CellExtras& CCellStore::ExtrasFor(int row, int column)
{
    rows[row][column].state |= CCell::kHasExtras;
    return extras[Key(row, column)];
}

void CCellStore::DropExtras(int row, int column)
{
    CCell& cell = rows[row][column];
    if (cell.state & CCell::kHasExtras) {
        extras.erase(Key(row, column));
        cell.state &= ~CCell::kHasExtras;
    }
}

bool CCellStore::WriteCell(const GridItem& item)
{
    CCell* cell = Cell(item.row, item.column);
    if (!cell)
        return false;
    if (item.mask & kItemText)
        cell->text.Set(item.text);
    if (item.mask & kItemFormat)
        cell->format = item.format;
    if (item.mask & kItemState)
        SetCellState(item.row, item.column, item.state);
    if (item.mask & (kItemImage | kItemParameter | kItemBackground | kItemForeground | kItemFont)) {
        CellExtras& own = ExtrasFor(item.row, item.column);
        if (item.mask & kItemImage)
            own.image = item.image;
        if (item.mask & kItemParameter)
            own.parameter = item.parameter;
        if (item.mask & kItemBackground)
            own.background = item.background;
        if (item.mask & kItemForeground)
            own.foreground = item.foreground;
        if (item.mask & kItemFont)
            own.font = item.font;
        if (own.IsDefault())
            DropExtras(item.row, item.column);
    }
    Changed({item.row, item.column});
    return true;
}

bool CCellStore::ReadCell(GridItem& item) const
{
    const CCell* cell = Cell(item.row, item.column);
    if (!cell)
        return false;
    const CellExtras none;
    const CellExtras* own = Extras(item.row, item.column);
    if (!own)
        own = &none;
    if (item.mask & kItemText)
        item.text = cell->text.ToString();
    if (item.mask & kItemFormat)
        item.format = cell->format;
    if (item.mask & kItemState)
        item.state = cell->state & ~CCell::kHasExtras;
    if (item.mask & kItemImage)
        item.image = own->image;
    if (item.mask & kItemParameter)
        item.parameter = own->parameter;
    if (item.mask & kItemBackground)
        item.background = own->background;
    if (item.mask & kItemForeground)
        item.foreground = own->foreground;
    if ((item.mask & kItemFont) && own->font)
        item.font = *own->font;
    return true;
}

bool CCellStore::SetCellText(int row, int column, const QString& text)
{
    CCell* cell = Cell(row, column);
    if (!cell)
        return false;
    cell->text.Set(text);
    Changed({row, column});
    return true;
}

QString CCellStore::GetCellText(int row, int column) const
{
    const CCell* cell = Cell(row, column);
    return cell ? cell->text.ToString() : QString();
}

bool CCellStore::SetCellState(int row, int column, unsigned state)
{
    CCell* cell = Cell(row, column);
    if (!cell)
        return false;
    if ((state & kCellSelected) && !(cell->state & kCellSelected))
        selected.Add({row, column, row, column});
    cell->state = (state & ~CCell::kHasExtras) | (cell->state & CCell::kHasExtras);
    Changed({row, column});
    return true;
}

unsigned CCellStore::GetCellState(int row, int column) const
{
    const CCell* cell = Cell(row, column);
    return cell ? cell->state & ~CCell::kHasExtras : 0;
}

unsigned CCellStore::GetCellFormat(int row, int column) const
{
    const CCell* cell = Cell(row, column);
    return cell ? cell->format : 0;
}

bool CCellStore::SetCellFont(int row, int column, const QFont& font)
{
    if (!Cell(row, column))
        return false;
    ExtrasFor(row, column).font = font;
    Changed({row, column});
    return true;
}

void CCellStore::ClearCellFonts()
{
    for (auto it = extras.begin(); it != extras.end();) {
        it->second.font.reset();
        if (it->second.IsDefault()) {
            rows[int(it->first >> 32)][int(it->first & 0xFFFFFFFFu)].state &= ~CCell::kHasExtras;
            it = extras.erase(it);
        } else {
            ++it;
        }
    }
}

void CCellStore::ResetCell(CCell& cell)
{
    cell.state &= CCell::kHasExtras;
    cell.text.Clear();
}

// --- focus and editing ----------------------------------------------------

void CCellStore::SetFocusCell(CellPos cell)
{
    if (cell == focus)
        return;
    if (CCell* old = Cell(focus.row, focus.column)) {
        old->state &= ~kCellFocused;
        Changed(focus);
    }
    focus = IsValid(cell) ? cell : CellPos{};
    if (CCell* now = Cell(focus.row, focus.column)) {
        now->state |= kCellFocused;
        Changed(focus);
    }
}

bool CCellStore::CanEditCell(CellPos cell) const
{
    const CCell* found = Cell(cell.row, cell.column);
    return Editable && found && !(found->state & kCellReadOnly);
}

void CCellStore::MarkModified(CellPos cell)
{
    Modified = true;
    if (CCell* found = Cell(cell.row, cell.column))
        found->state |= kCellModified;
}

template <class Change>
void CCellStore::ChangeByUser(CellPos cell, Change&& change)
{
    Notify(kNotifyCellChanging, cell);
    CCell& changed = rows[cell.row][cell.column];
    const CellText before = changed.text;
    change(changed);
    RecordText(cell, before);
    MarkModified(cell);
    Notify(kNotifyCellChanged, cell);
    Changed(cell);
}

void CCellStore::ChangeTextByUser(CellPos cell, const QString& text)
{
    ChangeByUser(cell, [&](CCell& changed) { changed.text.Set(text); });
}

bool CCellStore::ClearCellText(CellPos cell)
{
    if (!CanEditCell(cell))
        return false;
    ChangeTextByUser(cell, QString());
    return true;
}

void CCellStore::StoreEditedText(CellPos cell, const QString& text)
{
    CCell* found = Cell(cell.row, cell.column);
    if (!found)
        return;
    const CellText before = found->text;
    found->text.Set(text);
    MarkModified(cell);
    RecordText(cell, before);
    Changed(cell);
}

void CCellStore::RestoreText(CellPos cell, const CellText& text)
{
    CCell* found = Cell(cell.row, cell.column);
    if (!found)
        return;
    found->text = text;
    MarkModified(cell);
    changedBounds.Enclose(cell);
    Changed(cell);
}

void CCellStore::RecordText(CellPos cell, const CellText& before)
{
    changedBounds.Enclose(cell);
    if (undo)
        undo->RecordText(*this, cell, before, rows[cell.row][cell.column].text);
}

CellBlock CCellStore::TakeChangedBounds()
{
    CellBlock bounds = std::exchange(changedBounds, CellBlock{});
    bounds.maxRow = std::min(bounds.maxRow, GetNumRows() - 1);
    bounds.maxColumn = std::min(bounds.maxColumn, GetNumColumns() - 1);
    return IsValid(bounds) ? bounds : CellBlock{};
}

// --- selection ------------------------------------------------------------

void CCellStore::SetSelectedFlag(int row, int column, bool on)
{
    unsigned& state = rows[row][column].state;
    if (bool(state & kCellSelected) == on)
        return;
    state ^= kCellSelected;
    Changed({row, column});
}

void CCellStore::SelectRange(const CellBlock& range)
{
    if (!SelectionEnabled || !IsValid(range))
        return;
    for (const CellBlock& block : selected.Blocks())
        ForEachCell(block, [&](int row, int column) {
            if (!BlockContains(range, row, column) && !kept.Contains(row, column))
                SetSelectedFlag(row, column, false);
        });
    ForEachCell(range, [&](int row, int column) { SetSelectedFlag(row, column, true); });
    selected = kept;
    selected.Add(range);
}

void CCellStore::ClearSelection()
{
    for (const CellBlock& block : selected.Blocks())
        ForEachCell(block, [&](int row, int column) { SetSelectedFlag(row, column, false); });
    selected.Clear();
}

void CCellStore::SelectBlocks(const std::vector<CellBlock>& blocks)
{
    ClearSelection();
    kept.Clear();
    if (!SelectionEnabled)
        return;
    for (const CellBlock& block : blocks)
        if (IsValid(block)) {
            ForEachCell(block, [&](int row, int column) { SetSelectedFlag(row, column, true); });
            selected.Add(block);
        }
}

void CCellStore::KeepSelection()
{
    kept.Clear();
    for (const CellBlock& block : selected.Blocks()) {
        bool whole = true;
        ForEachCell(block, [&](int row, int column) { whole = whole && IsSelected(row, column); });
        if (whole) {
            kept.Add(block);
            continue;
        }
        ForEachCell(block, [&](int row, int column) {
            if (IsSelected(row, column))
                kept.Add({row, column, row, column});
        });
    }
}

bool CCellStore::IsSelected(int row, int column) const
{
    const CCell* cell = Cell(row, column);
    return cell && (cell->state & kCellSelected);
}

CellBlock CCellStore::GetSelectionBounds() const
{
    CellBlock bounds;
    for (const CellBlock& block : selected.Blocks())
        ForEachCell(block, [&](int row, int column) {
            if (rows[row][column].state & kCellSelected)
                bounds.Enclose({row, column});
        });
    return IsValid(bounds) ? bounds : CellBlock{};
}

// --- clipboard text -------------------------------------------------------

QString CCellStore::SelectionText() const
{
    const CellBlock bounds = GetSelectionBounds();
    if (!IsValid(bounds))
        return {};
    QString text;
    for (int row = bounds.minRow; row <= bounds.maxRow; ++row) {
        for (int column = bounds.minColumn; column <= bounds.maxColumn; ++column) {
            const CCell& cell = rows[row][column];
            if (cell.state & kCellSelected)
                text += cell.text.IsEmpty() ? QStringLiteral(" ") : cell.text.ToString();
            if (column != bounds.maxColumn)
                text += QLatin1Char('\t');
        }
        if (row != bounds.maxRow)
            text += QLatin1Char('\n');
    }
    return text;
}

std::vector<QStringList> CCellStore::SplitPastedText(const QString& text)
{
    const bool spreadsheet = text.contains(QLatin1Char('\t'));
    std::vector<QStringList> values;
    for (const QString& line : PasteLines(text)) {
        QStringList tokens = PasteTokens(line, spreadsheet);
        for (QString& token : tokens) {
            token = token.trimmed();
            if (spreadsheet)
                token = DecimalCommaAsPoint(token);
        }
        values.push_back(std::move(tokens));
    }
    return values;
}

int CCellStore::PasteValues(CellPos target, const std::vector<QStringList>& values)
{
    if (!CanEditCell(target))
        return -1;
    int leftOut = 0;
    for (int line = 0; line < int(values.size()); ++line) {
        const QStringList& tokens = values[std::size_t(line)];
        for (int token = 0; token < tokens.size(); ++token) {
            const CellPos cell{target.row + line, target.column + token};
            if (!IsValid(cell)) {
                ++leftOut;
                continue;
            }
            if (!CanEditCell(cell))
                continue;
            ChangeTextByUser(cell, tokens[token]);
            SetSelectedFlag(cell.row, cell.column, false);
        }
    }
    return leftOut;
}

bool CCellStore::PasteText(CellPos target, const QString& text)
{
    return PasteValues(target, SplitPastedText(text)) >= 0;
}

template <class Change>
void CCellStore::ChangeSelectedByUser(Change&& change)
{
    for (const CellBlock& block : selected.Blocks())
        ForEachCell(block, [&](int row, int column) {
            const CellPos cell{row, column};
            if (IsSelected(row, column) && CanEditCell(cell))
                ChangeByUser(cell, change);
        });
}

void CCellStore::ClearSelectedTexts()
{
    ChangeSelectedByUser([](CCell& cell) { cell.text.Set(QString()); });
}

void CCellStore::ClearSelectedCells()
{
    ChangeSelectedByUser(ResetCell);
}
