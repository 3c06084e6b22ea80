#include "grid/grid_ctrl.h"

#include "platform/virtual_keys.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

// Keyboard, mouse, the auto-scroll timer and the wheel.

using namespace platform;

namespace {

bool IsSelecting(CGridCtrl::MouseMode mode)
{
    using Mode = CGridCtrl::MouseMode;
    return mode == Mode::SelectingAll || mode == Mode::SelectingColumns || mode == Mode::SelectingRows ||
           mode == Mode::SelectingCells;
}

} // namespace

// --- keyboard -------------------------------------------------------------

bool CGridCtrl::event(QEvent* event)
{
    // Tab moves inside the grid; Ctrl+Tab leaves it for the next control.
    if (event->type() == QEvent::KeyPress && handleTab) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (key->modifiers() & Qt::ControlModifier)
                focusNextPrevChild(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
            else
                keyPressEvent(key);
            return true;
        }
    }
    return QWidget::event(event);
}

void CGridCtrl::keyPressEvent(QKeyEvent* event)
{
    const unsigned key = VirtualKeyOf(*event);
    const bool shift = (event->modifiers() & Qt::ShiftModifier) || event->key() == Qt::Key_Backtab;
    const bool control = event->modifiers() & Qt::ControlModifier;
    // The key goes down, then types its character (if any).
    const bool handled = key != 0 && HandleKey(key, shift, control);
    const bool typed = TypeCharacter(*event);
    if (!handled && !typed)
        QWidget::keyPressEvent(event);
}

bool CGridCtrl::HandleKey(unsigned key, bool shift, bool control)
{
    const CellPos focus = GetCurrentCell();
    if (!IsValid(focus))
        return false;
    if (control) {
        const bool columns = columnCommands && WholeColumnsSelected();
        switch (key) {
        case 'A': SelectAllCommand(); return true;
        case 'X': CutCommand(); return true;
        case 'V': PasteCommand(); return true;
        case 'C': CopyCommand(); return true;
        case 'Z': ExecuteCommand(shift ? kCommandRedo : kCommandUndo); return true;
        case 'Y': ExecuteCommand(kCommandRedo); return true;
        case VK_ADD: ExecuteCommand(columns ? kCommandInsertColumns : kCommandInsertRows); return true;
        case VK_SUBTRACT: ExecuteCommand(columns ? kCommandDeleteColumns : kCommandDeleteRows); return true;
        case VK_PRIOR:
        case VK_NEXT: return false;  // the owner's: another sheet
        default: break;
        }
    }
    if (key == VK_DELETE) {
        AsUserAction([&] {
            if (cells.IsValid(GetSelectionBounds()))
                cells.ClearSelectedTexts();
            else
                cells.ClearCellText(focus);
        });
        return true;
    }
    if (key == VK_F2) {
        StartEdit(focus.row, focus.column, VK_LBUTTON);  // the caret after the text
        return true;
    }
    bool wrapped = false;
    const CellPos next = NextCell(key, shift, wrapped);
    if (!IsValid(next))
        return false;
    if (next != focus)
        MoveFocusByKey(next, key, shift, wrapped);
    return true;
}

// The cell a navigation key leads to from the focus cell; invalid for any
// other key.
CellPos CGridCtrl::NextCell(unsigned key, bool shift, bool& wrapped)
{
    CellPos next = GetCurrentCell();
    const int fixedRows = GetNumFixedRows();
    const int fixedColumns = GetNumFixedColumns();
    const int lastRow = GetNumRows() - 1;
    const int lastColumn = GetNumColumns() - 1;
    switch (key) {
    case VK_DOWN: if (next.row < lastRow) ++next.row; break;
    case VK_UP: if (next.row > fixedRows) --next.row; break;
    case VK_RIGHT: if (next.column < lastColumn) ++next.column; break;
    case VK_LEFT: if (next.column > fixedColumns) --next.column; break;
    case VK_TAB:
        if (!shift && next.column < lastColumn) {
            ++next.column;
        } else if (!shift && next.row < lastRow) {
            next = {next.row + 1, fixedColumns};
            wrapped = true;
        } else if (shift && next.column > fixedColumns) {
            --next.column;
        } else if (shift && next.row > fixedRows) {
            next = {next.row - 1, lastColumn};
            wrapped = true;
        }
        break;
    case VK_NEXT:
    case VK_PRIOR: {
        const int before = TopLeftRow();
        OnVScroll(key == VK_NEXT ? SB_PAGEDOWN : SB_PAGEUP);
        const int moved = TopLeftRow() - before;
        if (key == VK_NEXT)
            next.row = moved ? std::min(next.row + moved, lastRow) : lastRow;
        else
            next.row = moved ? std::max(next.row + moved, fixedRows) : fixedRows;
        break;
    }
    case VK_END:
        OnVScroll(SB_BOTTOM);
        next.row = lastRow;
        break;
    case VK_HOME:
        OnVScroll(SB_TOP);
        next.row = fixedRows;
        break;
    default: return {};
    }
    return next;
}

void CGridCtrl::MoveFocusByKey(CellPos next, unsigned key, bool shift, bool wrapped)
{
    if (mouseMode == MouseMode::Idle) {
        cells.ForgetKeptSelection();
        if (!shift || key == VK_TAB)
            selectionStart = next;
        mouseMode = listMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        OnSelecting(next);
        mouseMode = MouseMode::Idle;
    }
    SetCurrentCell(next);
    if (!IsCellFullyShown(next)) {
        ScrollIntoView(next);
        ScrollAfterMove(key, shift, wrapped);
        update();
    }
}

// One line beyond the cell just scrolled into view, so that the next key
// press does not scroll at once again.
void CGridCtrl::ScrollAfterMove(unsigned key, bool shift, bool wrapped)
{
    switch (key) {
    case VK_RIGHT: OnHScroll(SB_LINERIGHT); break;
    case VK_LEFT: OnHScroll(SB_LINELEFT); break;
    case VK_DOWN: OnVScroll(SB_LINEDOWN); break;
    case VK_UP: OnVScroll(SB_LINEUP); break;
    case VK_TAB:
        if (!wrapped) {
            OnHScroll(shift ? SB_LINELEFT : SB_LINERIGHT);
        } else {
            OnVScroll(shift ? SB_LINEUP : SB_LINEDOWN);
            OnHScroll(shift ? SB_RIGHT : SB_LEFT);
        }
        break;
    default: break;
    }
}

// --- mouse ----------------------------------------------------------------

void CGridCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->position().toPoint(), event->modifiers());
    else
        QWidget::mousePressEvent(event);
}

void CGridCtrl::OnLButtonDown(const QPoint& point, Qt::KeyboardModifiers modifiers)
{
    const bool hadFocus = hasFocus();
    if (!hadFocus)
        setFocus();
    HideTitleTip();
    clickPoint = point;
    lastMousePoint = point;
    clickCell = CellAt(point);
    if (!IsValid(clickCell))
        return;
    const CellPos focus = GetCurrentCell();
    selectionStart = (modifiers & Qt::ShiftModifier) ? focus : clickCell;
    if (clickCell == focus) {
        mouseMode = MouseMode::EditPending;
        return;
    }
    if (mouseMode != MouseMode::HoverColumnEdge && mouseMode != MouseMode::HoverRowEdge)
        SetCurrentCell({std::max(clickCell.row, GetNumFixedRows()), std::max(clickCell.column, GetNumFixedColumns())});
    if (dragAndDrop && hadFocus && cells.IsSelected(clickCell.row, clickCell.column)) {
        mouseMode = MouseMode::DragPending;
        return;
    }
    if (mouseMode == MouseMode::HoverColumnEdge || mouseMode == MouseMode::HoverRowEdge) {
        StartEdgeDrag(mouseMode == MouseMode::HoverColumnEdge ? Qt::Horizontal : Qt::Vertical);
        return;
    }
    cells.ForgetKeptSelection();
    if (modifiers & Qt::ControlModifier)
        cells.KeepSelection();
    if (clickCell.row < GetNumFixedRows())
        FixedRowClicked(clickCell);
    else if (clickCell.column < GetNumFixedColumns())
        FixedColumnClicked(clickCell);
    else
        mouseMode = listMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
    OnSelecting(clickCell);
    autoScroll.start();
}

void CGridCtrl::FixedRowClicked(CellPos cell)
{
    mouseMode = cell.column < GetNumFixedColumns() ? MouseMode::SelectingAll : MouseMode::SelectingColumns;
}

void CGridCtrl::FixedColumnClicked(CellPos cell)
{
    mouseMode = cell.row < GetNumFixedRows() ? MouseMode::SelectingAll : MouseMode::SelectingRows;
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint point = event->position().toPoint();
    lastMousePoint = point;
    if (!(event->buttons() & Qt::LeftButton)) {
        HoverAt(point);
        return;
    }
    const QRect client = ClientRect();
    switch (mouseMode) {
    case MouseMode::DraggingColumnEdge:
        MoveTrackingLine(std::clamp(point.x(), resizeStart, std::max(resizeStart, client.right())));
        break;
    case MouseMode::DraggingRowEdge:
        MoveTrackingLine(std::clamp(point.y(), resizeStart, std::max(resizeStart, client.bottom())));
        break;
    case MouseMode::DragPending:
        StartDrag();
        break;
    default:
        if (IsSelecting(mouseMode)) {
            const CellPos cell = CellAt(point);
            if (!IsValid(cell) || cell == GetCurrentCell())
                break;
            OnSelecting(cell);
            if (!cells.IsFixed(cell))
                SetCurrentCell(cell);
        }
        break;
    }
}

void CGridCtrl::HoverAt(const QPoint& point)
{
    if (OverColumnDivider(point)) {
        setCursor(Qt::SizeHorCursor);
        mouseMode = MouseMode::HoverColumnEdge;
    } else if (OverRowDivider(point)) {
        setCursor(Qt::SizeVerCursor);
        mouseMode = MouseMode::HoverRowEdge;
    } else {
        unsetCursor();
        mouseMode = MouseMode::Idle;
    }
    ShowTitleTip(point);
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnLButtonUp(event->position().toPoint());
    else
        QWidget::mouseReleaseEvent(event);
}

void CGridCtrl::OnLButtonUp(const QPoint& point)
{
    autoScroll.stop();
    switch (mouseMode) {
    case MouseMode::EditPending:
        StartEdit(GetCurrentCell().row, GetCurrentCell().column, VK_LBUTTON);
        break;
    case MouseMode::DragPending:
        // No drag after all: the clicked cell becomes the only selected one
        // and the focus cell, so that typing goes on there.
        cells.ForgetKeptSelection();
        selectionStart = clickCell;
        mouseMode = listMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        OnSelecting(clickCell);
        SetCurrentCell(clickCell);
        break;
    case MouseMode::DraggingColumnEdge:
    case MouseMode::DraggingRowEdge:
        FinishEdgeDrag(point);
        break;
    default:
        break;
    }
    EndMouseAction();
    if (IsValid(clickCell))
        emit Clicked();
}

void CGridCtrl::EndMouseAction()
{
    autoScroll.stop();
    mouseMode = MouseMode::Idle;
    unsetCursor();
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    if (OverColumnDivider(point))
        FitColumn(DividerIndex(Qt::Horizontal, point));
    else if (OverRowDivider(point))
        FitRow(DividerIndex(Qt::Vertical, point));
    else if (mouseMode == MouseMode::Idle && IsValid(clickCell) && !cells.IsFixed(clickCell))
        StartEdit(GetCurrentCell().row, GetCurrentCell().column, VK_LBUTTON);
}

// Selection while the mouse (or a key) moves the current cell, by mode.
void CGridCtrl::OnSelecting(CellPos cell)
{
    if (!IsValid(cell) || (!IsValid(selectionStart) && mouseMode != MouseMode::SelectingAll))
        return;
    const CellPos start = selectionStart;
    const int lastRow = GetNumRows() - 1;
    const int lastColumn = GetNumColumns() - 1;
    CellBlock range;
    switch (mouseMode) {
    case MouseMode::SelectingAll:
        range = cells.NonFixedBlock();
        break;
    case MouseMode::SelectingColumns:
        if (cell.column < GetNumFixedColumns())
            return;
        range = {GetNumFixedRows(), std::min(start.column, cell.column), lastRow, std::max(start.column, cell.column)};
        break;
    case MouseMode::SelectingRows:
        if (cell.row < GetNumFixedRows())
            return;
        range = {std::min(start.row, cell.row), GetNumFixedColumns(), std::max(start.row, cell.row), lastColumn};
        break;
    case MouseMode::SelectingCells:
        if (cells.IsFixed(cell))
            return;
        range = {std::min(start.row, cell.row), std::min(start.column, cell.column), std::max(start.row, cell.row),
                 std::max(start.column, cell.column)};
        break;
    default:
        return;
    }
    cells.SelectRange(range);
}

// --- resizing rows and columns --------------------------------------------

bool CGridCtrl::OverDivider(Qt::Orientation orientation, const QPoint& point) const
{
    const bool allowed = orientation == Qt::Vertical ? rowResize : columnResize;
    const Qt::Orientation across = Across(orientation);
    const int acrossAt = Along(across, point.x(), point.y());
    if (!allowed || acrossAt < 0 || acrossAt >= cells.Axis(across).FixedSize())
        return false;
    const CellPos cell = CellAt(point);
    if (!IsValid(cell))
        return false;
    const QRect rect = CellRect(cell);
    const int at = Along(orientation, point.x(), point.y());
    const int start = Along(orientation, rect.left(), rect.top());
    const int size = Along(orientation, rect.width(), rect.height());
    return (at - start <= captureRange && IndexAlong(orientation, cell) != 0) || start + size - at <= captureRange;
}

// A divider near a cell's own left (top) edge belongs to the column (row)
// before it.
int CGridCtrl::DividerIndex(Qt::Orientation orientation, const QPoint& point) const
{
    const CellPos cell = CellAt(point);
    const QRect rect = CellRect(cell);
    const int index = IndexAlong(orientation, cell);
    return Along(orientation, point.x(), point.y()) - Along(orientation, rect.left(), rect.top()) <= captureRange
               ? index - 1
               : index;
}

void CGridCtrl::StartEdgeDrag(Qt::Orientation orientation)
{
    const bool columns = orientation == Qt::Horizontal;
    resizedIndex = DividerIndex(orientation, clickPoint);
    const CellPos sized = columns ? CellPos{clickCell.row, resizedIndex} : CellPos{resizedIndex, clickCell.column};
    resizeStart = Along(orientation, CellRect(sized).left(), CellRect(sized).top());
    mouseMode = columns ? MouseMode::DraggingColumnEdge : MouseMode::DraggingRowEdge;
    MoveTrackingLine(Along(orientation, clickPoint.x(), clickPoint.y()));
}

void CGridCtrl::MoveTrackingLine(int position)
{
    const QRect client = ClientRect();
    const bool columns = mouseMode == MouseMode::DraggingColumnEdge;
    const auto strip = [&](int at) { return columns ? QRect(at, 0, 2, client.height()) : QRect(0, at, client.width(), 2); };
    if (trackingLine >= 0)
        update(strip(trackingLine));
    trackingLine = position;
    if (trackingLine >= 0)
        update(strip(trackingLine));
}

void CGridCtrl::FinishEdgeDrag(const QPoint& point)
{
    const bool columns = mouseMode == MouseMode::DraggingColumnEdge;
    const Qt::Orientation orientation = columns ? Qt::Horizontal : Qt::Vertical;
    MoveTrackingLine(-1);
    if (point != clickPoint) {
        const QRect client = ClientRect();
        const int end = std::max(resizeStart, Along(orientation, client.right(), client.bottom()));
        const int size = std::clamp(Along(orientation, point.x(), point.y()), resizeStart, end) - resizeStart;
        Resize(orientation, resizedIndex, size);
        if (columns)
            cells.MarkColumnUserSized(resizedIndex);
    }
    resizedIndex = -1;
}

// --- auto-scroll and wheel ------------------------------------------------

// While a selection is dragged outside the cells: step the focus toward the
// pointer and stretch the selection to the edge cell under it.
void CGridCtrl::OnAutoScrollTimer()
{
    const QRect client = ClientRect();
    const int fixedWidth = cells.FixedColumnWidth();
    const int fixedHeight = cells.FixedRowHeight();
    const QPoint pointer = lastMousePoint;
    if (pointer.y() > client.bottom() || pointer.y() < fixedHeight) {
        const bool below = pointer.y() > client.bottom();
        HandleKey(below ? VK_DOWN : VK_UP, false, false);
        OnSelecting(CellAt({std::clamp(pointer.x(), client.left(), client.right()),
                            below ? client.bottom() : fixedHeight + 1}));
    }
    if (pointer.x() > client.right() || pointer.x() < fixedWidth) {
        const bool right = pointer.x() > client.right();
        HandleKey(right ? VK_RIGHT : VK_LEFT, false, false);
        OnSelecting(CellAt({right ? client.right() : fixedWidth + 1,
                            std::clamp(pointer.y(), client.top(), client.bottom())}));
    }
}

void CGridCtrl::wheelEvent(QWheelEvent* event)
{
    const long long distance = event->angleDelta().y();
    const bool pages = wheelLines == kWheelScrollsPages;
    const long long steps = pages ? distance / 120 : distance * static_cast<long long>(wheelLines) / 120;
    const int code = pages ? (steps > 0 ? SB_PAGEUP : SB_PAGEDOWN) : (steps > 0 ? SB_LINEUP : SB_LINEDOWN);
    for (long long i = 0; i < std::llabs(steps); ++i) {
        const int before = scrollY;
        OnVScroll(code);
        if (scrollY == before)
            break;  // at an end
    }
    event->accept();
}
