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
    default: return false;
    }
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
    default: return false;
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
    ClearSelectedCells();
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
    if (!cells.PasteText(target, text))
        return false;
    update();
    return true;
}

void CGridCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    const struct {
        int text;  // string id
        int command;
        QKeySequence keys;
    } entries[] = {
        {kStringMenuCut, kCommandCut, QKeySequence(Qt::CTRL | Qt::Key_X)},
        {kStringMenuCopy, kCommandCopy, QKeySequence(Qt::CTRL | Qt::Key_C)},
        {kStringMenuPaste, kCommandPaste, QKeySequence(Qt::CTRL | Qt::Key_V)},
        {kStringMenuSelectAll, kCommandSelectAll, QKeySequence(Qt::CTRL | Qt::Key_A)},
    };
    for (const auto& entry : entries) {
        if (entry.command == kCommandSelectAll)
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
    const Qt::DropAction result = platform::ExecDrag(drag, Qt::CopyAction | Qt::MoveAction);
    if (result == Qt::MoveAction)
        ClearSelectedCells();
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
