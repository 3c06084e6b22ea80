#include "grid/grid_ctrl.h"

#include "platform/drag_drop.h"
#include "platform/popup_menu.h"
#include "platform/string_text.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

#include <algorithm>

// The clipboard commands with their update rules, the context menu, and
// drag and drop of cell text between grids.

namespace {

bool ClipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

} // namespace

bool CGridCtrl::CommandEnabled(int command) const
{
    switch (command) {
    case kCommandCopy: return cells.IsValid(GetSelectionBounds());
    case kCommandCut: return cells.Editable && CommandEnabled(kCommandCopy);
    case kCommandPaste: return CanEditCell(GetCurrentCell()) && ClipboardHasText();
    case kCommandSelectAll: return cells.SelectionEnabled;
    case kCommandUndo: return cells.Editable && cells.undo && cells.undo->CanUndo();
    case kCommandRedo: return cells.Editable && cells.undo && cells.undo->CanRedo();
    case kCommandInsertRows:
    case kCommandDeleteRows: return cells.Editable && rowCommands && cells.IsValid(CommandLines());
    case kCommandInsertColumns:
    case kCommandDeleteColumns: return cells.Editable && columnCommands && cells.IsValid(CommandLines());
    default: return false;
    }
}

// The lines a row or column command works on: those of the selection, or
// of the focus cell.
CellBlock CGridCtrl::CommandLines() const
{
    const CellBlock selection = GetSelectionBounds();
    if (cells.IsValid(selection))
        return selection;
    const CellPos focus = GetCurrentCell();
    return {focus.row, focus.column, focus.row, focus.column};
}

// Whole columns, and not the whole grid, are selected.
bool CGridCtrl::WholeColumnsSelected() const
{
    const CellBlock selection = GetSelectionBounds();
    const CellBlock all = cells.NonFixedBlock();
    return cells.IsValid(selection) && selection.minRow == all.minRow && selection.maxRow == all.maxRow &&
           (selection.minColumn != all.minColumn || selection.maxColumn != all.maxColumn);
}

bool CGridCtrl::ExecuteCommand(int command)
{
    if (!CommandEnabled(command))
        return false;
    switch (command) {
    case kCommandCopy: CopyCommand(); break;
    case kCommandCut: CutCommand(); break;
    case kCommandPaste: PasteCommand(); break;
    case kCommandSelectAll: SelectAllCommand(); break;
    case kCommandUndo:
        cells.undo->Undo();
        WidenChangedColumns();
        break;
    case kCommandRedo:
        cells.undo->Redo();
        WidenChangedColumns();
        break;
    default: emit LinesRequested(command, CommandLines()); break;
    }
    return true;
}

QMimeData* CGridCtrl::CopySelection() const
{
    const QString text = cells.SelectionText();
    if (text.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

void CGridCtrl::CopyCommand()
{
    if (QMimeData* data = CopySelection())
        QGuiApplication::clipboard()->setMimeData(data);
}

void CGridCtrl::CutCommand()
{
    if (!cells.Editable)
        return;
    CopyCommand();
    AsUserAction([this] { ClearSelectedCells(); });
}

void CGridCtrl::ClearSelectedCells()
{
    cells.ClearSelectedCells();
    update();
}

void CGridCtrl::PasteCommand()
{
    if (!cells.Editable)
        return;
    CellPos target = GetCurrentCell();
    if (!IsValid(target))
        target = {GetSelectionBounds().minRow, GetSelectionBounds().minColumn};
    PasteText(target, QGuiApplication::clipboard()->mimeData());
}

void CGridCtrl::SelectAllCommand()
{
    SelectEverything();
}

bool CGridCtrl::PasteText(CellPos target, const QMimeData* data)
{
    if (!data || !data->hasText())
        return false;
    QString text = data->text();
    // Plain text ends at its first zero byte.
    if (const qsizetype end = text.indexOf(QChar(0)); end >= 0)
        text.truncate(end);
    if (!CanEditCell(target))
        return false;
    const std::vector<QStringList> values = CCellStore::SplitPastedText(text);
    qsizetype width = 0;
    for (const QStringList& line : values)
        width = std::max(width, line.size());
    const int rowsBeyond = target.row + int(values.size()) - GetNumRows();
    const int columnsBeyond = target.column + int(width) - GetNumColumns();
    int leftOut = 0;
    AsUserAction([&] {
        if (rowsBeyond > 0 || columnsBeyond > 0)
            emit PasteBeyondGrid(std::max(0, rowsBeyond), std::max(0, columnsBeyond));
        leftOut = cells.PasteValues(target, values);
    });
    update();
    if (leftOut > 0)
        emit PasteLeftOut(leftOut);
    return leftOut >= 0;
}

void CGridCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Mouse)
        OnContextClick(event->pos());
    QMenu menu(this);
    const struct {
        int text;  // string id
        int command;
        QKeySequence keys;
        bool shown;
    } entries[] = {
        {kStringUndo, kCommandUndo, QKeySequence(Qt::CTRL | Qt::Key_Z), cells.undo != nullptr},
        {kStringRedo, kCommandRedo, QKeySequence(Qt::CTRL | Qt::Key_Y), cells.undo != nullptr},
        {kStringMenuCut, kCommandCut, QKeySequence(Qt::CTRL | Qt::Key_X), true},
        {kStringMenuCopy, kCommandCopy, QKeySequence(Qt::CTRL | Qt::Key_C), true},
        {kStringMenuPaste, kCommandPaste, QKeySequence(Qt::CTRL | Qt::Key_V), true},
        {kStringMenuSelectAll, kCommandSelectAll, QKeySequence(Qt::CTRL | Qt::Key_A), true},
        {kStringInsertRows, kCommandInsertRows, QKeySequence(Qt::CTRL | Qt::Key_Plus), rowCommands},
        {kStringDeleteRows, kCommandDeleteRows, QKeySequence(Qt::CTRL | Qt::Key_Minus), rowCommands},
        {kStringInsertColumns, kCommandInsertColumns, QKeySequence(), columnCommands},
        {kStringDeleteColumns, kCommandDeleteColumns, QKeySequence(), columnCommands},
    };
    for (const auto& entry : entries) {
        if (!entry.shown)
            continue;
        if ((entry.command == kCommandCut && cells.undo) || entry.command == kCommandSelectAll ||
            entry.command == kCommandInsertRows || (entry.command == kCommandInsertColumns && !rowCommands))
            menu.addSeparator();
        QAction* action = menu.addAction(platform::LoadText(entry.text));
        action->setData(entry.command);
        action->setShortcut(entry.keys);
        action->setShortcutVisibleInContextMenu(true);
        action->setEnabled(CommandEnabled(entry.command));
    }
    if (QAction* chosen = platform::ExecPopupMenu(menu, event->globalPos()))
        ExecuteCommand(chosen->data().toInt());
}

// A right-click on a cell outside the selection makes it the focus cell and
// the selection, as a left click would, so that the menu acts on it.
void CGridCtrl::OnContextClick(const QPoint& point)
{
    const CellPos cell = CellAt(point);
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (!IsValid(cell) || cells.IsFixed(cell) || cells.IsSelected(cell.row, cell.column))
        return;
    cells.ForgetKeptSelection();
    selectionStart = cell;
    cells.SelectRange({cell.row, cell.column, cell.row, cell.column});
    SetCurrentCell(cell);
}

// --- drag and drop --------------------------------------------------------

void CGridCtrl::StartDrag()
{
    QMimeData* data = CopySelection();
    if (!data)
        return;
    const CellBlock bounds = GetSelectionBounds();
    SendNotify(kNotifyDragStarting, {bounds.minRow, bounds.minColumn});
    mouseMode = MouseMode::DraggingText;
    autoScroll.stop();  // the drag holds the mouse now
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The drop (into this grid or another of the owner) and the cells a move
    // empties are one step.
    AsUserAction([&] {
        const Qt::DropAction result = platform::ExecDrag(drag, Qt::CopyAction | Qt::MoveAction);
        if (result == Qt::MoveAction)
            ClearSelectedCells();
    });
    mouseMode = MouseMode::Idle;
}

void CGridCtrl::dragEnterEvent(QDragEnterEvent* event)
{
    DragOver(event, false);
}

void CGridCtrl::dragMoveEvent(QDragMoveEvent* event)
{
    DragOver(event, true);
}

void CGridCtrl::DragOver(QDragMoveEvent* event, bool checkEditable)
{
    if (!dragAndDrop || !event->mimeData()->hasText() || (checkEditable && !cells.Editable)) {
        event->ignore();
        return;
    }
    const CellPos cell = CellAt(event->position().toPoint());
    if (!IsValid(cell)) {
        SetDropTarget({});
        event->ignore();
        return;
    }
    if (!IsCellFullyShown(cell)) {
        event->ignore();
        return;
    }
    SetDropTarget(cell);
    event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void CGridCtrl::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropTarget({});
    event->accept();
}

void CGridCtrl::dropEvent(QDropEvent* event)
{
    mouseMode = MouseMode::Idle;
    const CellPos target = dropTarget;
    SetDropTarget({});
    // A drop that pastes nothing must not let the source clear its cells.
    if (!dragAndDrop || !PasteText(target, event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction((event->modifiers() & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void CGridCtrl::SetDropTarget(CellPos cell)
{
    if (cell == dropTarget)
        return;
    if (IsValid(dropTarget))
        cells.SetCellState(dropTarget.row, dropTarget.column,
                           cells.GetCellState(dropTarget.row, dropTarget.column) & ~kCellDropTarget);
    dropTarget = IsValid(cell) ? cell : CellPos{};
    if (IsValid(dropTarget))
        cells.SetCellState(dropTarget.row, dropTarget.column,
                           cells.GetCellState(dropTarget.row, dropTarget.column) | kCellDropTarget);
}
